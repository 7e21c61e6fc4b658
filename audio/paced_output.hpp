#pragma once
// The output that stands in for a sound device when none opens: a thread of
// our own that hands the source one 512-frame block at a time, on a steady
// clock's schedule (block n is due n x 512 frames after the start), so the
// music "plays" silently and the spectrum advances in real time. The
// schedule is absolute, so waking late never makes it drift: a late wake
// delivers the blocks that fell due meanwhile.

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

#include "audio/audio_output.hpp"

namespace vantrel {

// Time as the paced output reads it; tests give it a fake one.
class OutputClock {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  virtual ~OutputClock() = default;
  virtual TimePoint now() = 0;
  virtual void sleepUntil(TimePoint deadline) = 0;
};

class SteadyOutputClock final : public OutputClock {
 public:
  TimePoint now() override { return std::chrono::steady_clock::now(); }
  void sleepUntil(TimePoint deadline) override { std::this_thread::sleep_until(deadline); }
};

// How many blocks are due `elapsed` after the start: block 0 at once, then
// one more every 512 frames of time.
std::int64_t blocksDueAfter(OutputClock::TimePoint::duration elapsed);

// When block `block` falls due, counted from the start.
OutputClock::TimePoint::duration blockDueTime(std::int64_t block);

// After a stall longer than this (a suspended machine, a debugger), the
// output skips the missed time instead of racing through it.
inline constexpr std::int64_t maxCatchUpBlocks = 8;

class PacedOutput final : public AudioOutput {
 public:
  PacedOutput(BlockSource& source, OutputClock& clock) : source_(source), clock_(clock) {}
  ~PacedOutput() override;
  PacedOutput(const PacedOutput&) = delete;
  PacedOutput& operator=(const PacedOutput&) = delete;

  // Runs the schedule on a thread of its own.
  void start() override;

  // The schedule itself, on the calling thread, until stop() is asked for.
  void run();
  // Asks run() to return after its current wait; safe from any thread.
  void stop() { stopping_.store(true, std::memory_order_relaxed); }

 private:
  BlockSource& source_;
  OutputClock& clock_;
  std::array<PcmSample, blockFrames * pcmChannels> block_{};
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

}  // namespace vantrel
