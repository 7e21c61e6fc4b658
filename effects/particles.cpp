#include "effects/particles.hpp"

namespace vantrel {

std::uint32_t particleSeed(double timeOfDay) {
  return static_cast<std::uint32_t>(timeOfDay * 1000.0);
}

void initParticles(ParticleSystem& system, std::uint32_t seed) {
  system = ParticleSystem{};
  system.generator.seed(seed);
}
void spawnParticles(ParticleSystem&) {}
void stepParticles(ParticleSystem&) {}

}  // namespace vantrel
