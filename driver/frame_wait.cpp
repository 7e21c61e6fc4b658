#include "driver/frame_wait.hpp"

namespace vantrel {

void waitForFrame(Clock& clock) {
  const double start = clock.timeOfDay();
  const double frameDeadline = start + frameDelay;
  for (double now = clock.timeOfDay(); now < frameDeadline && now >= start;
       now = clock.timeOfDay()) {
    clock.yield();
  }
}

}  // namespace vantrel
