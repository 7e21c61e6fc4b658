#pragma once
// "Blue Noise", vantrel's own track: 30 bars at about 124 BPM in A minor
// (58.2 s, the length of the show), arranged intro, build, main part, break,
// finale and an ending that resolves onto A minor; the ending's tail rings
// on into the intro, so the track repeats without a seam when the show runs
// longer.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vantrel::compose {

inline constexpr std::int64_t beatFrames = 21400;  // 123.6 BPM at 44.1 kHz, exactly
inline constexpr std::int64_t barFrames = 4 * beatFrames;

enum class Part { intro, build, main, breakdown, finale, ending };

struct Section {
  Part part;
  const char* name;
  int first;  // first bar
  int bars;
};

inline constexpr std::array<Section, 6> trackForm{{
    {Part::intro, "intro", 0, 4},
    {Part::build, "build", 4, 4},
    {Part::main, "main", 8, 8},
    {Part::breakdown, "break", 16, 4},
    {Part::finale, "finale", 20, 8},
    {Part::ending, "ending", 28, 2},
}};

inline constexpr int trackBars = trackForm.back().first + trackForm.back().bars;
inline constexpr std::int64_t trackFrames = trackBars * barFrames;
// The final tonic chord: the first beat of the last bar.
inline constexpr int cadenceBar = trackBars - 1;

constexpr const Section& sectionOf(Part part) {
  for (const Section& section : trackForm) {
    if (section.part == part) return section;
  }
  return trackForm.front();
}

// The whole track, interleaved stereo 16-bit.
std::vector<std::int16_t> composeTrack();

}  // namespace vantrel::compose
