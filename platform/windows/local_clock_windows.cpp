#include <windows.h>
// After windows.h, which it builds on.
#include <timeapi.h>

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

}  // namespace vantrel
