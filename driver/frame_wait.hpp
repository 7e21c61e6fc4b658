#pragma once
// The wait that ends every frame.

#include "platform/clock.hpp"

namespace vantrel {

inline constexpr double frameDelay = 0.01001;

// Sets the frame deadline frameDelay past one clock reading, then reads the
// clock at once and after every yield until a reading reaches the deadline.
// A reading below the one that set the deadline (midnight, or a clock set
// back) also ends the wait.
void waitForFrame(Clock& clock);

}  // namespace vantrel
