#pragma once
// A sound output and the routine that feeds it. The output calls its
// source's fill on a thread of its own for every buffer it plays: a sound
// device through its callback, or the paced thread that stands in for a
// device when there is none.

#include <chrono>
#include <cstddef>

#include "audio/pcm_format.hpp"

namespace vantrel {

class BlockSource {
 public:
  virtual ~BlockSource() = default;
  // Writes `frames` interleaved stereo frames into `out`; called on the
  // output's thread, so it must not block.
  virtual void fill(PcmSample* out, std::size_t frames) = 0;
};

class AudioOutput {
 public:
  // Stops the output: once it returns, the source is called no more.
  virtual ~AudioOutput() = default;
  // Starts pulling frames from the source.
  virtual void start() = 0;
  // How long after a fill call its first frame is heard: zero for an output
  // that takes frames as they sound.
  virtual std::chrono::nanoseconds playDelay() const { return std::chrono::nanoseconds{0}; }
};

}  // namespace vantrel
