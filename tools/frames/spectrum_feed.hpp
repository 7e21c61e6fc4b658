#pragma once
// What the frames' spectrum holds at each moment of the run: silence, or the
// shipped track as the audio layer's own analysis sees it.

#include <memory>
#include <string>

#include "audio/spectrum.hpp"

namespace vantrel::frames {

class SpectrumFeed {
 public:
  virtual ~SpectrumFeed() = default;
  // Sets `spectrum` to the spectrum as it stands `seconds` into the track.
  virtual void fill(double seconds, SpectrumArray& spectrum) = 0;
};

// The shipped track (assets/BlueNoise.mp3), analysed offline. Null, with the
// reason in `error`, when it cannot be found or holds no playable audio.
std::unique_ptr<SpectrumFeed> openMusicFeed(std::string& error);

}  // namespace vantrel::frames
