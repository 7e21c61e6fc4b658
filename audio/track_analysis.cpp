#include "audio/track_analysis.hpp"

#include <cmath>
#include <utility>

namespace vantrel {

TrackAnalysis::TrackAnalysis(std::vector<PcmSample> frames)
    : frames_(std::move(frames)), block_(blockFrames * pcmChannels) {
  frames_.resize(frames_.size() / pcmChannels * pcmChannels);  // whole frames only
}

void TrackAnalysis::copyBlock(std::int64_t block, PcmSample* out) const {
  const auto length = static_cast<std::int64_t>(frameCount());
  const std::int64_t first = block * static_cast<std::int64_t>(blockFrames);
  for (std::size_t i = 0; i < blockFrames; ++i) {
    const std::int64_t frame = first + static_cast<std::int64_t>(i);
    const auto source = static_cast<std::size_t>(frame % length) * pcmChannels;
    out[i * pcmChannels] = frames_[source];
    out[i * pcmChannels + 1] = frames_[source + 1];
  }
}

void TrackAnalysis::spectrumAfterBlock(std::int64_t block, SpectrumArray& spectrum) {
  if (!hasAudio() || block < 0) {
    for (SpectrumEntry& entry : spectrum) entry.store(0.0F, std::memory_order_relaxed);
    return;
  }
  // The window spans exactly two blocks, so these two make the analyser's
  // state what it is live after `block`; before block 0 it heard silence.
  analyzer_.reset();
  for (std::int64_t heard = block > 0 ? block - 1 : 0; heard <= block; ++heard) {
    copyBlock(heard, block_.data());
    analyzer_.push(block_.data(), blockFrames, spectrum);
  }
}

void TrackAnalysis::spectrumAt(double seconds, SpectrumArray& spectrum) {
  spectrumAfterBlock(blockDeliveredBy(seconds), spectrum);
}

}  // namespace vantrel
