#include "audio/pcm_rate_converter.hpp"

#include <algorithm>

namespace vantrel {

void PcmRateConverter::reset(int rate, int channels) {
  rate_ = std::max(rate, 1);
  channels_ = channels == 1 ? 1 : 2;
  nextOutput_ = 0;
  received_ = 0;
  last_ = {};
}

std::size_t PcmRateConverter::maxOutputFrames(std::size_t sourceFrames) const {
  return static_cast<std::size_t>((static_cast<std::int64_t>(sourceFrames) + 1) * pcmRate / rate_ +
                                  2);
}

// Frame `index` of the stream: the one kept from the last call, or one of `source`.
PcmRateConverter::Frame PcmRateConverter::sourceFrame(const PcmSample* source,
                                                      std::int64_t index) const {
  if (index < received_) return last_;
  const auto at = static_cast<std::size_t>(index - received_) * static_cast<std::size_t>(channels_);
  const std::int32_t left = source[at];
  return {left, channels_ == 1 ? left : std::int32_t{source[at + 1]}};
}

void PcmRateConverter::emit(const Frame& before, const Frame& after, std::int64_t weight,
                            PcmSample* out) const {
  // weight / 44100 of the way from `before` to `after`, rounded to nearest.
  for (std::size_t c = 0; c < pcmChannels; ++c) {
    const std::int64_t mixed = before[c] * (pcmRate - weight) + after[c] * weight;
    const std::int64_t rounded = (mixed >= 0 ? mixed + pcmRate / 2 : mixed - pcmRate / 2) / pcmRate;
    out[c] = static_cast<PcmSample>(std::clamp<std::int64_t>(rounded, -32768, 32767));
  }
}

std::size_t PcmRateConverter::convert(const PcmSample* source, std::size_t sourceFrames,
                                      PcmSample* out) {
  if (sourceFrames == 0) return 0;
  const std::int64_t available = received_ + static_cast<std::int64_t>(sourceFrames);
  std::size_t written = 0;
  for (;;) {
    const std::int64_t position = nextOutput_ * rate_;
    const std::int64_t index = position / pcmRate;
    const std::int64_t weight = position % pcmRate;
    // The frame after `index` is needed unless the output falls on `index`.
    if (index + (weight != 0 ? 1 : 0) >= available) break;
    const Frame before = sourceFrame(source, index);
    const Frame after = weight != 0 ? sourceFrame(source, index + 1) : before;
    emit(before, after, weight, out + written * pcmChannels);
    ++written;
    ++nextOutput_;
  }
  last_ = sourceFrame(source, available - 1);
  received_ = available;
  return written;
}

std::size_t PcmRateConverter::finish(PcmSample* out) {
  std::size_t written = 0;
  // Output frames between the last source frame and the one that never
  // comes hold the last frame.
  while (received_ > 0 && (nextOutput_ * rate_) / pcmRate < received_) {
    emit(last_, last_, 0, out + written * pcmChannels);
    ++written;
    ++nextOutput_;
  }
  return written;
}

}  // namespace vantrel
