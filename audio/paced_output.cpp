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
  if (thread_.joinable()) return;
  thread_ = std::thread([this] { run(); });
}

void PacedOutput::run() {
  const OutputClock::TimePoint start = clock_.now();
  std::int64_t delivered = 0;  // blocks handed to the source so far
  std::int64_t skipped = 0;    // blocks of time given up after stalls
  while (!stopping_.load(std::memory_order_relaxed)) {
    std::int64_t due = blocksDueAfter(clock_.now() - start) - skipped;
    if (due - delivered > maxCatchUpBlocks) {
      skipped += due - delivered - 1;
      due = delivered + 1;
    }
    for (; delivered < due; ++delivered) source_.fill(block_.data(), blockFrames);
    clock_.sleepUntil(start + blockDueTime(delivered + skipped));
  }
}

}  // namespace vantrel
