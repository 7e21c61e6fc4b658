// The vector ripple fields must paint exactly the cells of the scalar one.

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <utility>
#include <vector>

#include "effects/ripple_field.hpp"

namespace vantrel {
namespace {

// A few seconds even under the sanitizers: the sines run in the uninstrumented
// maths library.
constexpr int configurations = 1000;

// Particles inside the window, near it, far beyond it, and very far away
// (where the sine's argument needs its long range reduction), sometimes
// stacked on one another, with counts from 1 to 8.
ParticleSystem randomConfiguration(std::mt19937_64& generator, int number) {
  ParticleSystem system;
  initParticles(system, static_cast<std::uint32_t>(number));
  std::uniform_real_distribution<float> window(-80.0F, 81.0F);
  std::uniform_real_distribution<float> near(-400.0F, 400.0F);
  std::uniform_real_distribution<float> far(-1e6F, 1e6F);
  std::uniform_real_distribution<float> exponent(6.0F, 30.0F);
  std::uniform_int_distribution<int> kind(0, 9);
  system.particleCount = number % 10 == 0 ? 1 + number % 8 : 6;
  // Now and then a divisor other than the demo's 20, down to none and below.
  constexpr std::array<std::int32_t, 5> divisors = {1, 3, 0, -20, 1000};
  if (number % 7 == 0) system.fieldDivisor = divisors[static_cast<std::size_t>(number / 7 % 5)];
  for (int slot = 1; slot <= system.particleCount; ++slot) {
    Particle& particle = system.particleTable[slot];
    switch (kind(generator)) {
      case 0:
      case 1:
      case 2:
      case 3:
        particle.x = window(generator);
        particle.y = window(generator);
        break;
      case 4:
      case 5:
        particle.x = near(generator);
        particle.y = near(generator);
        break;
      case 6:
      case 7:
        particle.x = far(generator);
        particle.y = far(generator);
        break;
      case 8:
        particle.x = std::pow(10.0F, exponent(generator)) * (slot % 2 == 0 ? 1.0F : -1.0F);
        particle.y = far(generator);
        break;
      default:
        particle = system.particleTable[slot > 1 ? slot - 1 : 1];
        break;
    }
  }
  return system;
}

std::vector<RipplePath> vectorPaths() {
  std::vector<RipplePath> paths;
  for (const RipplePath path : {RipplePath::sse2, RipplePath::avx2, RipplePath::avx512}) {
    if (ripplePathSupported(path)) paths.push_back(path);
  }
  return paths;
}

using SampleSums = std::array<float, 2 * cellCount>;

// The first sample whose scaled sum differs in any bit, or -1.
int firstDifferentSum(const SampleSums& painted, const SampleSums& expected) {
  for (std::size_t i = 0; i < painted.size(); ++i) {
    if (std::bit_cast<std::uint32_t>(painted[i]) != std::bit_cast<std::uint32_t>(expected[i])) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

TEST(RippleFieldEquivalence, EveryVectorPathGivesTheScalarSumsAndCellsBitForBit) {
  const std::vector<RipplePath> paths = vectorPaths();
  if (paths.empty()) GTEST_SKIP() << "this build has only the scalar field";
  std::mt19937_64 generator(2024);
  for (int number = 1; number <= configurations; ++number) {
    const ParticleSystem system = randomConfiguration(generator, number);
    const std::int32_t phase = number % 2 == 0 ? 1 : -1;
    CellScreen expected;
    paintRippleFieldScalar(system, phase, expected);
    // The sums too, bit for bit: a rounding slip shows in them long before it
    // happens to move a sample across a band edge.
    SampleSums expectedSums;
    rippleScaledSums(system, phase, RipplePath::scalar, expectedSums);
    for (const RipplePath path : paths) {
      SampleSums sums;
      rippleScaledSums(system, phase, path, sums);
      const int sample = firstDifferentSum(sums, expectedSums);
      ASSERT_EQ(sample, -1) << ripplePathName(path) << ", configuration " << number << ": "
                            << sums[static_cast<std::size_t>(sample)] << " instead of "
                            << expectedSums[static_cast<std::size_t>(sample)];

      CellScreen painted;
      paintRippleField(system, phase, path, painted);
      if (painted == expected) continue;
      for (int index = 1; index <= cellCount; ++index) {
        ASSERT_EQ(painted[index], expected[index])
            << ripplePathName(path) << ", configuration " << number << ", cell " << index;
      }
    }
  }
}

// Six particles stacked at (x, y0): the field at (x0, y0) is about
// 30 sin(-0.11 |x - x0|).
ParticleSystem stackedAt(float x, float y0) {
  ParticleSystem system;
  initParticles(system, 1);
  system.particleCount = 6;
  for (int slot = 1; slot <= 6; ++slot) system.particleTable[slot] = Particle{x, y0};
  return system;
}

// Pairs of neighbouring particle places, one float apart, between which the
// exact field at (x0, y0) crosses a band's edge: there the field lies within
// a unit in its last place of the edge, far closer than any estimate of it.
std::vector<std::pair<float, float>> placesAcrossBandEdges(float x0, float y0) {
  std::vector<std::pair<float, float>> pairs;
  for (int band = -3; band <= 3; ++band) {
    const double edgeSine = (8.0 * band - 0.5) / 30.0;
    for (int turn = 0; turn < 4; ++turn) {
      for (const double phase : {std::asin(-edgeSine), std::numbers::pi - std::asin(-edgeSine)}) {
        const float guess = x0 + static_cast<float>((phase + 2 * std::numbers::pi * turn) / 0.11);
        float place = guess;
        for (int step = 0; step < 200; ++step) place = std::nextafter(place, -1e9F);
        for (int step = 0; step < 400; ++step, place = std::nextafter(place, 1e9F)) {
          const float next = std::nextafter(place, 1e9F);
          if (rippleBandBit(rippleScaledSum(stackedAt(place, y0), x0, y0)) !=
              rippleBandBit(rippleScaledSum(stackedAt(next, y0), x0, y0))) {
            pairs.emplace_back(place, next);
            break;
          }
        }
      }
    }
  }
  return pairs;
}

TEST(RippleFieldEquivalence, EveryVectorPathPaintsSamplesOnABandsEdgeAsTheScalarOneDoes) {
  const std::vector<RipplePath> paths = vectorPaths();
  if (paths.empty()) GTEST_SKIP() << "this build has only the scalar field";
  // The first sample of the cell in row 20, column 30.
  const float x0 = 2.0F * (30 - 40);
  const float y0 = 2.0F * (20 - 40);
  const auto pairs = placesAcrossBandEdges(x0, y0);
  ASSERT_GE(pairs.size(), 40U);
  for (const auto& [below, above] : pairs) {
    for (const float place : {below, above}) {
      const ParticleSystem system = stackedAt(place, y0);
      CellScreen expected;
      paintRippleFieldScalar(system, 1, expected);
      for (const RipplePath path : paths) {
        CellScreen painted;
        paintRippleField(system, 1, path, painted);
        ASSERT_EQ(painted[cellIndex(19, 30)], expected[cellIndex(19, 30)])
            << ripplePathName(path) << ", particles at x = " << place;
        ASSERT_TRUE(painted == expected) << ripplePathName(path) << ", particles at x = " << place;
      }
    }
  }
}

}  // namespace
}  // namespace vantrel
