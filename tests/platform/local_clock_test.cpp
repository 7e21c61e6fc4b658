// The machine's clock as the frame wait uses it: when a reading began, and a
// sleep that ends no sooner than asked.
#include <gtest/gtest.h>

#include <chrono>

#include "platform/clock.hpp"

namespace vantrel {
namespace {

using namespace std::chrono_literals;

TEST(LocalClock, SaysWhenItsReadingBeganWithinTheLastMillisecond) {
  LocalClock clock;
  for (int i = 0; i < 50; ++i) {
    const Clock::SteadyTime before = clock.steadyNow();
    const Clock::DayReading reading = clock.readTimeOfDay();
    const Clock::SteadyTime after = clock.steadyNow();
    EXPECT_LE(reading.turnedAt, after);
    EXPECT_GE(reading.turnedAt, before - 1ms);
#ifndef _WIN32
    // The POSIX clock knows when its reading began: a millisecond later it
    // reads on (or, at midnight, starts again). Windows' says the earliest.
    clock.sleepUntil(reading.turnedAt + 1ms + 50us);
    const double next = clock.timeOfDay();
    EXPECT_TRUE(next >= reading.timeOfDay + 0.0009 || next < reading.timeOfDay)
        << reading.timeOfDay << " then " << next;
#endif
  }
}

TEST(LocalClock, SleepsUntilTheSteadyTimeAskedAndNotAtAllForOneGone) {
  LocalClock clock;
  for (const auto length : {0us, 300us, 2000us, 5000us}) {
    const Clock::SteadyTime until = clock.steadyNow() + length;
    clock.sleepUntil(until);
#ifdef _WIN32
    // Windows' sleeps count whole milliseconds and may end up to one early
    // (the frame wait reads the clock again and sleeps on).
    EXPECT_GE(clock.steadyNow() + 1ms, until) << length.count() << " us";
#else
    EXPECT_GE(clock.steadyNow(), until) << length.count() << " us";
#endif
  }
  const Clock::SteadyTime start = clock.steadyNow();
  clock.sleepUntil(start - 1s);
  EXPECT_LT(clock.steadyNow() - start, 500ms) << "a time already gone is not slept for";
}

}  // namespace
}  // namespace vantrel
