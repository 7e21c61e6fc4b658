#include "driver/command_line.hpp"

#include <array>
#include <charconv>
#include <type_traits>

namespace vantrel {

namespace {

CommandLine misuse(std::string problem) {
  CommandLine line;
  line.action = CommandLine::Action::misuse;
  line.problem = std::move(problem);
  return line;
}

CommandLine only(CommandLine::Action action) {
  CommandLine line;
  line.action = action;
  return line;
}

// Reads an option's value into `line`; returns what was wrong, or nothing.
using ValueReader = std::string (*)(std::string_view value, CommandLine& line);

std::string readMusic(std::string_view value, CommandLine& line) {
  line.musicFile = value;
  return {};
}

std::string readSeed(std::string_view value, CommandLine& line) {
  std::uint32_t seed = 0;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), seed);
  if (error != std::errc{} || end != value.data() + value.size()) {
    return "--seed must be a whole number from 0 to 4294967295, not '" + std::string(value) + "'";
  }
  line.seed = seed;
  return {};
}

template <typename Choice>
struct NamedChoice {
  std::string_view name;
  Choice choice;
};

// Reads one of an option's named choices into `choice`.
template <typename Choice, std::size_t count>
std::string readChoice(std::string_view option, std::string_view value,
                       const std::array<NamedChoice<std::type_identity_t<Choice>>, count>& names,
                       Choice& choice) {
  for (const auto& named : names) {
    if (value == named.name) {
      choice = named.choice;
      return {};
    }
  }
  std::string named;
  for (std::size_t i = 0; i < count; ++i) {
    named += i == 0 ? "" : i + 1 == count ? " or " : ", ";
    named += names[i].name;
  }
  return std::string(option) + " must be " + named + ", not '" + std::string(value) + "'";
}

std::string readView(std::string_view value, CommandLine& line) {
  return readChoice<ViewChoice, 3>("--view", value,
                                   {{{"exact", ViewChoice::exact},
                                     {"fitted", ViewChoice::fitted},
                                     {"pixels", ViewChoice::pixels}}},
                                   line.console.view);
}

std::string readColours(std::string_view value, CommandLine& line) {
  return readChoice<ColourChoice, 2>(
      "--colours", value,
      {{{"console", ColourChoice::console}, {"terminal", ColourChoice::terminal}}},
      line.console.colours);
}

struct ValueOption {
  std::string_view name;
  ValueReader read;
};

constexpr ValueOption valueOptions[] = {
    {"--music", readMusic},
    {"--seed", readSeed},
    {"--view", readView},
    {"--colours", readColours},
};

}  // namespace

CommandLine parseCommandLine(std::span<const std::string_view> arguments) {
  CommandLine line;
  bool given[std::size(valueOptions)] = {};
  for (std::size_t index = 0; index < arguments.size(); ++index) {
    const std::string_view argument = arguments[index];
    if (argument == "--help" || argument == "-h") return only(CommandLine::Action::help);
    if (argument == "--version") return only(CommandLine::Action::version);
    bool known = false;
    for (std::size_t option = 0; option < std::size(valueOptions) && !known; ++option) {
      const std::string_view name = valueOptions[option].name;
      const bool joined = argument.starts_with(name) && argument.size() > name.size() &&
                          argument[name.size()] == '=';
      if (argument != name && !joined) continue;
      known = true;
      if (given[option]) return misuse(std::string(name) + " given twice");
      given[option] = true;
      std::string_view value;
      if (joined) {
        value = argument.substr(name.size() + 1);
      } else if (index + 1 < arguments.size()) {
        value = arguments[++index];
      }
      if (value.empty()) return misuse(std::string(name) + " needs a value");
      if (std::string problem = valueOptions[option].read(value, line); !problem.empty()) {
        return misuse(std::move(problem));
      }
    }
    if (known) continue;
    if (argument.starts_with("-")) return misuse("unknown option " + std::string(argument));
    return misuse("unexpected argument " + std::string(argument));
  }
  return line;
}

std::string_view usageText() {
  return "usage: vantrel [--music FILE] [--seed N] [--view exact|fitted|pixels] [--colours "
         "console|terminal]\n"
         "A text-mode demo: ripple field, spectrum bars and a big-letter scroller, with music.\n"
         "Esc ends it early.\n"
         "\n"
         "  --music FILE        show the bars to FILE (an MP3 file) instead of the built-in track\n"
         "  --seed N            play the show of seed N (0 to 4294967295) instead of a new one\n"
         "  --view exact        one terminal cell per picture cell (80x50 shows it all)\n"
         "  --view fitted       two picture rows to a terminal row (80x24 shows it all)\n"
         "  --view pixels       the picture's own pixels, where the terminal draws images\n"
         "                      (default: pixels where the terminal draws images and its\n"
         "                      window holds 640x600 pixels, else exact where 80x50 fits,\n"
         "                      else fitted)\n"
         "  --colours console   the console's own colours, in direct RGB\n"
         "  --colours terminal  the 16 colours of the terminal's theme\n"
         "                      (default: the console's, as closely as the terminal draws them)\n"
         "  --help              show this help and exit\n"
         "  --version           show the version and exit\n";
}

}  // namespace vantrel
