#include "audio/repeating_track.hpp"

#include <algorithm>

namespace vantrel {

RepeatingTrack::RepeatingTrack(std::unique_ptr<PcmDecoder> decoder)
    : decoder_(std::move(decoder)), silent_(decoder_ == nullptr) {}

void RepeatingTrack::fill(PcmSample* out, std::size_t frames) {
  std::size_t done = 0;
  while (done < frames && !silent_) {
    const std::size_t got = decoder_->read(out + done * pcmChannels, frames - done);
    if (got > 0) {
      done += got;
      playedSinceStart_ = true;
      continue;
    }
    // The end of the track. Starting again is only worth it if the last
    // pass played something; otherwise this would spin without end.
    if (!playedSinceStart_ || !decoder_->rewind()) {
      silent_ = true;
      break;
    }
    playedSinceStart_ = false;
  }
  std::fill(out + done * pcmChannels, out + frames * pcmChannels, PcmSample{0});
}

}  // namespace vantrel
