#include "particle_trajectory.hpp"

#include <bit>
#include <cinttypes>
#include <cstdio>
#include <sstream>

#include "effects/particles.hpp"

namespace vantrel {

namespace {

// FNV-1a over 32-bit words: every bit of every value counts.
class Checksum {
 public:
  void add(float value) {
    hash_ ^= std::bit_cast<std::uint32_t>(value);
    hash_ *= 0x100000001b3ULL;
  }
  std::uint64_t value() const { return hash_; }

 private:
  std::uint64_t hash_ = 0xcbf29ce484222325ULL;
};

void addState(Checksum& checksum, const ParticleSystem& system) {
  for (int slot = 1; slot <= particlesInUse(system); ++slot) {
    const Particle& p = system.particleTable[slot];
    for (const float value : {p.x, p.y, p.mass, p.ax, p.ay, p.vx, p.vy}) checksum.add(value);
  }
}

bool isCheckpoint(int step) {
  const int frame = step - warmUpSteps;
  return frame == 0 || frame == framesPerRun || (frame > 0 && frame % 500 == 0);
}

}  // namespace

std::vector<TrajectoryCheckpoint> runTrajectory(std::uint32_t seed) {
  ParticleSystem system;
  initParticles(system, seed);
  Checksum checksum;
  std::vector<TrajectoryCheckpoint> checkpoints;
  for (int step = 1; step <= warmUpSteps + framesPerRun; ++step) {
    stepParticles(system);
    addState(checksum, system);
    if (isCheckpoint(step)) checkpoints.push_back({seed, step, checksum.value()});
  }
  return checkpoints;
}

std::string formatCheckpoints(const std::vector<TrajectoryCheckpoint>& checkpoints) {
  std::string text;
  for (const TrajectoryCheckpoint& checkpoint : checkpoints) {
    char line[64];
    std::snprintf(line, sizeof line, "%" PRIu32 " %d %016" PRIx64 "\n", checkpoint.seed,
                  checkpoint.step, checkpoint.checksum);
    text += line;
  }
  return text;
}

std::vector<TrajectoryCheckpoint> parseCheckpoints(const std::string& text) {
  std::vector<TrajectoryCheckpoint> checkpoints;
  std::istringstream lines(text);
  TrajectoryCheckpoint checkpoint;
  while (lines >> checkpoint.seed >> checkpoint.step >> std::hex >> checkpoint.checksum >>
         std::dec) {
    checkpoints.push_back(checkpoint);
  }
  return checkpoints;
}

}  // namespace vantrel
