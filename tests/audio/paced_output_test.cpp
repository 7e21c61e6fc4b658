#include "audio/paced_output.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace vantrel {
namespace {

using namespace std::chrono_literals;
using TimePoint = OutputClock::TimePoint;

// Counts the frames it is asked for.
struct CountingSource final : BlockSource {
  std::int64_t frames = 0;
  void fill(PcmSample*, std::size_t count) override { frames += static_cast<std::int64_t>(count); }
};

// Time stands still except in waits, which end at the deadline plus the
// next scripted oversleep. `onWait` sees each wait before time moves.
struct FakeOutputClock final : OutputClock {
  TimePoint time{1h};
  std::vector<std::chrono::nanoseconds> oversleeps{0ns};
  std::size_t waits = 0;
  std::function<void(TimePoint deadline)> onWait;

  TimePoint now() override { return time; }
  void sleepUntil(TimePoint deadline) override {
    onWait(deadline);
    time = std::max(time, deadline) + oversleeps[waits++ % oversleeps.size()];
  }
};

std::int64_t framesDueAfter(std::chrono::nanoseconds elapsed) {
  return blocksDueAfter(elapsed) * static_cast<std::int64_t>(blockFrames);
}

TEST(PacedOutput, BlocksFallDueEvery512FramesOfTime) {
  EXPECT_EQ(blocksDueAfter(-1ns), 0);
  EXPECT_EQ(blocksDueAfter(0ns), 1);
  EXPECT_EQ(blocksDueAfter(blockDueTime(1) - 1ns), 1);
  EXPECT_EQ(blocksDueAfter(blockDueTime(1)), 2);
  EXPECT_EQ(blocksDueAfter(1s), 44100 / 512 + 1);
  EXPECT_EQ(blocksDueAfter(24h), 24LL * 3600 * 44100 / 512 + 1);
  EXPECT_EQ(blocksDueAfter(blockDueTime(1'000'000'000)), 1'000'000'001);
}

// Whatever the lateness of its wake-ups, the output has always delivered
// exactly the frames due for the elapsed time: it neither drifts nor runs
// ahead, and it sleeps until the next block falls due.
TEST(PacedOutput, DeliversExactlyTheFramesDueForTheElapsedTime) {
  CountingSource source;
  FakeOutputClock clock;
  PacedOutput output(source, clock);
  const TimePoint start = clock.time;
  clock.oversleeps = {0ns, 3ms, 1ns, 20ms, 7ms, 0ns, 45ms, 11ms};
  std::chrono::nanoseconds lastElapsed{};
  clock.onWait = [&](TimePoint deadline) {
    lastElapsed = clock.time - start;
    ASSERT_EQ(source.frames, framesDueAfter(lastElapsed));
    ASSERT_EQ(deadline - start,
              blockDueTime(source.frames / static_cast<std::int64_t>(blockFrames)));
    if (lastElapsed >= 60s) output.stop();
  };
  output.run();
  EXPECT_GE(lastElapsed, 60s);
  EXPECT_EQ(source.frames, framesDueAfter(lastElapsed));
  EXPECT_GE(source.frames, 60 * pcmRate);
}

TEST(PacedOutput, SkipsALongStallInsteadOfRacingThroughIt) {
  CountingSource source;
  FakeOutputClock clock;
  PacedOutput output(source, clock);
  const TimePoint start = clock.time;
  clock.oversleeps = {1ms};
  std::vector<std::int64_t> framesAtWait;
  std::vector<std::chrono::nanoseconds> elapsedAtWait;
  clock.onWait = [&](TimePoint) {
    framesAtWait.push_back(source.frames);
    elapsedAtWait.push_back(clock.time - start);
    if (framesAtWait.size() == 100) clock.time += 10s;  // the machine sleeps
    if (framesAtWait.size() == 300) output.stop();
  };
  output.run();
  const auto blockFrameCount = static_cast<std::int64_t>(blockFrames);
  // Right after the stall: one block, not the 860 that fell due meanwhile.
  EXPECT_EQ(framesAtWait[100] - framesAtWait[99], blockFrameCount);
  // From then on, the rate is the real one again.
  EXPECT_EQ(framesAtWait[299] - framesAtWait[100],
            framesDueAfter(elapsedAtWait[299]) - framesDueAfter(elapsedAtWait[100]));

  // The limit itself: behind by exactly maxCatchUpBlocks blocks, the output
  // plays them all; one block more is a stall, and only one block is played.
  for (const std::int64_t behind : {maxCatchUpBlocks, maxCatchUpBlocks + 1}) {
    CountingSource caught;
    PacedOutput paced(caught, clock, Pacing::byCaller);
    const TimePoint begun = clock.time;
    paced.start();
    paced.deliverDue(begun);  // block 0
    const TimePoint next = paced.deliverDue(begun + blockDueTime(behind));
    const std::int64_t played = behind > maxCatchUpBlocks ? 1 : behind;
    EXPECT_EQ(caught.frames, (1 + played) * blockFrameCount) << behind << " blocks behind";
    EXPECT_EQ(next - begun, blockDueTime(behind + 1)) << behind << " blocks behind";
  }
}

// Paced by its caller, the output delivers what is due when asked, from the
// moment it started, and never waits.
TEST(PacedOutput, PacedByTheCallerDeliversWhatIsDueWhenAskedAndNeverWaits) {
  CountingSource source;
  FakeOutputClock clock;
  clock.onWait = [](TimePoint) { FAIL() << "the output waited"; };
  PacedOutput output(source, clock, Pacing::byCaller);
  const TimePoint start = clock.time;
  EXPECT_EQ(output.deliverDue(start + 1s), start + 1s);
  EXPECT_EQ(source.frames, 0) << "nothing before the start";
  output.start();
  // Steps up to 8 blocks long: a longer one is a stall, skipped (tested above).
  const std::chrono::nanoseconds times[] = {0ns, 5ms, 5ms, 11ms, 90ms, 170ms, 171ms};
  for (const std::chrono::nanoseconds elapsed : times) {
    const TimePoint next = output.deliverDue(start + elapsed);
    EXPECT_EQ(source.frames, framesDueAfter(elapsed));
    EXPECT_EQ(next - start, blockDueTime(source.frames / static_cast<std::int64_t>(blockFrames)));
  }
}

// The real clock on the output's own thread: it starts, delivers and stops.
TEST(PacedOutput, RunsOnItsOwnThreadUntilDestroyed) {
  struct SignallingSource final : BlockSource {
    std::atomic<int> blocks{0};
    void fill(PcmSample*, std::size_t) override { blocks.fetch_add(1); }
  } source;
  SteadyOutputClock clock;
  {
    PacedOutput output(source, clock);
    output.start();
    while (source.blocks.load() < 3) std::this_thread::yield();
  }
  const int afterStop = source.blocks.load();
  std::this_thread::sleep_for(30ms);
  EXPECT_EQ(source.blocks.load(), afterStop);
}

}  // namespace
}  // namespace vantrel
