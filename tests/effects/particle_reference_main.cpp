// Prints the whole-run trajectory checkpoints of the given seeds (default
// 1 to 8), one "seed step checksum" line each. The tests build this program
// from the particle step's own source without optimisation, so an optimiser
// that changes the arithmetic of the library's build shows up as a
// difference. Its output for seeds 1 to 8 is also the recorded trajectory
// file, made by a build whose step is known to be right.

#include <cstdio>
#include <cstdlib>

#include "particle_trajectory.hpp"

int main(int argc, char** argv) {
  std::uint32_t first = 1;
  std::uint32_t last = 8;
  if (argc == 3) {
    first = static_cast<std::uint32_t>(std::strtoul(argv[1], nullptr, 10));
    last = static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 10));
  }
  for (std::uint32_t seed = first; seed <= last; ++seed) {
    std::fputs(vantrel::formatCheckpoints(vantrel::runTrajectory(seed)).c_str(), stdout);
  }
  return 0;
}
