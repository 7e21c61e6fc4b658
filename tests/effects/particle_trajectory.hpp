#pragma once
// Whole-run particle trajectories boiled down to checksums, for comparing
// builds bit for bit: the step as the optimised library computes it, the step
// compiled without optimisation, and trajectories recorded by a known-right
// build.

#include <cstdint>
#include <string>
#include <vector>

namespace vantrel {

// A demo's run: the start-up's warm-up steps, then one step per frame up to
// the frame in which the message runs out.
inline constexpr int warmUpSteps = 1000;
inline constexpr int framesPerRun = 5296;

struct TrajectoryCheckpoint {
  std::uint32_t seed = 0;
  int step = 0;                // steps taken since the particles were spawned
  std::uint64_t checksum = 0;  // of every particle's state after every step so far
  bool operator==(const TrajectoryCheckpoint&) const = default;
};

// Steps a fresh system started from `seed` through a whole run, folding the
// bits of every particle's state after every step into a running checksum,
// and records it after the warm-up, every 500 frames and at the end.
std::vector<TrajectoryCheckpoint> runTrajectory(std::uint32_t seed);

// One checkpoint per line: "seed step checksum" (the checksum in hexadecimal).
std::string formatCheckpoints(const std::vector<TrajectoryCheckpoint>& checkpoints);
std::vector<TrajectoryCheckpoint> parseCheckpoints(const std::string& text);

}  // namespace vantrel
