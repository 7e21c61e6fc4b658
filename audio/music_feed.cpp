#include "audio/music_feed.hpp"

#include <algorithm>

namespace vantrel {

void MusicFeed::fill(PcmSample* out, std::size_t frames) {
  if (track_ != nullptr) {
    track_->fill(out, frames);
  } else {
    std::fill(out, out + frames * pcmChannels, PcmSample{0});
  }
  if (analysing_.load(std::memory_order_relaxed)) analyzer_.push(out, frames, spectrum_);
}

}  // namespace vantrel
