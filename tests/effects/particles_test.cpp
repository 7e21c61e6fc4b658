#include "effects/particles.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>

namespace vantrel {
namespace {

// A started system whose slots in use hold exactly `particles`.
ParticleSystem systemWith(std::initializer_list<Particle> particles) {
  ParticleSystem system;
  initParticles(system, 1);
  system.particleTable = ParticleTable{};
  system.particleCount = static_cast<std::int32_t>(particles.size());
  int slot = 1;
  for (const Particle& particle : particles) system.particleTable[slot++] = particle;
  return system;
}

Particle at(float x, float y, float mass) {
  return Particle{.x = x, .y = y, .mass = mass};
}

TEST(ParticleStep, TwoBodiesPullEachOtherByMassTimesGravityWhateverTheDistance) {
  for (const float apart : {10.0F, 100.0F}) {
    ParticleSystem system = systemWith({at(0, 0, 100), at(apart, 0, 100)});
    stepParticles(system);
    const Particle& first = system.particleTable[1];
    const Particle& second = system.particleTable[2];
    EXPECT_FLOAT_EQ(first.ax, 0.7F);
    EXPECT_EQ(first.ay, 0.0F);
    EXPECT_FLOAT_EQ(first.vx, 0.00875F);
    EXPECT_FLOAT_EQ(first.x, 0.000109375F);
    EXPECT_FLOAT_EQ(second.ax, -0.7F);
    EXPECT_FLOAT_EQ(second.vx, -0.00875F);
    EXPECT_FLOAT_EQ(second.x, apart - 0.000109375F);
    EXPECT_EQ(second.y, 0.0F);
  }
}

TEST(ParticleStep, PullPointsAtTheSourceAndIgnoresThePulledMass) {
  ParticleSystem system = systemWith({at(0, 0, 100), at(3, 4, 50)});
  stepParticles(system);
  const Particle& heavy = system.particleTable[1];
  const Particle& light = system.particleTable[2];
  EXPECT_FLOAT_EQ(heavy.ax, 0.21F);
  EXPECT_FLOAT_EQ(heavy.ay, 0.28F);
  // Slot 2 is pulled from slot 1's new place, a hair off (0, 0).
  EXPECT_NEAR(light.ax, -0.42F, 1e-5);
  EXPECT_NEAR(light.ay, -0.56F, 1e-5);
  EXPECT_FLOAT_EQ(std::hypot(light.ax, light.ay), 0.7F);
}

TEST(ParticleStep, MovesInPlaceSoLaterSlotsFeelEarlierSlotsNewPlaces) {
  ParticleSystem system = systemWith({at(0, 0, 100), at(10, 0, 100), at(0, 10, 100)});
  stepParticles(system);
  const Particle& first = system.particleTable[1];
  ASSERT_FLOAT_EQ(first.x, 0.000109375F);
  ASSERT_FLOAT_EQ(first.y, 0.000109375F);
  // Slot 2's vertical pull: from slot 1 where it is now, plus from slot 3.
  const double fromFirst = 0.7 * first.y / std::hypot(10.0 - first.x, first.y);
  const double fromThird = 0.7 / std::sqrt(2.0);
  EXPECT_NEAR(system.particleTable[2].ay, fromFirst + fromThird, 1e-6);
  EXPECT_GT(fromFirst, 5e-6);  // large enough for the check above to tell the two apart
}

TEST(ParticleStep, ALoneParticleFeelsNoPullAndKeepsItsVelocity) {
  Particle lone = at(5, -3, 50);
  lone.ax = 9;
  lone.vx = 2;
  lone.vy = -1;
  ParticleSystem system = systemWith({lone});
  stepParticles(system);
  const Particle& moved = system.particleTable[1];
  EXPECT_EQ(moved.ax, 0.0F);
  EXPECT_EQ(moved.ay, 0.0F);
  EXPECT_EQ(moved.vx, 2.0F);
  EXPECT_FLOAT_EQ(moved.x, 5.025F);
  EXPECT_FLOAT_EQ(moved.y, -3.0125F);

  ParticleSystem empty = systemWith({});
  empty.particleTable[1] = lone;  // beyond the count: never touched
  stepParticles(empty);
  EXPECT_EQ(empty.particleTable[1].x, 5.0F);
}

TEST(ParticleStep, AHeldParticleStaysPutButStillPulls) {
  Particle held = at(0, 0, 100);
  held.pinned = 1;
  held.ax = 0.5F;
  held.vx = 3;
  ParticleSystem system = systemWith({held, at(10, 0, 100)});
  for (int step = 0; step < 50; ++step) stepParticles(system);
  const Particle& still = system.particleTable[1];
  EXPECT_EQ(still.x, 0.0F);
  EXPECT_EQ(still.ax, 0.5F);
  EXPECT_EQ(still.vx, 3.0F);
  EXPECT_FLOAT_EQ(system.particleTable[2].ax, -0.7F);
  EXPECT_LT(system.particleTable[2].x, 10.0F);
}

TEST(ParticleStep, ParticlesAtTheSamePlaceSkipEachOtherInsteadOfTurningIntoNaN) {
  ParticleSystem system = systemWith({at(1, 1, 100), at(1, 1, 100), at(11, 1, 100)});
  for (int step = 0; step < 10; ++step) stepParticles(system);
  for (int slot = 1; slot <= 3; ++slot) {
    EXPECT_TRUE(std::isfinite(system.particleTable[slot].x)) << slot;
    EXPECT_TRUE(std::isfinite(system.particleTable[slot].vy)) << slot;
  }
  // After the first step only the third particle has pulled slot 1.
  ParticleSystem once = systemWith({at(1, 1, 100), at(1, 1, 100), at(11, 1, 100)});
  stepParticles(once);
  EXPECT_FLOAT_EQ(once.particleTable[1].ax, 0.7F);
}

TEST(ParticleSpawn, SetsTheParametersAndClearsTheTable) {
  ParticleSystem system;
  system.particleTable[12].x = 7;
  initParticles(system, 99);
  EXPECT_EQ(system.particleCount, 6);
  EXPECT_EQ(system.gravity, -0.007F);
  EXPECT_EQ(system.timeStep, 0.0125F);
  EXPECT_EQ(system.fieldWidth, 80);
  EXPECT_EQ(system.fieldHeight, 50);
  EXPECT_EQ(system.fieldDivisor, 20);
  EXPECT_EQ(static_cast<double>(system.gravity), -0.007000000216066837);
  for (int slot = 7; slot <= ParticleTable::slotCount; ++slot) {
    EXPECT_EQ(system.particleTable[slot].x, 0.0F) << slot;
    EXPECT_EQ(system.particleTable[slot].mass, 0.0F) << slot;
  }
}

TEST(ParticleSpawn, StartsAtRestInRangeWithAHeavyBodyInOneStartOfFour) {
  constexpr int starts = 4000;
  int heavyStarts = 0;
  bool lightestSeen = false;
  bool heaviestSeen = false;
  for (std::uint32_t seed = 1; seed <= starts; ++seed) {
    ParticleSystem system;
    initParticles(system, seed);
    const bool heavy = system.particleTable[1].mass == 500.0F;
    heavyStarts += heavy ? 1 : 0;
    for (int slot = 1; slot <= 6; ++slot) {
      const Particle& p = system.particleTable[slot];
      ASSERT_EQ(p.vx, 0.0F);
      ASSERT_EQ(p.vy, 0.0F);
      ASSERT_EQ(p.pinned, 0);
      if (slot == 1 && heavy) {
        ASSERT_TRUE(p.x >= 0.0F && p.x < 1.0F) << p.x;
        ASSERT_TRUE(p.y >= 0.0F && p.y < 1.0F) << p.y;
        continue;
      }
      ASSERT_TRUE(p.x >= -500.0F && p.x < 501.0F) << p.x;
      ASSERT_TRUE(p.y >= -500.0F && p.y < 501.0F) << p.y;
      ASSERT_EQ(p.mass, std::floor(p.mass));
      ASSERT_TRUE(p.mass >= 10.0F && p.mass <= 200.0F) << p.mass;
      lightestSeen = lightestSeen || p.mass == 10.0F;
      heaviestSeen = heaviestSeen || p.mass == 200.0F;
    }
  }
  EXPECT_TRUE(lightestSeen);
  EXPECT_TRUE(heaviestSeen);
  // Binomial(4000, 1/4): mean 1000, standard deviation about 27.
  EXPECT_NEAR(heavyStarts, starts / 4, 120);
}

TEST(ParticleSpawn, SameSeedSameStartAndEveryMillisecondAnotherSeed) {
  ParticleSystem first;
  ParticleSystem second;
  initParticles(first, particleSeed(45296.789));
  initParticles(second, particleSeed(45296.789));
  EXPECT_EQ(first.particleTable[3].x, second.particleTable[3].x);
  EXPECT_EQ(particleSeed(45296.789), 45296789U);
  EXPECT_NE(particleSeed(0.001), particleSeed(0.002));
  ParticleSystem third;
  initParticles(third, particleSeed(45296.790));
  EXPECT_NE(first.particleTable[3].x, third.particleTable[3].x);
}

}  // namespace
}  // namespace vantrel
