#pragma once
// The frame clock: local time of day and a yield of the time slice.

namespace vantrel {

class Clock {
 public:
  virtual ~Clock() = default;
  // Seconds since local midnight, in whole milliseconds.
  virtual double timeOfDay() = 0;
  // Gives up the rest of the thread's time slice.
  virtual void yield() = 0;
};

// Builds timeOfDay from the fields of a local time.
constexpr double timeOfDayFrom(int hours, int minutes, int seconds, int milliseconds) {
  return (hours * 3'600'000 + minutes * 60'000 + seconds * 1'000 + milliseconds) / 1000.0;
}

// The machine's local clock.
class LocalClock final : public Clock {
 public:
  double timeOfDay() override;
  void yield() override;
};

}  // namespace vantrel
