#include "driver/frame_wait.hpp"

#include <gtest/gtest.h>

#include "support/fake_platform.hpp"

namespace vantrel {
namespace {

using testing::FakeClock;

// Drives the wait with readings one millisecond apart from `start` and
// returns the reading that ended it.
double endOfWaitFrom(double start) {
  FakeClock clock;
  for (int ms = 0; ms <= 20; ++ms) clock.readings.push_back(start + ms / 1000.0);
  waitForFrame(clock);
  return clock.now;
}

TEST(FrameWait, EndsAtTheFirstReadingElevenMillisecondsOn) {
  for (double start : {0.0, 1.0, 43210.123, 86000.999}) {
    EXPECT_NEAR(endOfWaitFrom(start) - start, 0.011, 1e-9) << start;
  }
}

TEST(FrameWait, ReadsAtOnceAndYieldsBetweenReadings) {
  FakeClock clock;
  clock.readings = {5.000, 5.020};
  waitForFrame(clock);
  EXPECT_EQ(clock.readCount, 2);
  EXPECT_EQ(clock.yieldCount, 0);

  FakeClock slow;
  slow.readings = {5.000, 5.001, 5.002, 5.011};
  waitForFrame(slow);
  EXPECT_EQ(slow.readCount, 4);
  EXPECT_EQ(slow.yieldCount, 2);
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
}

}  // namespace
}  // namespace vantrel
