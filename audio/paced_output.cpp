#include "audio/paced_output.hpp"

namespace vantrel {

std::int64_t blocksDueAfter(OutputClock::TimePoint::duration elapsed) {
  if (elapsed < elapsed.zero()) return 0;
  const auto frames = std::chrono::duration_cast<FrameTicks>(elapsed).count();
  return frames / static_cast<std::int64_t>(blockFrames) + 1;
}

OutputClock::TimePoint::duration blockDueTime(std::int64_t block) {
  const FrameTicks frames{block * static_cast<std::int64_t>(blockFrames)};
  // Rounded up, so that waking at this time always finds the block due.
  return std::chrono::ceil<OutputClock::TimePoint::duration>(frames);
}

PacedOutput::~PacedOutput() {
  stop();
  if (thread_.joinable()) thread_.join();
}

void PacedOutput::start() {
  if (started_) return;
  beginSchedule();
  if (!pacedByCaller_) thread_ = std::thread([this] { run(); });
}

void PacedOutput::beginSchedule() {
  if (started_) return;
  started_ = true;
  start_ = clock_.now();
}

void PacedOutput::run() {
  beginSchedule();
  while (!stopping_.load(std::memory_order_relaxed)) clock_.sleepUntil(deliverDue(clock_.now()));
}

OutputClock::TimePoint PacedOutput::deliverDue(OutputClock::TimePoint now) {
  if (!started_) return now;
  std::int64_t due = blocksDueAfter(now - start_) - skipped_;
  if (due - delivered_ > maxCatchUpBlocks) {
    skipped_ += due - delivered_ - 1;
    due = delivered_ + 1;
  }
  for (; delivered_ < due; ++delivered_) source_.fill(block_.data(), blockFrames);
  return start_ + blockDueTime(delivered_ + skipped_);
}

}  // namespace vantrel
