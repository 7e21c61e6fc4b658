#pragma once
// Turns 16-bit PCM of any rate, mono or stereo, into the layer's one format
// (44100 Hz stereo) as a stream: the source arrives in pieces and each output
// frame comes out as soon as the source frames around it have arrived.
// Output frame k stands at source position k x rate / 44100 and is drawn
// between the two source frames around it, so a track of n source frames
// becomes ceil(n x 44100 / rate) frames. At 44100 Hz it only copies.

#include <array>
#include <cstddef>
#include <cstdint>

#include "audio/pcm_format.hpp"

namespace vantrel {

class PcmRateConverter {
 public:
  // Starts a new stream of `rate` Hz with `channels` (1 or 2) channels.
  void reset(int rate, int channels);

  // The most output frames one convert call can give for `sourceFrames`.
  std::size_t maxOutputFrames(std::size_t sourceFrames) const;

  // Takes `sourceFrames` interleaved frames of `source`, writes the output
  // frames that are now complete to `out` (room for maxOutputFrames) and
  // returns how many it wrote.
  std::size_t convert(const PcmSample* source, std::size_t sourceFrames, PcmSample* out);

  // Ends the stream: writes the output frames that lie past the last source
  // frame's neighbour (at most one or two) and returns how many.
  std::size_t finish(PcmSample* out);

 private:
  using Frame = std::array<std::int32_t, pcmChannels>;

  Frame sourceFrame(const PcmSample* source, std::int64_t index) const;
  void emit(const Frame& before, const Frame& after, std::int64_t weight, PcmSample* out) const;

  std::int64_t rate_ = pcmRate;
  int channels_ = pcmChannels;
  std::int64_t nextOutput_ = 0;  // index of the next output frame
  std::int64_t received_ = 0;    // source frames taken so far
  Frame last_{};                 // the last source frame taken
};

}  // namespace vantrel
