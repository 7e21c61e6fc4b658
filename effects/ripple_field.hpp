#pragma once
// The ripple field: the interference pattern of circular waves centred on
// the particles, repainting all 4000 cells each frame.

#include <cstdint>
#include <span>

#include "effects/particles.hpp"
#include "screen/cell_screen.hpp"

namespace vantrel {

// How the field is computed. Every way paints exactly the same cells; the
// vector ways work on several sample points at once.
enum class RipplePath { scalar, sse2, avx2, avx512, simd128 };

// The fastest way this build and this processor support.
RipplePath fastestRipplePath();
bool ripplePathSupported(RipplePath path);
const char* ripplePathName(RipplePath path);

struct RippleField {
  std::int32_t ripplePhase = 0;  // -1: top/bottom split, +1: left/right split
  RipplePath path = fastestRipplePath();
};

// Advances the particles one step and paints every cell.
void drawRippleField(RippleField& ripple, ParticleSystem& particles, CellScreen& cellScreen);

// Paints every cell from the particles' current places for `ripplePhase`
// (+1 or -1), the way `path` says; a path this machine lacks falls back to
// the scalar one.
void paintRippleField(const ParticleSystem& particles, std::int32_t ripplePhase, RipplePath path,
                      CellScreen& cellScreen);

// The reference: one sample point at a time, exactly as the field is defined.
void paintRippleFieldScalar(const ParticleSystem& particles, std::int32_t ripplePhase,
                            CellScreen& cellScreen);

// The summed waves at world point (x, y), divided by fieldDivisor.
float rippleScaledSum(const ParticleSystem& particles, float x, float y);

// A sample's bit from its scaled sum s: bands 8 wide, offset by 0.5, lit when
// floor((s + 0.5) / 8) is odd. Only for finite s.
int rippleBandBit(float scaledSum);

// The character for v = 2 x (bit at the first sample) + (bit at the second).
std::uint16_t rippleCharacter(int v, std::int32_t ripplePhase);

// For checking the paths against one another: the scaled sums at the two
// samples of every cell, first sample first, in cell order, as `path`
// computes them.
void rippleScaledSums(const ParticleSystem& particles, std::int32_t ripplePhase, RipplePath path,
                      std::span<float, 2 * cellCount> sums);

// The sines of `radians` as the kernel of `path` computes them, for checking
// that every path's sine is portableSine bit for bit.
void rippleSines(RipplePath path, std::span<const double> radians, std::span<double> sines);

}  // namespace vantrel
