#include "effects/particles.hpp"

#include <algorithm>
#include <cmath>

namespace vantrel {

namespace {

// The generator's two draws: a real in [0, 1), and a whole number from lo to
// hi inclusive, each value equally likely.
double drawUnitReal(std::mt19937& generator) {
  // 53 random bits over 2^53: every double k / 2^53, k < 2^53, equally likely,
  // never 1.
  const std::uint64_t high = generator() >> 5;  // 27 bits
  const std::uint64_t low = generator() >> 6;   // 26 bits
  return static_cast<double>((high << 26) | low) * 0x1p-53;
}

int drawWholeNumber(std::mt19937& generator, int lo, int hi) {
  const double span = static_cast<double>(hi) - static_cast<double>(lo) + 1.0;
  // u < 1 keeps u * span below span, so hi is the largest result.
  return lo + static_cast<int>(std::floor(drawUnitReal(generator) * span));
}

// Arithmetic runs in double and is rounded to single precision exactly where a
// value is stored, so the motion does not depend on how the compiler keeps
// intermediates. Every product below of two floats (or of a float and a mass)
// is exact in double, so contracting a multiply-add into one instruction
// cannot change a result either.
float addProduct(float sum, float factor, float value) {
  return static_cast<float>(static_cast<double>(sum) +
                            static_cast<double>(factor) * static_cast<double>(value));
}

// The pull of `source` on `target` is added to the target's acceleration.
// Its size is |gravity| x mass, whatever the distance.
void addPull(Particle& target, const Particle& source, float gravity) {
  const float dx = target.x - source.x;
  const float dy = target.y - source.y;
  const double distance = std::sqrt(static_cast<double>(dx) * static_cast<double>(dx) +
                                    static_cast<double>(dy) * static_cast<double>(dy));
  // Two particles at the same place have no direction between them; dividing
  // by zero here would turn every position into NaN for good.
  if (distance == 0.0) return;
  const auto factor = static_cast<float>(static_cast<double>(source.mass) *
                                         static_cast<double>(gravity) / distance);
  target.ax = addProduct(target.ax, dx, factor);
  target.ay = addProduct(target.ay, dy, factor);
}

void moveParticle(Particle& particle, float timeStep) {
  particle.vx = addProduct(particle.vx, timeStep, particle.ax);
  particle.vy = addProduct(particle.vy, timeStep, particle.ay);
  particle.x = addProduct(particle.x, timeStep, particle.vx);
  particle.y = addProduct(particle.y, timeStep, particle.vy);
}

// A position u + n: a uniform real plus a whole number from -500 to 500.
float drawCoordinate(std::mt19937& generator) {
  const double fraction = drawUnitReal(generator);
  const int whole = drawWholeNumber(generator, -500, 500);
  return static_cast<float>(fraction + whole);
}

void spawnAtRest(Particle& particle, float x, float y, float mass) {
  particle.x = x;
  particle.y = y;
  particle.mass = mass;
  particle.vx = 0;
  particle.vy = 0;
  particle.pinned = 0;
}

}  // namespace

std::uint32_t particleSeed(double timeOfDay) {
  // Whole milliseconds since midnight: a different start for every millisecond.
  return static_cast<std::uint32_t>(std::llround(timeOfDay * 1000.0));
}

int particlesInUse(const ParticleSystem& system) {
  return std::clamp(static_cast<int>(system.particleCount), 0, ParticleTable::slotCount);
}

void initParticles(ParticleSystem& system, std::uint32_t seed) {
  system.particleTable = ParticleTable{};
  system.generator.seed(seed);
  system.fieldWidth = 80;
  system.fieldHeight = 50;
  system.fieldDivisor = 20;
  system.particleCount = 6;
  system.gravity = -0.007F;
  system.timeStep = 0.0125F;
  spawnParticles(system);
}

void spawnParticles(ParticleSystem& system) {
  std::mt19937& generator = system.generator;
  const int count = particlesInUse(system);
  for (int slot = 1; slot <= count; ++slot) {
    const float x = drawCoordinate(generator);
    const float y = drawCoordinate(generator);
    const auto mass = static_cast<float>(drawWholeNumber(generator, 10, 200));
    spawnAtRest(system.particleTable[slot], x, y, mass);
  }
  if (drawWholeNumber(generator, 1, 4) == 1) {
    const auto x = static_cast<float>(drawUnitReal(generator));
    const auto y = static_cast<float>(drawUnitReal(generator));
    spawnAtRest(system.particleTable[1], x, y, 500);
  }
}

void stepParticles(ParticleSystem& system) {
  ParticleTable& table = system.particleTable;
  const int count = particlesInUse(system);
  for (int i = 1; i <= count; ++i) {
    Particle& particle = table[i];
    if (particle.pinned != 0) continue;
    particle.ax = 0;
    particle.ay = 0;
    // Slots before i have already moved in this step and pull from their new
    // places: the table is updated in place.
    for (int j = 1; j <= count; ++j) {
      if (j != i) addPull(particle, table[j], system.gravity);
    }
    moveParticle(particle, system.timeStep);
  }
}

}  // namespace vantrel
