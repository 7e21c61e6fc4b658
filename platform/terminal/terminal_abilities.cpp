#include "platform/terminal/terminal_abilities.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdlib>

namespace vantrel {

namespace {

std::string lowerCase(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char byte) { return static_cast<char>(std::tolower(byte)); });
  return lower;
}

std::string variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// Terminals whose XTVERSION answer names them, that draw SGR 38;2 and 48;2
// as the RGB asked for whatever TERM and COLORTERM say. `name` is the answer's
// first word, before a space or a parenthesis; `firstVersion` the first
// version number (in the parentheses) that draws it, 0 for every one.
struct DirectColourTerminal {
  std::string_view name;
  int firstVersion;
};
constexpr std::array directColourTerminals = {
    // xterm added direct colour in patch 331 (2018); Debian builds it in.
    // Started as Debian starts it, it says TERM=xterm and no COLORTERM.
    DirectColourTerminal{"XTerm", 331},
    // kitty, WezTerm and foot have drawn direct colour since their first
    // releases, before they answered XTVERSION.
    DirectColourTerminal{"kitty", 0},
    DirectColourTerminal{"WezTerm", 0},
    DirectColourTerminal{"foot", 0},
    // Konsole has drawn direct colour since KDE 4.
    DirectColourTerminal{"Konsole", 0},
    // VTE (GNOME Terminal, xfce4-terminal, Tilix) since 0.36, long before
    // it answered XTVERSION (0.76).
    DirectColourTerminal{"VTE", 0},
};

// The version number in parentheses after the name: XTerm(379); -1 when
// there is none.
int versionNumber(std::string_view rest) {
  if (!rest.starts_with('(')) return -1;
  rest.remove_prefix(1);
  int value = -1;
  const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), value);
  if (error != std::errc() || end == rest.data() + rest.size() || *end != ')') return -1;
  return value;
}

}  // namespace

TerminalEnvironment environmentOfProcess() {
  TerminalEnvironment environment{variable("TERM"), variable("COLORTERM"), {}};
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    environment.locale = variable(name);
    if (!environment.locale.empty()) break;
  }
  return environment;
}

ColourMode coloursTerminalDraws(const TerminalEnvironment& environment,
                                const TerminalAnswers& answers) {
  const std::string colorterm = lowerCase(environment.colorterm);
  if (colorterm == "truecolor" || colorterm == "24bit" || environment.term.ends_with("-direct") ||
      answersShowDirectColour(answers)) {
    return ColourMode::direct;
  }
  if (environment.term.find("256color") != std::string::npos) return ColourMode::palette256;
  return ColourMode::ansi16;
}

ColourMode colourModeFor(ColourChoice choice, const TerminalEnvironment& environment,
                         const TerminalAnswers& answers) {
  switch (choice) {
    case ColourChoice::console:
      return ColourMode::direct;
    case ColourChoice::terminal:
      return ColourMode::ansi16;
    case ColourChoice::byTerminal:
      break;
  }
  return coloursTerminalDraws(environment, answers);
}

bool localeIsUtf8(std::string_view locale) {
  // language_territory.codeset@modifier: only the character set counts.
  const std::size_t dot = locale.find('.');
  if (dot == std::string_view::npos) return false;
  std::string codeset = lowerCase(locale.substr(dot + 1));
  codeset = codeset.substr(0, codeset.find('@'));
  return codeset == "utf-8" || codeset == "utf8";
}

bool answersShowDirectColour(const TerminalAnswers& answers) {
  return answers.directColourCapability || answers.directColourReadBack ||
         versionDrawsDirectColour(answers.version);
}

bool versionDrawsDirectColour(std::string_view version) {
  const std::size_t nameEnd = std::min(version.find(' '), version.find('('));
  const std::string_view name = version.substr(0, nameEnd);
  for (const DirectColourTerminal& known : directColourTerminals) {
    if (name != known.name) continue;
    if (known.firstVersion == 0) return true;
    return versionNumber(version.substr(name.size())) >= known.firstVersion;
  }
  return false;
}

TerminalSize cellsShown(const TerminalWindow& window, CellPixels cell) {
  TerminalSize shown = window.cells;
  if (!cell.known() || window.pixelHeight <= 0) return shown;
  const int rowsInPixels = window.pixelHeight / cell.height;
  // Fewer pixels than one row is no window a terminal shows: a misreport.
  if (rowsInPixels >= 1 && rowsInPixels < shown.rows) shown.rows = rowsInPixels;
  return shown;
}

}  // namespace vantrel
