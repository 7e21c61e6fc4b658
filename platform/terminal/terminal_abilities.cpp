#include "platform/terminal/terminal_abilities.hpp"

#include <algorithm>
#include <cctype>
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

// Reads a decimal number of at most five digits at `at`; -1 when none.
int numberAt(std::string_view bytes, std::size_t& at) {
  int value = 0;
  std::size_t digits = 0;
  while (at < bytes.size() && digits < 5 && std::isdigit(static_cast<unsigned char>(bytes[at]))) {
    value = value * 10 + (bytes[at++] - '0');
    ++digits;
  }
  return digits > 0 ? value : -1;
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

ColourMode coloursTerminalDraws(const TerminalEnvironment& environment) {
  const std::string colorterm = lowerCase(environment.colorterm);
  if (colorterm == "truecolor" || colorterm == "24bit" || environment.term.ends_with("-direct")) {
    return ColourMode::direct;
  }
  if (environment.term.find("256color") != std::string::npos) return ColourMode::palette256;
  return ColourMode::ansi16;
}

ColourMode colourModeFor(ColourChoice choice, const TerminalEnvironment& environment) {
  switch (choice) {
    case ColourChoice::console:
      return ColourMode::direct;
    case ColourChoice::terminal:
      return ColourMode::ansi16;
    case ColourChoice::byTerminal:
      break;
  }
  return coloursTerminalDraws(environment);
}

bool localeIsUtf8(std::string_view locale) {
  // language_territory.codeset@modifier: only the character set counts.
  const std::size_t dot = locale.find('.');
  if (dot == std::string_view::npos) return false;
  std::string codeset = lowerCase(locale.substr(dot + 1));
  codeset = codeset.substr(0, codeset.find('@'));
  return codeset == "utf-8" || codeset == "utf8";
}

std::optional<CursorReport> findCursorReport(std::string_view bytes) {
  for (std::size_t start = bytes.find("\x1b["); start != std::string_view::npos;
       start = bytes.find("\x1b[", start + 1)) {
    std::size_t at = start + 2;
    const int row = numberAt(bytes, at);
    if (row < 0 || at >= bytes.size() || bytes[at] != ';') continue;
    ++at;
    const int column = numberAt(bytes, at);
    if (column < 0 || at >= bytes.size() || bytes[at] != 'R') continue;
    return CursorReport{start, at + 1 - start, row, column};
  }
  return std::nullopt;
}

}  // namespace vantrel
