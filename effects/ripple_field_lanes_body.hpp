#pragma once
// The loops shared by the vector kernels. Each kernel file supplies a Lanes
// type (in an unnamed namespace, so every instantiation stays in its file):
//   width                                  sample points per call
//   sampleBits(sources, xs, y, bits)       for the points (xs[i], y): the
//                                          band bit 0 or 1, or -1 where the
//                                          field value is not finite
//   sines(radians, sines)                  width sines

#include <cstddef>
#include <cstdint>

#include "effects/ripple_field_lanes.hpp"

namespace vantrel::ripple_lanes {

template <class Lanes>
void fillCodesWith(const Sources& sources, std::int32_t ripplePhase, std::uint8_t* codes) {
  constexpr int width = Lanes::width;
  constexpr auto arraySize = static_cast<std::size_t>(width);
  static_assert(columns % width == 0, "a row is a whole number of lane groups");
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
      std::int32_t first[arraySize];
      std::int32_t second[arraySize];
      Lanes::sampleBits(sources, firstX, y, first);
      Lanes::sampleBits(sources, secondX, y + stepY, second);
      std::uint8_t* out = codes + (row - 1) * columns + (column - 1);
      for (int lane = 0; lane < width; ++lane) {
        const bool finite = first[lane] >= 0 && second[lane] >= 0;
        out[lane] =
            finite ? static_cast<std::uint8_t>(2 * first[lane] + second[lane]) : keepCharacter;
      }
    }
  }
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
