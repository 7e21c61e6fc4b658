#include "driver/frame_wait.hpp"

#include <algorithm>
#include <cmath>

namespace vantrel {

namespace {

using namespace std::chrono_literals;

// The naps of the last millisecond: short, so the wait ends soon after the
// reading turns; a yield instead would keep a core busy for that millisecond.
constexpr auto nap = 100us;

// How long to sleep after `now`, `left` seconds of readings before the
// deadline. A reading stands for any moment of its millisecond, so the one
// that reaches the deadline may come up to a millisecond sooner than the
// readings say: sleep until a millisecond before it, then nap.
Clock::SteadyTime::duration pauseBefore(double left) {
  const double wholeMillisecondsLeft = std::ceil(left * 1000.0 - 1e-6);
  if (wholeMillisecondsLeft <= 1.0) return nap;
  return std::chrono::duration_cast<Clock::SteadyTime::duration>(
      std::chrono::duration<double, std::milli>(wholeMillisecondsLeft - 1.0));
}

}  // namespace

void waitForFrame(Clock& clock) {
  const double start = clock.timeOfDay();
  const double frameDeadline = start + frameDelay;
  const Clock::SteadyTime steadyStart = clock.steadyNow();
  const Clock::SteadyTime latestEnd = steadyStart + longestFrameWait;
  // The sleeps asked for, counted too: a steady clock can be frozen as well
  // (a time-faking library freezes every clock), and the wait must still end.
  Clock::SteadyTime::duration slept{};
  double now = clock.timeOfDay();
  for (; now < frameDeadline && now >= start; now = clock.timeOfDay()) {
    const Clock::SteadyTime steadyNow = clock.steadyNow();
    if (steadyNow >= latestEnd || slept >= longestFrameWait) return;
    const auto pause = std::min({pauseBefore(frameDeadline - now), latestEnd - steadyNow,
                                 Clock::SteadyTime::duration(longestFrameWait) - slept});
    clock.sleepUntil(steadyNow + pause);
    slept += pause;
  }
  // A clock set back ends the wait at once; one that leapt forward does not
  // cut the frame short.
  const Clock::SteadyTime earliestEnd = steadyStart + shortestFrameWait;
  if (now >= start && clock.steadyNow() < earliestEnd) clock.sleepUntil(earliestEnd);
}

}  // namespace vantrel
