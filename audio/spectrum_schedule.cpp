#include "audio/spectrum_schedule.hpp"

#include <algorithm>
#include <chrono>

namespace vantrel {

namespace {

// Without a spectrum pending, the thread looks again this often; it also
// bounds how long stopping takes.
constexpr std::chrono::milliseconds idleWait{5};

void copySpectrum(const SpectrumArray& from, SpectrumArray& to) {
  for (std::size_t k = 0; k < from.size(); ++k) {
    to[k].store(from[k].load(std::memory_order_relaxed), std::memory_order_relaxed);
  }
}

}  // namespace

SpectrumSchedule::SpectrumSchedule(SpectrumArray& shown, OutputClock& clock)
    : shown_(shown), clock_(clock) {}

SpectrumSchedule::~SpectrumSchedule() {
  stopping_.store(true, std::memory_order_relaxed);
  if (thread_.joinable()) thread_.join();
}

void SpectrumSchedule::start() {
  if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
}

void SpectrumSchedule::add(const SpectrumArray& spectrum, OutputClock::TimePoint due) {
  const std::uint64_t index = added_.load(std::memory_order_relaxed);
  Slot& slot = slots_[index % slotCount];
  copySpectrum(spectrum, slot.spectrum);
  slot.due.store(due.time_since_epoch().count(), std::memory_order_relaxed);
  added_.store(index + 1, std::memory_order_release);
}

OutputClock::TimePoint SpectrumSchedule::showDue(OutputClock::TimePoint now) {
  const std::uint64_t added = added_.load(std::memory_order_acquire);
  // Far behind (a stalled thread): what was overwritten is past anyway.
  if (added - next_ > slotCount / 2) next_ = added - slotCount / 2;
  const Slot* newestDue = nullptr;
  OutputClock::TimePoint nextDue = now + idleWait;
  for (; next_ < added; ++next_) {
    const Slot& slot = slots_[next_ % slotCount];
    const OutputClock::TimePoint due{
        OutputClock::TimePoint::duration{slot.due.load(std::memory_order_relaxed)}};
    if (due > now) {
      nextDue = due;
      break;
    }
    newestDue = &slot;
  }
  if (newestDue != nullptr) copySpectrum(newestDue->spectrum, shown_);
  return nextDue;
}

void SpectrumSchedule::run() {
  while (!stopping_.load(std::memory_order_relaxed)) {
    const OutputClock::TimePoint now = clock_.now();
    clock_.sleepUntil(std::min(showDue(now), now + idleWait));
  }
}

}  // namespace vantrel
