#pragma once
// The console and clock of the system the demo runs on, and the one way the
// demo's process ends.

#include <memory>
#include <string>

#include "platform/clock.hpp"
#include "platform/console.hpp"
#include "platform/console_options.hpp"

namespace vantrel {

struct SystemConsole {
  std::unique_ptr<Console> console;  // null when there is no usable console
  std::unique_ptr<Clock> clock;
  std::string problem;  // why there is no console
};

SystemConsole openSystemConsole(ConsoleOptions options = {});

// Says on stderr why the demo cannot run; returns the exit status for that (2).
int reportNoConsole(const SystemConsole& system);

// Gives the console back and ends the process at once with `status`.
[[noreturn]] void endProcess(Console& console, int status);

}  // namespace vantrel
