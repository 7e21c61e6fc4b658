#include <chrono>
#include <ctime>

#include "platform/clock.hpp"

namespace vantrel {

LocalClock::LocalClock() = default;
LocalClock::~LocalClock() = default;

double LocalClock::timeOfDay() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto sinceEpoch = now.time_since_epoch();
  const auto milliseconds =
      std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count() % 1000;
  std::tm local{};
  localtime_r(&seconds, &local);
  return timeOfDayFrom(local.tm_hour, local.tm_min, local.tm_sec,
                       static_cast<int>(milliseconds < 0 ? milliseconds + 1000 : milliseconds));
}

}  // namespace vantrel
