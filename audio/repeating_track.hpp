#pragma once
// A track that starts again from its first frame whenever it ends, so the
// music plays on without a gap. A track that yields nothing even right after
// starting again has no audio left to give: from then on it gives silence.

#include <cstddef>
#include <memory>

#include "audio/pcm_decoder.hpp"

namespace vantrel {

class RepeatingTrack {
 public:
  // `decoder` has opened the track.
  explicit RepeatingTrack(std::unique_ptr<PcmDecoder> decoder);

  // Writes exactly `frames` interleaved stereo frames into `out`.
  void fill(PcmSample* out, std::size_t frames);

  // True once the track has proved to have nothing to play.
  bool silent() const { return silent_; }

 private:
  std::unique_ptr<PcmDecoder> decoder_;
  bool playedSinceStart_ = false;
  bool silent_ = false;
};

}  // namespace vantrel
