#pragma once
// "Blue Noise", vantrel's own track: 56 bars at 126 BPM in A minor (about
// 107 s), arranged intro, build, main part, break, finale and outro, the
// outro flowing back into the intro so the track repeats without a seam.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vantrel::compose {

inline constexpr int trackBars = 56;
inline constexpr std::int64_t beatFrames = 21000;  // 126 BPM at 44.1 kHz, exactly
inline constexpr std::int64_t barFrames = 4 * beatFrames;
inline constexpr std::int64_t trackFrames = trackBars * barFrames;

// The whole track, interleaved stereo 16-bit.
std::vector<std::int16_t> composeTrack();

}  // namespace vantrel::compose
