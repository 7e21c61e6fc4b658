// The vector ripple fields must paint exactly the cells of the scalar one.

#include <gtest/gtest.h>

#include <random>

#include "effects/ripple_field.hpp"

namespace vantrel {
namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// Sanitized builds run the scalar field several times slower; a quarter of the
// configurations still covers every kind of placement.
constexpr int configurations = 250;
#else
constexpr int configurations = 1000;
#endif

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

TEST(RippleFieldEquivalence, EveryVectorPathPaintsTheScalarFieldCellForCell) {
  std::vector<RipplePath> paths;
  for (const RipplePath path : {RipplePath::sse2, RipplePath::avx2, RipplePath::avx512}) {
    if (ripplePathSupported(path)) paths.push_back(path);
  }
  if (paths.empty()) GTEST_SKIP() << "this build has only the scalar field";
  std::mt19937_64 generator(2024);
  for (int number = 1; number <= configurations; ++number) {
    const ParticleSystem system = randomConfiguration(generator, number);
    const std::int32_t phase = number % 2 == 0 ? 1 : -1;
    CellScreen expected;
    paintRippleFieldScalar(system, phase, expected);
    for (const RipplePath path : paths) {
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

}  // namespace
}  // namespace vantrel
