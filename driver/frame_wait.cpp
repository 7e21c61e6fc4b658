#include "driver/frame_wait.hpp"

#include <algorithm>
#include <cmath>

namespace vantrel {

namespace {

using namespace std::chrono_literals;

// The naps of the last millisecond, once the reading that should have
// reached the deadline has not: short, so the wait ends soon after the
// reading turns; a yield instead would keep a core busy for that millisecond.
constexpr auto nap = 100us;

Clock::SteadyTime::duration millisecondsOf(double wholeMilliseconds) {
  return std::chrono::duration_cast<Clock::SteadyTime::duration>(
      std::chrono::duration<double, std::milli>(wholeMilliseconds));
}

// How many whole-millisecond readings after `start` the first one at or past
// `start + delay` comes: 11 for the frame delay.
double readingsUntil(double delay) {
  return std::ceil(delay * 1000.0 - 1e-6);
}

// How long to sleep after `now`, `left` seconds of readings before the
// deadline, when the clock has not said when its reading turns: a reading
// stands for any moment of its millisecond, so sleep until a millisecond
// before the deadline, then nap.
Clock::SteadyTime::duration pauseBefore(double left) {
  const double wholeMillisecondsLeft = readingsUntil(left);
  if (wholeMillisecondsLeft <= 1.0) return nap;
  return millisecondsOf(wholeMillisecondsLeft - 1.0);
}

}  // namespace

void waitForFrame(Clock& clock) {
  const Clock::DayReading startReading = clock.readTimeOfDay();
  const double start = startReading.timeOfDay;
  const double frameDeadline = start + frameDelay;
  // The steady time at which the reading reaching the deadline turns: on a
  // healthy clock the one wake-up of the wait.
  const Clock::SteadyTime due = startReading.turnedAt + millisecondsOf(readingsUntil(frameDelay));
  const Clock::SteadyTime steadyStart = clock.steadyNow();
  const Clock::SteadyTime latestEnd = steadyStart + longestFrameWait;
  // The sleeps asked for, counted too: a steady clock can be frozen as well
  // (a time-faking library freezes every clock), and the wait must still end.
  Clock::SteadyTime::duration slept{};
  double now = clock.timeOfDay();
  for (; now < frameDeadline && now >= start; now = clock.timeOfDay()) {
    const Clock::SteadyTime steadyNow = clock.steadyNow();
    if (steadyNow >= latestEnd || slept >= longestFrameWait) return;
    const Clock::SteadyTime wake =
        std::min({steadyNow < due ? due : steadyNow + pauseBefore(frameDeadline - now), latestEnd,
                  steadyNow + (Clock::SteadyTime::duration(longestFrameWait) - slept)});
    clock.sleepUntil(wake);
    slept += wake - steadyNow;
  }
  // A clock set back ends the wait at once; one that leapt forward does not
  // cut the frame short.
  const Clock::SteadyTime earliestEnd = steadyStart + shortestFrameWait;
  if (now >= start && clock.steadyNow() < earliestEnd) clock.sleepUntil(earliestEnd);
}

}  // namespace vantrel
