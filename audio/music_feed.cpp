#include "audio/music_feed.hpp"

#include <algorithm>

namespace vantrel {

void MusicFeed::fill(PcmSample* out, std::size_t frames) {
  if (track_ != nullptr) {
    track_->fill(out, frames);
  } else {
    std::fill(out, out + frames * pcmChannels, PcmSample{0});
  }
  if (!analysing_.load(std::memory_order_relaxed)) return;
  if (schedule_ == nullptr) {
    analyzer_.push(out, frames, spectrum_);
  } else {
    analyseForLater(out, frames);
  }
}

void MusicFeed::analyseForLater(const PcmSample* out, std::size_t frames) {
  const OutputClock::TimePoint heard = clock_->now() + delay_;
  for (std::size_t done = 0; done < frames; done += blockFrames) {
    const std::size_t chunk = std::min(blockFrames, frames - done);
    analyzer_.push(out + done * pcmChannels, chunk, blockSpectrum_);
    const auto offset = std::chrono::duration_cast<OutputClock::TimePoint::duration>(
        FrameTicks{static_cast<std::int64_t>(done)});
    schedule_->add(blockSpectrum_, heard + offset);
  }
}

}  // namespace vantrel
