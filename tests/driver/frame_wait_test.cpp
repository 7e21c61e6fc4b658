#include "driver/frame_wait.hpp"

#include <gtest/gtest.h>

#include <chrono>

#include "support/fake_platform.hpp"

namespace vantrel {
namespace {

using testing::FakeClock;

double millisecondsOf(Clock::SteadyTime time) {
  return std::chrono::duration<double, std::milli>(time.time_since_epoch()).count();
}

// Runs the wait on a healthy clock whose reading is `start` when the wait
// begins, half way through that millisecond, and returns the reading that
// ended it.
double endOfWaitFrom(double start) {
  FakeClock clock;
  clock.linkedTo = start + 0.0005;
  waitForFrame(clock);
  return clock.now;
}

TEST(FrameWait, EndsAtTheFirstReadingElevenMillisecondsOn) {
  for (double start : {0.0, 1.0, 43210.123, 86000.999}) {
    EXPECT_NEAR(endOfWaitFrom(start) - start, 0.011, 1e-9) << start;
  }
}

TEST(FrameWait, RepeatedEqualReadingsKeepItWaiting) {
  FakeClock clock;
  clock.readings = {5.000, 5.000, 5.000, 5.011};
  waitForFrame(clock);
  EXPECT_EQ(clock.now, 5.011);
  EXPECT_EQ(clock.readCount, 4);
}

TEST(FrameWait, ReadsAtOnceAndPausesBetweenReadings) {
  FakeClock clock;
  clock.readings = {5.000, 5.020};
  waitForFrame(clock);
  EXPECT_EQ(clock.readCount, 2);

  FakeClock slow;
  slow.readings = {5.000, 5.001, 5.002, 5.011};
  waitForFrame(slow);
  EXPECT_EQ(slow.readCount, 4);
  EXPECT_EQ(slow.sleepCount, 2);
}

TEST(FrameWait, EndsAtMidnightAndWhenTheClockIsSetBack) {
  FakeClock midnight;
  midnight.readings = {86399.995, 86399.998, 86399.999, 0.000, 0.001};
  waitForFrame(midnight);
  EXPECT_EQ(midnight.now, 0.000);

  FakeClock setBack;
  setBack.readings = {1000.000, 1000.004, 400.000, 400.001};
  waitForFrame(setBack);
  EXPECT_EQ(setBack.now, 400.000);
  EXPECT_EQ(setBack.sleepCount, 1) << "no pause once the clock went back";
}

TEST(FrameWait, AFrozenClockEndsTheWaitAfterTwoFrameDelaysOfSteadyTime) {
  FakeClock frozen;
  frozen.readings = {5.000};
  waitForFrame(frozen);
  EXPECT_NEAR(millisecondsOf(frozen.steady), 20.02, 1e-6);
  EXPECT_LE(frozen.readCount, 5) << "it sleeps rather than spins";
}

// On a loaded machine sleeps end late: the steady clock, not the sleeps asked
// for, bounds the wait.
TEST(FrameWait, AFrozenClockOnALoadedMachineStillEndsTheWaitInTime) {
  FakeClock frozen;
  frozen.readings = {5.000};
  frozen.oversleep = std::chrono::milliseconds(3);
  waitForFrame(frozen);
  EXPECT_NEAR(millisecondsOf(frozen.steady), 20.02 + 3.0, 1e-6);
}

// A time-faking library (faketime) freezes the steady clock as well.
TEST(FrameWait, EveryClockFrozenEndsTheWaitAfterTwoFrameDelaysOfSleep) {
  FakeClock frozen;
  frozen.readings = {5.000};
  frozen.steadyFrozen = true;
  waitForFrame(frozen);
  const std::chrono::duration<double, std::milli> slept = frozen.slept;
  EXPECT_NEAR(slept.count(), 20.02, 1e-6);
  EXPECT_LE(frozen.readCount, 5);
}

TEST(FrameWait, AClockThatLeapsForwardDoesNotCutTheFrameShort) {
  FakeClock leap;
  leap.readings = {5.000, 5.003, 3605.003};
  waitForFrame(leap);
  EXPECT_EQ(leap.now, 3605.003);
  EXPECT_GE(millisecondsOf(leap.steady), 9.01);

  FakeClock atOnce;
  atOnce.readings = {5.000, 3605.003};
  waitForFrame(atOnce);
  EXPECT_EQ(atOnce.now, 3605.003);
  EXPECT_NEAR(millisecondsOf(atOnce.steady), 9.01, 1e-6);
}

// A healthy clock whose milliseconds turn at any moment of the steady clock:
// the wait ends at the first reading of start + 11 ms. A clock that says when
// its reading turned is slept on once, to that very moment; one that does
// not, until just before, then in naps.
struct HealthyWait {
  double readingsPassed;
  double endedAfterTurn;  // milliseconds of steady time
  int sleeps;
  int reads;
};

HealthyWait healthyWaitAt(double phase, bool tellsWhenReadingTurned) {
  FakeClock clock;
  clock.linkedTo = 43200.0 + phase / 1000.0;
  clock.tellsWhenReadingTurned = tellsWhenReadingTurned;
  clock.steady += std::chrono::microseconds(1);
  const double start = 43200.0;  // the reading the wait starts from
  waitForFrame(clock);
  const double turnedAt = (start + 0.011 - *clock.linkedTo) * 1000.0;
  return {clock.now - start, millisecondsOf(clock.steady) - turnedAt, clock.sleepCount,
          clock.readCount};
}

TEST(FrameWait, OnAHealthyClockItWakesOnceAsTheReadingTurns) {
  for (double phase = 0.0; phase < 1.0; phase += 0.0625) {
    const HealthyWait wait = healthyWaitAt(phase, true);
    EXPECT_NEAR(wait.readingsPassed, 0.011, 1e-9) << phase;
    EXPECT_GE(wait.endedAfterTurn, -1e-6) << phase;
    EXPECT_LE(wait.endedAfterTurn, 1e-3) << phase;
    EXPECT_EQ(wait.sleeps, 1) << phase;
    EXPECT_EQ(wait.reads, 3) << phase;
  }
}

TEST(FrameWait, OnAClockThatCannotSayWhenItTurnsItNapsThroughTheLastMillisecond) {
  for (double phase = 0.0; phase < 1.0; phase += 0.0625) {
    const HealthyWait wait = healthyWaitAt(phase, false);
    EXPECT_NEAR(wait.readingsPassed, 0.011, 1e-9) << phase;
    EXPECT_GE(wait.endedAfterTurn, -1e-6) << phase;
    EXPECT_LE(wait.endedAfterTurn, 0.1 + 1e-6) << phase;
    EXPECT_LE(wait.reads, 14) << phase;
  }
}

// The wait on the machine's clock, with whichever sleep the build chose
// (clock_nanosleep, or the portable sleep): it ends at a reading 11 ms past
// the one it started from, and after a frame delay less 1 ms of steady time.
TEST(FrameWait, OnTheMachinesClockEndsElevenReadingsOnAndNoSooner) {
  LocalClock clock;
  for (int frame = 0; frame < 20; ++frame) {
    const double before = clock.timeOfDay();
    const Clock::SteadyTime steadyBefore = clock.steadyNow();
    waitForFrame(clock);
    const Clock::SteadyTime steadyAfter = clock.steadyNow();
    const double after = clock.timeOfDay();
    if (after >= before) {  // not across midnight
      EXPECT_GE(after, before + 0.011 - 1e-6) << before;
    }
#ifdef _WIN32
    // Windows' sleeps may end up to a millisecond early.
    EXPECT_GE(steadyAfter - steadyBefore + std::chrono::milliseconds(1), shortestFrameWait);
#else
    EXPECT_GE(steadyAfter - steadyBefore, shortestFrameWait);
#endif
  }
}

}  // namespace
}  // namespace vantrel
