#include "tools/frames/spectrum_feed.hpp"

#include <filesystem>

#include "audio/music_file.hpp"
#include "audio/track_analysis.hpp"
#include "driver/run_demo.hpp"

namespace vantrel::frames {

namespace {

// The track decoded whole and analysed by the audio layer's own analysis.
class TrackFeed final : public SpectrumFeed {
 public:
  explicit TrackFeed(const std::filesystem::path& path) : track_(path) {}

  bool hasAudio() const { return track_.hasAudio(); }
  void fill(double seconds, SpectrumArray& spectrum) override {
    track_.spectrumAt(seconds, spectrum);
  }
  std::span<const PcmSample> sound() const override { return track_.frames(); }

 private:
  TrackAnalysis track_;
};

// The track in the source tree; where that is gone (an installed tool),
// wherever the demo itself would find its music.
std::filesystem::path shippedTrack() {
  const std::filesystem::path inSourceTree = VANTREL_SHIPPED_MUSIC;
  std::error_code ignored;
  if (std::filesystem::is_regular_file(inSourceTree, ignored)) return inSourceTree;
  return locateMusicFile(musicFileName, defaultMusicFolders());
}

}  // namespace

std::unique_ptr<SpectrumFeed> openMusicFeed(std::string& error) {
  const std::filesystem::path path = shippedTrack();
  if (path.empty()) {
    error = std::string("cannot find ") + VANTREL_SHIPPED_MUSIC + " or " + musicFileName +
            " where the demo looks for it";
    return nullptr;
  }
  auto feed = std::make_unique<TrackFeed>(path);
  if (!feed->hasAudio()) {
    error = "no playable audio in '" + path.string() + "'";
    return nullptr;
  }
  return feed;
}

}  // namespace vantrel::frames
