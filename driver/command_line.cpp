#include "driver/command_line.hpp"

namespace vantrel {

namespace {

CommandLine misuse(std::string problem) {
  return {CommandLine::Action::misuse, {}, std::move(problem)};
}

}  // namespace

CommandLine parseCommandLine(std::span<const std::string_view> arguments) {
  CommandLine line;
  for (std::size_t index = 0; index < arguments.size(); ++index) {
    const std::string_view argument = arguments[index];
    if (argument == "--help" || argument == "-h") return {CommandLine::Action::help, {}, {}};
    if (argument == "--version") return {CommandLine::Action::version, {}, {}};
    if (argument == "--music" || argument.starts_with("--music=")) {
      if (!line.musicFile.empty()) return misuse("--music given twice");
      std::string_view file;
      if (argument != "--music") {
        file = argument.substr(std::string_view("--music=").size());
      } else if (index + 1 < arguments.size()) {
        file = arguments[++index];
      }
      if (file.empty()) return misuse("--music needs a file");
      line.musicFile = file;
      continue;
    }
    if (argument.starts_with("-")) return misuse("unknown option " + std::string(argument));
    return misuse("unexpected argument " + std::string(argument));
  }
  return line;
}

std::string_view usageText() {
  return "usage: vantrel [--music FILE]\n"
         "A text-mode demo: ripple field, spectrum bars and a big-letter scroller, with music.\n"
         "Esc ends it early.\n"
         "\n"
         "  --music FILE  show the bars to FILE (an MP3 file) instead of the built-in track\n"
         "  --help        show this help and exit\n"
         "  --version     show the version and exit\n";
}

}  // namespace vantrel
