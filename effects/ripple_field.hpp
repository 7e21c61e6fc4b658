#pragma once
// The ripple field: the interference pattern of circular waves centred on
// the particles, repainting all 4000 cells each frame.

#include <cstdint>

#include "driver/cell_screen.hpp"
#include "effects/particles.hpp"

namespace vantrel {

struct RippleField {
  std::int32_t ripplePhase = 0;  // -1: top/bottom split, +1: left/right split
};

// Advances the particles one step and paints every cell.
void drawRippleField(RippleField& ripple, ParticleSystem& particles, CellScreen& cellScreen);

}  // namespace vantrel
