#pragma once
// What a terminal can draw and show, as its environment says and as it
// answers the start-up probe: which colours (TERM, COLORTERM, and the answers
// that show direct colour), whether it shows UTF-8 (the locale), and how
// many of its rows are really on screen (its pixels over its cell height).

#include <string>
#include <string_view>

#include "platform/console_options.hpp"
#include "platform/terminal/terminal_colours.hpp"
#include "platform/terminal/terminal_io.hpp"
#include "platform/terminal/terminal_probe.hpp"

namespace vantrel {

struct TerminalEnvironment {
  std::string term;       // TERM
  std::string colorterm;  // COLORTERM
  std::string locale;     // the first of LC_ALL, LC_CTYPE and LANG that is set
};

// The environment of this process.
TerminalEnvironment environmentOfProcess();

// The colours the terminal draws: direct colour for COLORTERM truecolor or
// 24bit, a TERM ending in -direct, or answers that show it (see
// answersShowDirectColour); else the 256-colour palette for a TERM naming
// 256color; else the 16 ANSI colours.
ColourMode coloursTerminalDraws(const TerminalEnvironment& environment,
                                const TerminalAnswers& answers = {});
// The colours to send, as the command line chose.
ColourMode colourModeFor(ColourChoice choice, const TerminalEnvironment& environment,
                         const TerminalAnswers& answers = {});

// The terminal said it draws direct colour (XTGETTCAP), showed it (DECRQSS),
// or named itself (XTVERSION) as a terminal known to draw it.
bool answersShowDirectColour(const TerminalAnswers& answers);
// XTVERSION's text names a terminal, and a version of it, that draws direct colour.
bool versionDrawsDirectColour(std::string_view version);

// The cells the terminal shows: all of its rows, unless its pixel height
// holds fewer rows of the cell it reported (a terminal may take a size
// request into its rows and not into its window). Without pixels or a cell
// size the rows are taken as they are.
TerminalSize cellsShown(const TerminalWindow& window, CellPixels cell);

// True when the locale's character set is UTF-8; C, POSIX, no locale at all
// and every other character set are not.
bool localeIsUtf8(std::string_view locale);

}  // namespace vantrel
