#pragma once
// A picture of a track's spectrum over time: time runs left to right, the
// frequency rises on a logarithmic scale from 30 Hz to 16 kHz, the level is
// a colour from black through blue and red to yellow. Thin grey lines mark
// where the sections begin and where the bars' range ends (10.3 kHz).

#include <span>
#include <string>
#include <vector>

#include "audio/pcm_format.hpp"

namespace vantrel::compose {

// Writes the picture of `frames` (interleaved stereo) to `path` as a PNG.
// `sectionStarts` are in frames. On failure returns false and says why.
bool writeSpectrogram(const std::string& path, std::span<const PcmSample> frames,
                      std::span<const std::int64_t> sectionStarts, std::string& error);

}  // namespace vantrel::compose
