#include "effects/ripple_field.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <vector>

#include "maths/portable_sine.hpp"

namespace vantrel {
namespace {

// Every way of painting the field this machine can run.
std::vector<RipplePath> supportedPaths() {
  std::vector<RipplePath> paths;
  for (const RipplePath path :
       {RipplePath::scalar, RipplePath::sse2, RipplePath::avx2, RipplePath::avx512}) {
    if (ripplePathSupported(path)) paths.push_back(path);
  }
  return paths;
}

// Six held particles at world (x, y): stepping leaves them there.
ParticleSystem sixHeldAt(float x, float y) {
  ParticleSystem system;
  initParticles(system, 1);
  for (int slot = 1; slot <= 6; ++slot) {
    system.particleTable[slot] = Particle{.x = x, .y = y, .mass = 100, .pinned = 1};
  }
  return system;
}

std::uint16_t characterAt(const CellScreen& screen, int column, int row) {
  return screen[cellIndex(row - 1, column)].character;
}

TEST(RippleBands, AreEightWideOffsetByAHalfAndAlternateBelowZeroToo) {
  EXPECT_EQ(rippleBandBit(-0.5F), 0);
  EXPECT_EQ(rippleBandBit(0.0F), 0);
  EXPECT_EQ(rippleBandBit(std::nextafter(7.5F, 0.0F)), 0);
  EXPECT_EQ(rippleBandBit(7.5F), 1);
  EXPECT_EQ(rippleBandBit(std::nextafter(15.5F, 0.0F)), 1);
  EXPECT_EQ(rippleBandBit(15.5F), 0);
  // Below zero the band number rounds down, not toward zero.
  EXPECT_EQ(rippleBandBit(std::nextafter(-0.5F, -1.0F)), 1);
  EXPECT_EQ(rippleBandBit(-8.5F), 1);
  EXPECT_EQ(rippleBandBit(std::nextafter(-8.5F, -9.0F)), 0);
  EXPECT_EQ(rippleBandBit(-16.5F), 0);
  EXPECT_EQ(rippleBandBit(std::nextafter(-16.5F, -17.0F)), 1);
}

TEST(RippleField, SixParticlesAtTheOriginPaintTheirCentreAtColumnAndRowForty) {
  ParticleSystem system = sixHeldAt(0, 0);
  EXPECT_EQ(rippleScaledSum(system, 0, 0), 0.0F);
  EXPECT_NEAR(rippleScaledSum(system, 0.5F, 0), -1.649F, 0.001F);
  EXPECT_NEAR(rippleScaledSum(system, 0, 0.5F), -1.649F, 0.001F);
  for (const RipplePath path : supportedPaths()) {
    SCOPED_TRACE(ripplePathName(path));
    RippleField ripple{.path = path};
    CellScreen screen;
    drawRippleField(ripple, system, screen);  // first frame: top/bottom split
    ASSERT_EQ(ripple.ripplePhase, -1);
    EXPECT_EQ(characterAt(screen, 40, 40), 220);
    EXPECT_EQ(characterAt(screen, 41, 40), 219);
    EXPECT_EQ(characterAt(screen, 45, 40), 0);
    EXPECT_EQ(characterAt(screen, 80, 50), 0);
    drawRippleField(ripple, system, screen);  // second frame: left/right split
    ASSERT_EQ(ripple.ripplePhase, 1);
    EXPECT_EQ(characterAt(screen, 40, 40), 222);
    EXPECT_EQ(characterAt(screen, 41, 40), 219);
    EXPECT_EQ(characterAt(screen, 45, 40), 0);
    EXPECT_EQ(characterAt(screen, 80, 50), 0);
  }
}

TEST(RippleField, AlternatesTheSplitFromTopBottomAndPaintsEveryCellDarkGrey) {
  ParticleSystem system;
  initParticles(system, 424242);
  RippleField ripple;
  CellScreen screen;
  const std::set<std::uint16_t> topBottom{0, 219, 220, 223};
  const std::set<std::uint16_t> leftRight{0, 219, 221, 222};
  for (int frame = 1; frame <= 4; ++frame) {
    drawRippleField(ripple, system, screen);
    EXPECT_EQ(ripple.ripplePhase, frame % 2 == 1 ? -1 : 1);
    const auto& allowed = frame % 2 == 1 ? topBottom : leftRight;
    std::set<std::uint16_t> seen;
    for (int index = 1; index <= cellCount; ++index) {
      ASSERT_EQ(screen[index].attribute, 8) << index;
      ASSERT_TRUE(allowed.contains(screen[index].character)) << frame << " " << index;
      seen.insert(screen[index].character);
    }
    EXPECT_EQ(seen, allowed) << "a busy field shows all four shapes";
  }
}

TEST(RippleField, StepsTheParticlesOnceBeforeEachFrame) {
  ParticleSystem drawn;
  initParticles(drawn, 77);
  ParticleSystem stepped = drawn;
  RippleField ripple;
  CellScreen screen;
  drawRippleField(ripple, drawn, screen);
  stepParticles(stepped);
  EXPECT_EQ(drawn.particleTable[4].x, stepped.particleTable[4].x);
  CellScreen expected;
  paintRippleFieldScalar(stepped, -1, expected);
  EXPECT_EQ(screen, expected);
}

TEST(RippleField, CornerCellsSampleTheEdgesOfTheWindow) {
  // Six particles on a sample point leave it dark; half a unit away is lit.
  struct Corner {
    float x;
    float y;
    int column;
    int row;
    std::int32_t phase;
    std::uint16_t character;
  };
  for (const Corner& corner :
       {Corner{-78, -78, 1, 1, 1, 222}, Corner{-78, -78, 1, 1, -1, 220},
        Corner{80, 20, 80, 50, 1, 222}, Corner{80, 20.5F, 80, 50, -1, 223}}) {
    const ParticleSystem system = sixHeldAt(corner.x, corner.y);
    for (const RipplePath path : supportedPaths()) {
      SCOPED_TRACE(ripplePathName(path));
      CellScreen screen;
      paintRippleField(system, corner.phase, path, screen);
      EXPECT_EQ(characterAt(screen, corner.column, corner.row), corner.character)
          << corner.x << ", " << corner.y << " phase " << corner.phase;
    }
  }
}

TEST(RippleField, NonFiniteFieldKeepsCharactersAndSetsDarkGrey) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float infinity = std::numeric_limits<float>::infinity();
  for (const float bad : {nan, infinity}) {
    ParticleSystem system;
    initParticles(system, 5);
    system.particleTable[3].x = bad;
    for (const RipplePath path : supportedPaths()) {
      SCOPED_TRACE(ripplePathName(path));
      CellScreen screen;
      for (int index = 1; index <= cellCount; ++index) screen[index] = Cell{65, 0x1F};
      paintRippleField(system, 1, path, screen);
      for (int index = 1; index <= cellCount; ++index) {
        ASSERT_EQ(screen[index], (Cell{65, 8})) << index;
      }
    }
  }
}

TEST(RippleSine, EveryVectorPathGivesTheReferenceSineBitForBit) {
  std::vector<double> radians;
  std::mt19937_64 generator(11);
  std::uniform_real_distribution<double> exponent(-30.0, 25.0);
  for (int i = 0; i < 200000; ++i) {
    const double sign = (i % 2 == 0) ? -1.0 : 1.0;
    radians.push_back(sign * std::pow(10.0, exponent(generator)));
  }
  for (const double special : {0.0, -0.0, 1e300, -1e300, std::numeric_limits<double>::infinity(),
                               std::numeric_limits<double>::quiet_NaN()}) {
    radians.push_back(special);
  }
  std::vector<double> reference(radians.size());
  rippleSines(RipplePath::scalar, radians, reference);
  EXPECT_EQ(reference[0], portableSine(radians[0]));
  for (const RipplePath path : supportedPaths()) {
    std::vector<double> sines(radians.size());
    rippleSines(path, radians, sines);
    for (std::size_t i = 0; i < radians.size(); ++i) {
      ASSERT_EQ(std::isnan(sines[i]), std::isnan(reference[i])) << radians[i];
      if (!std::isnan(sines[i])) {
        ASSERT_EQ(sines[i], reference[i]) << ripplePathName(path) << " at " << radians[i];
        ASSERT_EQ(std::signbit(sines[i]), std::signbit(reference[i]));
      }
    }
  }
}

}  // namespace
}  // namespace vantrel
