#pragma once
// The output that stands in for a sound device when none opens: it hands the
// source one 512-frame block at a time, on a steady clock's schedule (block n
// is due n x 512 frames after the start), so the music "plays" silently and
// the spectrum advances in real time. The schedule runs on a thread of its
// own, or, paced by its caller, whenever the caller asks (the frame loop,
// which wakes every 11 ms anyway, so that silence costs no wake-ups of its
// own). It is absolute, so waking late never makes it drift: a late wake
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

// Who keeps the schedule: the output's own thread, or its caller.
enum class Pacing { ownThread, byCaller };

class PacedOutput final : public AudioOutput {
 public:
  PacedOutput(BlockSource& source, OutputClock& clock, Pacing pacing = Pacing::ownThread)
      : source_(source), clock_(clock), pacedByCaller_(pacing == Pacing::byCaller) {}
  ~PacedOutput() override;
  PacedOutput(const PacedOutput&) = delete;
  PacedOutput& operator=(const PacedOutput&) = delete;

  // Starts the schedule: on a thread of its own unless paced by the caller.
  void start() override;

  // The schedule itself, on the calling thread, until stop() is asked for.
  void run();
  // Hands the source every block due by `now` since the start (none before
  // it), and says when the next falls due. Paced by the caller, it must be
  // called again by then; it never blocks.
  OutputClock::TimePoint deliverDue(OutputClock::TimePoint now);
  // Asks run() to return after its current wait; safe from any thread.
  void stop() { stopping_.store(true, std::memory_order_relaxed); }

 private:
  void beginSchedule();

  BlockSource& source_;
  OutputClock& clock_;
  bool pacedByCaller_;
  bool started_ = false;
  OutputClock::TimePoint start_{};
  std::int64_t delivered_ = 0;  // blocks handed to the source so far
  std::int64_t skipped_ = 0;    // blocks of time given up after stalls
  std::array<PcmSample, blockFrames * pcmChannels> block_{};
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

}  // namespace vantrel
