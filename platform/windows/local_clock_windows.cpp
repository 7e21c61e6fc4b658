#include <windows.h>

#include "platform/clock.hpp"

namespace vantrel {

double LocalClock::timeOfDay() {
  SYSTEMTIME local{};
  GetLocalTime(&local);
  return timeOfDayFrom(local.wHour, local.wMinute, local.wSecond, local.wMilliseconds);
}

void LocalClock::yield() {
  Sleep(0);
}

}  // namespace vantrel
