#pragma once
// Six point masses that pull on one another; the ripple field is drawn
// around them.

#include <array>
#include <cstddef>
#include <cstdint>
#include <random>

namespace vantrel {

struct Particle {
  float x = 0;
  float y = 0;
  float mass = 0;
  float ax = 0;
  float ay = 0;
  float vx = 0;
  float vy = 0;
  std::int32_t pinned = 0;  // non-zero: the step leaves this particle where it is
};

// 30 particle slots, indexed 1..30.
class ParticleTable {
 public:
  static constexpr int slotCount = 30;
  Particle& operator[](int slot) { return slots_[static_cast<std::size_t>(slot - 1)]; }
  const Particle& operator[](int slot) const { return slots_[static_cast<std::size_t>(slot - 1)]; }

 private:
  std::array<Particle, slotCount> slots_{};
};

struct ParticleSystem {
  ParticleTable particleTable;
  std::int32_t particleCount = 0;
  float gravity = 0;
  float timeStep = 0;
  std::int32_t fieldWidth = 0;
  std::int32_t fieldHeight = 0;
  std::int32_t fieldDivisor = 0;
  std::mt19937 generator;
};

// The generator's seed for a start at `timeOfDay` seconds past midnight.
std::uint32_t particleSeed(double timeOfDay);

// The slots in use: particleCount, kept within the table.
int particlesInUse(const ParticleSystem& system);

// Clears the table, sets the parameters and spawns the particles, seeding the
// generator with `seed`.
void initParticles(ParticleSystem& system, std::uint32_t seed);
// Gives every particle in use a random place and mass, at rest; one start in
// four puts a heavy body near the origin in slot 1.
void spawnParticles(ParticleSystem& system);
// Moves every free particle one time step, in place and in slot order.
void stepParticles(ParticleSystem& system);

}  // namespace vantrel
