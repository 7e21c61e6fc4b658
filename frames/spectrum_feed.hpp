#pragma once
// What the frames' spectrum holds at each moment of the run: silence, or the
// built-in track as the audio layer's own analysis sees it.

#include <memory>
#include <span>
#include <string>

#include "audio/pcm_format.hpp"
#include "audio/spectrum.hpp"

namespace vantrel::frames {

class SpectrumFeed {
 public:
  virtual ~SpectrumFeed() = default;
  // Sets `spectrum` to the spectrum as it stands `seconds` into the track.
  virtual void fill(double seconds, SpectrumArray& spectrum) = 0;
  // One pass of the track as the demo's decoder delivers it, interleaved
  // stereo at 44100 Hz.
  virtual std::span<const PcmSample> sound() const = 0;
};

// The track built into the programs, analysed offline. Null, with the reason
// in `error`, when this platform's decoder finds no audio in it.
std::unique_ptr<SpectrumFeed> openMusicFeed(std::string& error);

}  // namespace vantrel::frames
