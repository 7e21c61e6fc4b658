#pragma once
// What a terminal can draw, as its environment says and as it answers: which
// colours (TERM, COLORTERM), whether it shows UTF-8 (the locale), and how
// wide it draws a block character (a cursor position report after one).

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/console_options.hpp"
#include "platform/terminal/terminal_colours.hpp"

namespace vantrel {

struct TerminalEnvironment {
  std::string term;       // TERM
  std::string colorterm;  // COLORTERM
  std::string locale;     // the first of LC_ALL, LC_CTYPE and LANG that is set
};

// The environment of this process.
TerminalEnvironment environmentOfProcess();

// The colours the terminal says it draws: direct colour for COLORTERM
// truecolor or 24bit or a TERM ending in -direct, the 256-colour palette
// for a TERM naming 256color, else the 16 ANSI colours.
ColourMode coloursTerminalDraws(const TerminalEnvironment& environment);
// The colours to send, as the command line chose.
ColourMode colourModeFor(ColourChoice choice, const TerminalEnvironment& environment);

// True when the locale's character set is UTF-8; C, POSIX, no locale at all
// and every other character set are not.
bool localeIsUtf8(std::string_view locale);

// A cursor position report, ESC [ row ; column R, found in `bytes`.
struct CursorReport {
  std::size_t start = 0;   // where it begins in the bytes
  std::size_t length = 0;  // how many bytes it takes
  int row = 0;
  int column = 0;
};
std::optional<CursorReport> findCursorReport(std::string_view bytes);

}  // namespace vantrel
