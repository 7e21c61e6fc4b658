#pragma once
// Everything the demo draws from, created once at start-up, and the code of
// one frame. The demo and the headless frame tool share these.

#include <cstdint>

#include "audio/spectrum.hpp"
#include "effects/particles.hpp"
#include "effects/ripple_field.hpp"
#include "screen/cell_screen.hpp"
#include "text/glyph_table.hpp"
#include "text/scroller.hpp"

namespace vantrel {

struct Demo {
  GlyphTable glyphTable{};
  Scroller scroller{};
  CellScreen cellScreen{};
  ParticleSystem particles{};
  RippleField ripple{};
  const SpectrumEntry* spectrum = nullptr;
};

inline constexpr int warmUpSteps = 1000;

// Builds the message, loads the font and readies the scroller.
void prepareScroller(Demo& demo);
// Spawns the particles from `seed` and runs the warm-up steps.
void prepareParticles(Demo& demo, std::uint32_t seed);
// The warm-up alone: the steps the particles make before the first frame.
// The frame tool calls it after recording the freshly spawned table.
void warmUpParticles(Demo& demo);

enum class FrameOutcome { drawn, messageEnded };

// Where the music stands when frame n (from 1) is drawn at the show's steady
// pace, the frames 11 ms of clock time apart: (n - 1) x 11 / 1000 seconds,
// computed this way so every player of the show rounds it alike.
inline constexpr int frameSpacingMilliseconds = 11;
inline double musicSecondsAtFrame(int frame) {
  return static_cast<double>(frame - 1) * frameSpacingMilliseconds / 1000.0;
}

// The frames the whole show presents: the scroller fetches a character every
// two glyph widths of calls and ends the show, unpresented, in the frame that
// fetches past the last one.
inline int wholeShowFrames(const Scroller& scroller) {
  return (scroller.scrollLength - 1) * 2 * glyphWidth - 1;
}

// Draws one frame into the cell screen: ripple field, spectrum bars, scroller.
// messageEnded means the scroller ran out of message and the frame is void.
FrameOutcome drawFrame(Demo& demo);

}  // namespace vantrel
