#include "frames/spectrum_feed.hpp"

#include "audio/built_in_track.hpp"
#include "audio/track_analysis.hpp"

namespace vantrel::frames {

namespace {

// The track decoded whole and analysed by the audio layer's own analysis.
class TrackFeed final : public SpectrumFeed {
 public:
  explicit TrackFeed(std::span<const std::uint8_t> file) : track_(decodeWholeTrack(file)) {}

  bool hasAudio() const { return track_.hasAudio(); }
  void fill(double seconds, SpectrumArray& spectrum) override {
    track_.spectrumAt(seconds, spectrum);
  }
  std::span<const PcmSample> sound() const override { return track_.frames(); }

 private:
  TrackAnalysis track_;
};

}  // namespace

std::unique_ptr<SpectrumFeed> openMusicFeed(std::string& error) {
  auto feed = std::make_unique<TrackFeed>(builtInTrack());
  if (!feed->hasAudio()) {
    error = std::string("the built-in track ") + builtInTrackName + " holds no playable audio";
    return nullptr;
  }
  return feed;
}

}  // namespace vantrel::frames
