#pragma once
// Shows each spectrum when its sound is heard, not when it is computed. A
// sound device takes its music a whole buffer ahead of the speaker, so a
// spectrum written at once would run ahead of the sound by up to that
// buffer. The audio thread adds each block's spectrum with the time its
// sound is due; a thread of the schedule's own copies it into the shown
// array once that time has come.
//
// No lock anywhere: the slots are atomics, and a ring far longer than any
// device buffer keeps the audio thread off the slot being shown.

#include <array>
#include <atomic>
#include <cstdint>
#include <thread>

#include "audio/paced_output.hpp"
#include "audio/spectrum.hpp"

namespace vantrel {

class SpectrumSchedule {
 public:
  SpectrumSchedule(SpectrumArray& shown, OutputClock& clock);
  // Stops and joins the showing thread.
  ~SpectrumSchedule();
  SpectrumSchedule(const SpectrumSchedule&) = delete;
  SpectrumSchedule& operator=(const SpectrumSchedule&) = delete;

  // Starts the thread that shows due spectra.
  void start();
  // Audio thread: `spectrum` is to be shown at `due`. Due times only grow.
  void add(const SpectrumArray& spectrum, OutputClock::TimePoint due);
  // Shows the newest spectrum that is due at `now`, if a new one is; returns
  // when the next one falls due (or `now` plus a short idle wait).
  OutputClock::TimePoint showDue(OutputClock::TimePoint now);

 private:
  static constexpr std::size_t slotCount = 64;  // about 0.74 s of 512-frame blocks
  struct Slot {
    std::atomic<std::int64_t> due{0};  // steady clock ticks
    SpectrumArray spectrum{};
  };
  void run();

  SpectrumArray& shown_;
  OutputClock& clock_;
  std::array<Slot, slotCount> slots_{};
  std::atomic<std::uint64_t> added_{0};  // slots written by the audio thread
  std::uint64_t next_ = 0;               // the first slot not yet shown (showing thread)
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

}  // namespace vantrel
