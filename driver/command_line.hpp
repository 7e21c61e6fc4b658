#pragma once
// The demo's command line: no arguments for the show as designed; --music
// FILE to show the bars to one's own music, --seed N to replay the show of
// seed N, --view and --colours to choose how the terminal shows it; --help
// and --version.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/console_options.hpp"

namespace vantrel {

struct CommandLine {
  enum class Action { run, help, version, misuse };
  Action action = Action::run;
  std::string musicFile;              // empty: the built-in track
  std::optional<std::uint32_t> seed;  // none: seeded from the clock
  ConsoleOptions console{};
  std::string problem;  // misuse: what was wrong
};

CommandLine parseCommandLine(std::span<const std::string_view> arguments);

// The usage text, for --help (stdout) and after a misuse (stderr).
std::string_view usageText();

}  // namespace vantrel
