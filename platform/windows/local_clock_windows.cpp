#include <windows.h>
// After windows.h, which it builds on.
#include <timeapi.h>

#include <chrono>

#include "platform/clock.hpp"

namespace vantrel {

// Windows wakes sleepers on its timer tick, 15.6 ms unless asked for finer:
// the frame wait sleeps for parts of an 11 ms frame, so ask for 1 ms.
LocalClock::LocalClock() {
  timeBeginPeriod(1);
}

LocalClock::~LocalClock() {
  timeEndPeriod(1);
}

double LocalClock::timeOfDay() {
  SYSTEMTIME local{};
  GetLocalTime(&local);
  return timeOfDayFrom(local.wHour, local.wMinute, local.wSecond, local.wMilliseconds);
}

// GetLocalTime does not say how far into its millisecond it is.
Clock::DayReading LocalClock::readTimeOfDay() {
  return Clock::readTimeOfDay();
}

// The sleep counts whole milliseconds and drops what is left of one (the
// frame wait's 100 us naps would not sleep at all, and a frame would end as
// soon as the naps it asked for added up to its bound): whole milliseconds
// that cover the time left.
void LocalClock::sleepUntil(SteadyTime time) {
  sleepForTimeLeft(time, std::chrono::milliseconds(1));
}

}  // namespace vantrel
