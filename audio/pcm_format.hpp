#pragma once
// The one sample format the audio layer plays and analyses: 44100 Hz,
// stereo, signed 16-bit, interleaved (left then right), handed to the output
// in blocks of 512 frames (about 11.6 ms).

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <ratio>

namespace vantrel {

inline constexpr int pcmRate = 44100;
inline constexpr int pcmChannels = 2;
inline constexpr std::size_t blockFrames = 512;

using PcmSample = std::int16_t;

// A span of time counted in output frames.
using FrameTicks = std::chrono::duration<std::int64_t, std::ratio<1, pcmRate>>;

}  // namespace vantrel
