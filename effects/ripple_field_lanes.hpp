#pragma once
// The ripple field's vector kernels, one per instruction set, each in a file
// of its own compiled for that instruction set. Only ripple_field.cpp calls
// them, and only after checking that the processor has the instructions.
//
// Keep this header (and ripple_field_lanes_body.hpp) free of non-template
// inline functions and of library templates: a copy compiled for a wider
// instruction set could be the one the linker keeps for the whole program.

#include <cstdint>

namespace vantrel::ripple_lanes {

// The field is painted on the full 80 x 50 screen, the world's origin at
// column 40, row 40.
inline constexpr int columns = 80;
inline constexpr int rows = 50;
inline constexpr int originCell = 40;

// The code of a cell whose field value is not finite at one of its samples:
// its character stays as it was.
inline constexpr std::uint8_t keepCharacter = 4;

// What the kernels need to settle most band bits from a single-precision
// estimate of the field (see quickBandBits in ripple_field_lanes_body.hpp).
// An estimate's band bit is taken only where the estimate lies farther from
// a band's edge than its error bound; every other sample is computed exactly.
struct QuickEstimate {
  bool usable = false;          // the particles' places and the divisor allow it
  float halfTurnsPerUnit = 0;   // 0.11 / pi: the wave's phase in half-turns per unit
  float bandsPerSum = 0;        // 1 / (8 x divisor): the summed waves in bands
  float baseMargin = 0;         // the estimate's error bound, in bands,
  float marginPerHalfTurn = 0;  // plus this much for each half-turn of phase
};

struct Sources {
  const float* x = nullptr;  // positions of the particles in use
  const float* y = nullptr;
  std::int32_t count = 0;
  double divisor = 1;  // fieldDivisor
  QuickEstimate quick;
};

// Each fills codes[0 .. 3999], one per cell in cell order, with
// v = 2 x (bit at the first sample) + (bit at the second), or keepCharacter:
// exactly the scalar field's codes, by the quick estimate where it allows.
void fillCodesSse2(const Sources& sources, std::int32_t ripplePhase, std::uint8_t* codes);
void fillCodesAvx2(const Sources& sources, std::int32_t ripplePhase, std::uint8_t* codes);
void fillCodesAvx512(const Sources& sources, std::int32_t ripplePhase, std::uint8_t* codes);

// For checking the kernels against the scalar field: each fills
// sums[0 .. 7999] with the scaled sums s at the two samples of every cell,
// first sample first, in cell order.
void scaledSumsSse2(const Sources& sources, std::int32_t ripplePhase, float* sums);
void scaledSumsAvx2(const Sources& sources, std::int32_t ripplePhase, float* sums);
void scaledSumsAvx512(const Sources& sources, std::int32_t ripplePhase, float* sums);

// The kernels' sine, for checking it against the scalar one.
void sinesSse2(const double* radians, double* sines, int count);
void sinesAvx2(const double* radians, double* sines, int count);
void sinesAvx512(const double* radians, double* sines, int count);

// A kernel's three entry points, as above.
struct Kernel {
  void (*fillCodes)(const Sources& sources, std::int32_t ripplePhase, std::uint8_t* codes);
  void (*scaledSums)(const Sources& sources, std::int32_t ripplePhase, float* sums);
  void (*sines)(const double* radians, double* sines, int count);
};

// The browser build's kernel for WebAssembly SIMD128, or null in the build
// for browsers without it (each build links one of the two definitions).
const Kernel* simd128Kernel();

}  // namespace vantrel::ripple_lanes
