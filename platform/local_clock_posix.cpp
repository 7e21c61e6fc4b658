#include <chrono>
#include <ctime>
#include <thread>

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

Clock::SteadyTime LocalClock::steadyNow() {
  return std::chrono::steady_clock::now();
}

// One sleep for the time left, not a sleep until the clock reads `time`: a
// steady clock frozen by a time-faking library must not hold the process.
void LocalClock::sleepUntil(SteadyTime time) {
  const auto left = time - std::chrono::steady_clock::now();
  if (left > SteadyTime::duration::zero()) std::this_thread::sleep_for(left);
}

}  // namespace vantrel
