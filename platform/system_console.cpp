#include "platform/system_console.hpp"

#include <cstdio>

namespace vantrel {

int reportNoConsole(const SystemConsole& system) {
  std::fprintf(stderr, "vantrel: %s\n", system.problem.c_str());
  return 2;
}

}  // namespace vantrel
