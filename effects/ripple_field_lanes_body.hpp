#pragma once
// The loops shared by the vector kernels. Each kernel file supplies a Lanes
// type (in an unnamed namespace, so every instantiation stays in its file):
//   width                               sample points per call
//   scaledSums(sources, xs, y, sums)    the scaled sums s at (xs[i], y)
//   bandBits(sources, xs, y, bits)      their band bits, 0 or 1, or -1
//                                       where s is not finite
//   sines(radians, sines)               width sines
// and a SineOps type for sineLanes below (see maths/portable_sine_lanes.hpp),
// with in addition:
//   width                               lanes per vector
//   allWithin(v, limit)                 whether |v| <= limit in every lane
//   load(p), store(p, v)                width doubles

#include <cstddef>
#include <cstdint>

#include "effects/ripple_field_lanes.hpp"
#include "maths/portable_sine.hpp"
#include "maths/portable_sine_lanes.hpp"

namespace vantrel::ripple_lanes {

// The portable sine of every lane. Lanes too large for the quick reduction
// (or not finite) are rare; the scalar function gives them the same bits.
template <class SineOps>
typename SineOps::Vector sineLanes(typename SineOps::Vector radians) {
  if (SineOps::allWithin(radians, portable_sine::reductionLimit)) {
    return portable_sine::sineOfReduced<SineOps>(radians);
  }
  double lanes[static_cast<std::size_t>(SineOps::width)];
  SineOps::store(lanes, radians);
  for (double& lane : lanes) lane = portableSine(lane);
  return SineOps::load(lanes);
}

// Calls visit(cell, firstX, secondX, y, secondY) for each group of `width`
// cells along a row; cell counts from 0, the two samples of a cell lie at
// (firstX[i], y) and (secondX[i], secondY).
template <int width, class Visit>
void forEachCellGroup(std::int32_t ripplePhase, Visit visit) {
  static_assert(columns % width == 0, "a row is a whole number of lane groups");
  constexpr auto arraySize = static_cast<std::size_t>(width);
  // The second sample lies a quarter cell right (+1) or down (-1) of the first.
  const float stepX = ripplePhase > 0 ? 0.5F : 0.0F;
  const float stepY = ripplePhase > 0 ? 0.0F : 0.5F;
  for (int row = 1; row <= rows; ++row) {
    const auto y = static_cast<float>(2 * (row - originCell));
    for (int column = 1; column <= columns; column += width) {
      float firstX[arraySize];
      float secondX[arraySize];
      for (int lane = 0; lane < width; ++lane) {
        firstX[lane] = static_cast<float>(2 * (column + lane - originCell));
        secondX[lane] = firstX[lane] + stepX;
      }
      visit((row - 1) * columns + (column - 1), firstX, secondX, y, y + stepY);
    }
  }
}

template <class Lanes>
void fillCodesWith(const Sources& sources, std::int32_t ripplePhase, std::uint8_t* codes) {
  constexpr int width = Lanes::width;
  forEachCellGroup<width>(ripplePhase, [&](int cell, const float* firstX, const float* secondX,
                                           float y, float secondY) {
    std::int32_t first[static_cast<std::size_t>(width)];
    std::int32_t second[static_cast<std::size_t>(width)];
    Lanes::bandBits(sources, firstX, y, first);
    Lanes::bandBits(sources, secondX, secondY, second);
    for (int lane = 0; lane < width; ++lane) {
      const bool finite = first[lane] >= 0 && second[lane] >= 0;
      codes[cell + lane] =
          finite ? static_cast<std::uint8_t>(2 * first[lane] + second[lane]) : keepCharacter;
    }
  });
}

template <class Lanes>
void scaledSumsWith(const Sources& sources, std::int32_t ripplePhase, float* sums) {
  constexpr int width = Lanes::width;
  forEachCellGroup<width>(ripplePhase, [&](int cell, const float* firstX, const float* secondX,
                                           float y, float secondY) {
    float first[static_cast<std::size_t>(width)];
    float second[static_cast<std::size_t>(width)];
    Lanes::scaledSums(sources, firstX, y, first);
    Lanes::scaledSums(sources, secondX, secondY, second);
    for (int lane = 0; lane < width; ++lane) {
      sums[2 * (cell + lane)] = first[lane];
      sums[2 * (cell + lane) + 1] = second[lane];
    }
  });
}

template <class Lanes>
void sinesWith(const double* radians, double* sines, int count) {
  constexpr int width = Lanes::width;
  constexpr auto arraySize = static_cast<std::size_t>(width);
  for (int start = 0; start < count; start += width) {
    double in[arraySize] = {};
    double out[arraySize];
    const int n = count - start < width ? count - start : width;
    for (int i = 0; i < n; ++i) in[i] = radians[start + i];
    Lanes::sines(in, out);
    for (int i = 0; i < n; ++i) sines[start + i] = out[i];
  }
}

}  // namespace vantrel::ripple_lanes
