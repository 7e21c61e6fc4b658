#pragma once
// The wait that ends every frame.

#include <chrono>

#include "platform/clock.hpp"

namespace vantrel {

inline constexpr double frameDelay = 0.01001;

// Bounds on a wait in steady time, whatever the time of day does: a clock
// that stands still cannot stall the show, nor one that leaps forward rush it.
inline constexpr std::chrono::microseconds longestFrameWait{20'020};  // two frame delays
inline constexpr std::chrono::microseconds shortestFrameWait{9'010};  // a frame delay less 1 ms

// Sets the frame deadline frameDelay past one clock reading, then reads the
// clock at once and again after each sleep until a reading reaches the
// deadline: the wait ends at the first whole-millisecond reading at or past
// it. A reading below the one that set the deadline (midnight, or a clock set
// back) ends the wait at once. On a clock that says when its reading turned,
// the process sleeps once, to the steady time at which the reading reaching
// the deadline turns; otherwise, and whenever that reading is late, until
// the last millisecond before the deadline, then in short naps.
void waitForFrame(Clock& clock);

}  // namespace vantrel
