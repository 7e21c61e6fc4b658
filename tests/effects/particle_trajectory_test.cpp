// The particle step must give the same bits in every build. These tests compare
// whole runs with trajectories that cannot share a fault of this build: ones
// recorded by a known-right build, and the step compiled without optimisation.

#include "particle_trajectory.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace vantrel {
namespace {

constexpr std::uint32_t firstSeed = 1;
constexpr std::uint32_t lastSeed = 8;

std::vector<TrajectoryCheckpoint> thisBuildsTrajectories() {
  std::vector<TrajectoryCheckpoint> all;
  for (std::uint32_t seed = firstSeed; seed <= lastSeed; ++seed) {
    const std::vector<TrajectoryCheckpoint> run = runTrajectory(seed);
    all.insert(all.end(), run.begin(), run.end());
  }
  return all;
}

// Names the first checkpoint that differs, so a failure says where a run
// left the expected trajectory.
void expectSameTrajectories(const std::vector<TrajectoryCheckpoint>& actual,
                            const std::vector<TrajectoryCheckpoint>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < actual.size(); ++i) {
    ASSERT_EQ(actual[i], expected[i])
        << "seed " << expected[i].seed << ", after step " << expected[i].step << ": this build "
        << formatCheckpoints({actual[i]}) << "expected " << formatCheckpoints({expected[i]});
  }
}

TEST(ParticleTrajectory, WholeRunsFollowTheRecordedTrajectoriesBitForBit) {
  std::ifstream file(VANTREL_RECORDED_TRAJECTORIES);
  ASSERT_TRUE(file) << VANTREL_RECORDED_TRAJECTORIES;
  std::stringstream text;
  text << file.rdbuf();
  const std::vector<TrajectoryCheckpoint> recorded = parseCheckpoints(text.str());
  ASSERT_EQ(recorded.size(), 12U * (lastSeed - firstSeed + 1));
  expectSameTrajectories(thisBuildsTrajectories(), recorded);
}

#ifdef VANTREL_UNOPTIMISED_PARTICLES
TEST(ParticleTrajectory, TheOptimisedStepFollowsTheUnoptimisedOneBitForBit) {
  FILE* reference = popen(VANTREL_UNOPTIMISED_PARTICLES, "r");
  ASSERT_NE(reference, nullptr);
  std::string text;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, reference)) > 0;) {
    text.append(buffer, n);
  }
  ASSERT_EQ(pclose(reference), 0);
  expectSameTrajectories(thisBuildsTrajectories(), parseCheckpoints(text));
}
#endif

}  // namespace
}  // namespace vantrel
