#pragma once
// The fill routine every output runs: it hands over the playing track
// (silence before there is one, and when it has no audio) and keeps the
// spectrum of exactly the frames it handed over.

#include <atomic>
#include <chrono>
#include <cstddef>

#include "audio/audio_output.hpp"
#include "audio/repeating_track.hpp"
#include "audio/spectrum.hpp"
#include "audio/spectrum_analyzer.hpp"
#include "audio/spectrum_schedule.hpp"

namespace vantrel {

class MusicFeed final : public BlockSource {
 public:
  explicit MusicFeed(SpectrumArray& spectrum) : spectrum_(spectrum) {}

  // These are set before the output starts; the output's start publishes
  // them to its thread.
  void attach(RepeatingTrack* track) { track_ = track; }
  // For an output whose sound is heard `delay` after it takes it: each
  // block's spectrum goes to `schedule`, due when the block starts to sound
  // (the middle of the analysed window), instead of straight to the array.
  void showLater(SpectrumSchedule& schedule, OutputClock& clock, std::chrono::nanoseconds delay) {
    schedule_ = &schedule;
    clock_ = &clock;
    delay_ = delay;
  }
  void setAnalysing(bool on) { analysing_.store(on, std::memory_order_relaxed); }

  void fill(PcmSample* out, std::size_t frames) override;

 private:
  void analyseForLater(const PcmSample* out, std::size_t frames);

  SpectrumArray& spectrum_;
  SpectrumAnalyzer analyzer_;
  RepeatingTrack* track_ = nullptr;
  std::atomic<bool> analysing_{false};
  SpectrumSchedule* schedule_ = nullptr;
  OutputClock* clock_ = nullptr;
  std::chrono::nanoseconds delay_{0};
  SpectrumArray blockSpectrum_{};  // the latest block's spectrum, not yet due
};

}  // namespace vantrel
