#include "audio/track_analysis.hpp"

#include <cmath>
#include <utility>

#include "audio/audio_backend.hpp"

namespace vantrel {

namespace {

std::vector<PcmSample> decodeWholeTrack(const std::filesystem::path& path) {
  std::vector<PcmSample> frames;
  std::unique_ptr<PcmDecoder> decoder = makeDecoder();
  if (!decoder->open(path)) return frames;
  constexpr std::size_t chunkFrames = 16 * 1024;
  for (;;) {
    const std::size_t used = frames.size();
    frames.resize(used + chunkFrames * pcmChannels);
    const std::size_t got = decoder->read(frames.data() + used, chunkFrames);
    frames.resize(used + got * pcmChannels);
    if (got == 0) return frames;
  }
}

}  // namespace

TrackAnalysis::TrackAnalysis(const std::filesystem::path& path)
    : TrackAnalysis(decodeWholeTrack(path)) {}

TrackAnalysis::TrackAnalysis(std::vector<PcmSample> frames)
    : frames_(std::move(frames)), block_(blockFrames * pcmChannels) {
  frames_.resize(frameCount() * pcmChannels);  // whole frames only
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
  const double blocks = std::floor(seconds * pcmRate / static_cast<double>(blockFrames));
  spectrumAfterBlock(seconds < 0.0 ? -1 : static_cast<std::int64_t>(blocks), spectrum);
}

}  // namespace vantrel
