#include <cerrno>
#include <chrono>
#include <ctime>

#include "platform/clock.hpp"

namespace vantrel {

LocalClock::LocalClock() = default;
LocalClock::~LocalClock() = default;

namespace {

double timeOfDayAt(std::chrono::system_clock::time_point now) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto sinceEpoch = now.time_since_epoch();
  const auto milliseconds =
      std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count() % 1000;
  std::tm local{};
  localtime_r(&seconds, &local);
  return timeOfDayFrom(local.tm_hour, local.tm_min, local.tm_sec,
                       static_cast<int>(milliseconds < 0 ? milliseconds + 1000 : milliseconds));
}

}  // namespace

double LocalClock::timeOfDay() {
  return timeOfDayAt(std::chrono::system_clock::now());
}

// Local time differs from the system clock by whole minutes, so its
// millisecond turns when the system clock's does.
Clock::DayReading LocalClock::readTimeOfDay() {
  const auto now = std::chrono::system_clock::now();
  const SteadyTime steady = std::chrono::steady_clock::now();
  const auto intoMillisecond = now - std::chrono::floor<std::chrono::milliseconds>(now);
  return {timeOfDayAt(now),
          steady - std::chrono::duration_cast<SteadyTime::duration>(intoMillisecond)};
}

#if VANTREL_CLOCK_NANOSLEEP
// One sleep to an absolute time on the monotonic clock (the steady clock's),
// so time lost before the call does not lengthen it.
void LocalClock::sleepUntil(SteadyTime time) {
  const auto sinceEpoch = time.time_since_epoch();
  const auto seconds = std::chrono::floor<std::chrono::seconds>(sinceEpoch);
  timespec deadline{};
  deadline.tv_sec = static_cast<std::time_t>(seconds.count());
  deadline.tv_nsec = static_cast<long>(
      std::chrono::duration_cast<std::chrono::nanoseconds>(sinceEpoch - seconds).count());
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
  }
}
#else
// Without clock_nanosleep (the build checks for it): the portable sleep, as
// on Windows. Time lost between measuring what is left and falling asleep
// lengthens it; the frame wait reads the clock after every sleep all the same.
void LocalClock::sleepUntil(SteadyTime time) {
  sleepForTimeLeft(time, SteadyTime::duration(1));
}
#endif

}  // namespace vantrel
