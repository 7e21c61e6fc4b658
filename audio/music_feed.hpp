#pragma once
// The fill routine every output runs: it hands over the playing track
// (silence before there is one, and when it has no audio) and keeps the
// spectrum of exactly the frames it handed over.

#include <atomic>
#include <cstddef>

#include "audio/audio_output.hpp"
#include "audio/repeating_track.hpp"
#include "audio/spectrum.hpp"
#include "audio/spectrum_analyzer.hpp"

namespace vantrel {

class MusicFeed final : public BlockSource {
 public:
  explicit MusicFeed(SpectrumArray& spectrum) : spectrum_(spectrum) {}

  // Both are set before the output starts; the output's start publishes them
  // to its thread.
  void attach(RepeatingTrack* track) { track_ = track; }
  void setAnalysing(bool on) { analysing_.store(on, std::memory_order_relaxed); }

  void fill(PcmSample* out, std::size_t frames) override;

 private:
  SpectrumArray& spectrum_;
  SpectrumAnalyzer analyzer_;
  RepeatingTrack* track_ = nullptr;
  std::atomic<bool> analysing_{false};
};

}  // namespace vantrel
