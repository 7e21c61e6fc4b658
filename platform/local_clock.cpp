// The parts of the machine's clock that are the same on every platform.

#include <chrono>
#include <thread>

#include "platform/clock.hpp"

namespace vantrel {

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
