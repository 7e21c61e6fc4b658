#pragma once
// The demo's command line: no arguments for the show as designed, or
// --music FILE to show the bars to one's own music; --help and --version.

#include <span>
#include <string>
#include <string_view>

namespace vantrel {

struct CommandLine {
  enum class Action { run, help, version, misuse };
  Action action = Action::run;
  std::string musicFile;  // empty: the built-in track
  std::string problem;    // misuse: what was wrong
};

CommandLine parseCommandLine(std::span<const std::string_view> arguments);

// The usage text, for --help (stdout) and after a misuse (stderr).
std::string_view usageText();

}  // namespace vantrel
