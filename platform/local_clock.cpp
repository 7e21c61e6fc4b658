// The parts of the machine's clock that are the same on every platform.

#include <chrono>

#include "platform/clock.hpp"

namespace vantrel {

Clock::SteadyTime LocalClock::steadyNow() {
  return std::chrono::steady_clock::now();
}

}  // namespace vantrel
