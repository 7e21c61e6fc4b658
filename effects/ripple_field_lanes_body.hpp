#pragma once
// The loops shared by the vector kernels. Each kernel file supplies a Lanes
// type (in an unnamed namespace, so every instantiation stays in its file):
//   width                               sample points per call
//   scaledSums(sources, xs, y, sums)    the scaled sums s at (xs[i], y)
//   bandBits(sources, xs, y, bits)      their band bits, 0 or 1, or -1
//                                       where s is not finite
//   sines(radians, sines)               width sines
// a Quick type for quickBandBits below, on single-precision lanes:
//   Vector, width                       the lanes and their number
//   set, add, sub, mul, sqrt            lane by lane, each correctly rounded
//   load(p)                             width floats
//   flipByParity(v, shifted)            v negated where bit 0 of shifted's
//                                       bit pattern is set
//   storeBandBits(shifted, offEdge, bits)
//                                       bits[i] = (bit 0 of shifted's pattern)
//                                       xor (sign bit of offEdge)
//   unsureLanes(offEdge, margin)        the mask of lanes where
//                                       |offEdge| > margin does not hold
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

// sin(pi r) for |r| <= 1/2: its Taylor polynomial to r^9, within 3.6e-6.
template <class Quick>
typename Quick::Vector sineOfHalfTurns(typename Quick::Vector r) {
  const auto z = Quick::mul(r, r);
  auto p = Quick::set(0.08214588661112819F);
  p = Quick::add(Quick::mul(p, z), Quick::set(-0.5992645293207919F));
  p = Quick::add(Quick::mul(p, z), Quick::set(2.550164039877345F));
  p = Quick::add(Quick::mul(p, z), Quick::set(-5.167712780049969F));
  p = Quick::add(Quick::mul(p, z), Quick::set(3.141592653589793F));
  return Quick::mul(p, r);
}

// The band bits of `width` points (xs[i], y) from a single-precision
// estimate of the field, with the error bound of each lane's estimate.
// Returns the mask of the lanes whose estimate lies too near a band's edge
// for its bit to be certain; their bits must be computed exactly. Needs
// sources.quick.usable.
//
// The field is sum(100 sin(-0.11 d)) / divisor and its band floor(t), with
// t = (field + 1/2) / 8. Here the phase 0.11 d is taken in half-turns h,
// split into the nearest whole number n and the rest r in [-1/2, 1/2], and
// sin(-0.11 d) = -(-1)^n sin(pi r). What this estimate rounds differently
// from the exact field is bounded in sources.quick: the phase is off by at
// most a few units in the last place of h, the polynomial by 3.6e-6, and
// each sum by a few units in the last place of its terms.
template <class Quick>
unsigned quickBandBits(const Sources& sources, const float* xs, float y, std::int32_t* bits) {
  using Vector = typename Quick::Vector;
  const QuickEstimate& quick = sources.quick;
  // Adding 1.5 x 2^23 rounds a float below 2^22 to a whole number, which
  // then stands in the low bits of the sum's bit pattern.
  const Vector toWhole = Quick::set(0x1.8p23F);
  const Vector pointX = Quick::load(xs);
  const Vector pointY = Quick::set(y);
  const Vector amplitude = Quick::set(100.0F);
  Vector sum = Quick::set(0.0F);
  Vector halfTurnsInAll = Quick::set(0.0F);
  for (int k = 0; k < sources.count; ++k) {
    const Vector dx = Quick::sub(pointX, Quick::set(sources.x[k]));
    const Vector dy = Quick::sub(pointY, Quick::set(sources.y[k]));
    const Vector distance = Quick::sqrt(Quick::add(Quick::mul(dx, dx), Quick::mul(dy, dy)));
    const Vector halfTurns = Quick::mul(distance, Quick::set(quick.halfTurnsPerUnit));
    const Vector shifted = Quick::add(halfTurns, toWhole);
    const Vector rest = Quick::sub(halfTurns, Quick::sub(shifted, toWhole));
    const Vector wave = Quick::mul(amplitude, sineOfHalfTurns<Quick>(rest));
    sum = Quick::sub(sum, Quick::flipByParity(wave, shifted));
    halfTurnsInAll = Quick::add(halfTurnsInAll, halfTurns);
  }
  const Vector t = Quick::add(Quick::mul(sum, Quick::set(quick.bandsPerSum)), Quick::set(0.0625F));
  // The band is the nearest whole number to t, less one where t lies below it.
  const Vector shiftedT = Quick::add(t, toWhole);
  const Vector offEdge = Quick::sub(t, Quick::sub(shiftedT, toWhole));
  Quick::storeBandBits(shiftedT, offEdge, bits);
  const Vector margin = Quick::add(Quick::set(quick.baseMargin),
                                   Quick::mul(halfTurnsInAll, Quick::set(quick.marginPerHalfTurn)));
  return Quick::unsureLanes(offEdge, margin);
}

// The band bits of `width` points: the quick estimate's where it is certain,
// the exact kernel's for each group of Lanes::width points where it is not.
template <class Lanes, class Quick>
void bandBitsQuickly(const Sources& sources, const float* xs, float y, std::int32_t* bits) {
  const unsigned unsure = quickBandBits<Quick>(sources, xs, y, bits);
  if (unsure == 0) return;
  constexpr unsigned groupMask = (1U << Lanes::width) - 1U;
  for (int start = 0; start < Quick::width; start += Lanes::width) {
    if (((unsure >> start) & groupMask) != 0) Lanes::bandBits(sources, xs + start, y, bits + start);
  }
}

// The codes of `width` cells from the band bits at their two samples.
template <int width>
void storeCodes(const std::int32_t* first, const std::int32_t* second, std::uint8_t* codes) {
  for (int lane = 0; lane < width; ++lane) {
    const bool finite = first[lane] >= 0 && second[lane] >= 0;
    codes[lane] =
        finite ? static_cast<std::uint8_t>(2 * first[lane] + second[lane]) : keepCharacter;
  }
}

template <class Lanes, class Quick>
void fillCodesWith(const Sources& sources, std::int32_t ripplePhase, std::uint8_t* codes) {
  if (!sources.quick.usable) {
    constexpr int width = Lanes::width;
    forEachCellGroup<width>(ripplePhase, [&](int cell, const float* firstX, const float* secondX,
                                             float y, float secondY) {
      std::int32_t first[static_cast<std::size_t>(width)];
      std::int32_t second[static_cast<std::size_t>(width)];
      Lanes::bandBits(sources, firstX, y, first);
      Lanes::bandBits(sources, secondX, secondY, second);
      storeCodes<width>(first, second, codes + cell);
    });
    return;
  }
  constexpr int width = Quick::width;
  static_assert(width % Lanes::width == 0, "the exact kernel covers the quick one's lanes");
  forEachCellGroup<width>(ripplePhase, [&](int cell, const float* firstX, const float* secondX,
                                           float y, float secondY) {
    std::int32_t first[static_cast<std::size_t>(width)];
    std::int32_t second[static_cast<std::size_t>(width)];
    bandBitsQuickly<Lanes, Quick>(sources, firstX, y, first);
    bandBitsQuickly<Lanes, Quick>(sources, secondX, secondY, second);
    storeCodes<width>(first, second, codes + cell);
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
