// The parts of the machine's clock that are the same on every platform.

#include <chrono>
#include <thread>

#include "platform/clock.hpp"

namespace vantrel {

Clock::SteadyTime LocalClock::steadyNow() {
  return std::chrono::steady_clock::now();
}

// A steady clock frozen by a time-faking library must not hold the process:
// the time left is measured once and slept for.
void LocalClock::sleepForTimeLeft(SteadyTime time, SteadyTime::duration tick) {
  const auto left = time - std::chrono::steady_clock::now();
  if (left <= SteadyTime::duration::zero()) return;
  std::this_thread::sleep_for(tick * ((left.count() + tick.count() - 1) / tick.count()));
}

}  // namespace vantrel
