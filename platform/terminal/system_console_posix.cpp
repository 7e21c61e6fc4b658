#include <unistd.h>

#include <cstdlib>

#include "platform/system_console.hpp"
#include "platform/terminal/terminal_console.hpp"

namespace vantrel {

SystemConsole openSystemConsole(ConsoleOptions options) {
  SystemConsole system;
  if (isatty(STDIN_FILENO) == 0 || isatty(STDOUT_FILENO) == 0) {
    system.problem = "standard input and output must be a terminal";
    return system;
  }
  system.console = std::make_unique<TerminalConsole>(STDIN_FILENO, STDOUT_FILENO, options,
                                                     environmentOfProcess());
  system.clock = std::make_unique<LocalClock>();
  return system;
}

void endProcess(Console& console, int status) {
  console.restore();
  std::_Exit(status);
}

}  // namespace vantrel
