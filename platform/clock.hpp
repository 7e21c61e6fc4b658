#pragma once
// The frame clock: local time of day, and a steady clock to sleep on.

#include <chrono>

namespace vantrel {

class Clock {
 public:
  using SteadyTime = std::chrono::steady_clock::time_point;

  // A time of day and the steady time at which that reading began, so a
  // wait can wake when a later reading turns rather than watch for it.
  struct DayReading {
    double timeOfDay;
    SteadyTime turnedAt;
  };

  virtual ~Clock() = default;
  // Seconds since local midnight, in whole milliseconds. It may stand still,
  // leap or go back when the machine's clock is set.
  virtual double timeOfDay() = 0;
  // timeOfDay, and when its reading began. A clock that cannot tell says a
  // millisecond ago, the earliest it can have been.
  virtual DayReading readTimeOfDay() {
    const double reading = timeOfDay();
    return {reading, steadyNow() - std::chrono::milliseconds(1)};
  }
  // A clock that only ever moves forward, at a steady rate.
  virtual SteadyTime steadyNow() = 0;
  // Sleeps for the time from now until `time` on the steady clock (not at
  // all if it has passed), in one sleep.
  virtual void sleepUntil(SteadyTime time) = 0;
};

// Builds timeOfDay from the fields of a local time.
constexpr double timeOfDayFrom(int hours, int minutes, int seconds, int milliseconds) {
  return (hours * 3'600'000 + minutes * 60'000 + seconds * 1'000 + milliseconds) / 1000.0;
}

// The machine's local clock.
class LocalClock final : public Clock {
 public:
  LocalClock();
  ~LocalClock() override;
  LocalClock(const LocalClock&) = delete;
  LocalClock& operator=(const LocalClock&) = delete;

  double timeOfDay() override;
  SteadyTime steadyNow() override;
  DayReading readTimeOfDay() override;
  void sleepUntil(SteadyTime time) override;

 private:
  // The portable sleep: one sleep for the time left until `time`, measured
  // when it is called, rather than a sleep until the clock reads `time`;
  // rounded up to whole `tick`s where the system's sleep drops any part of one.
  static void sleepForTimeLeft(SteadyTime time, SteadyTime::duration tick);
};

}  // namespace vantrel
