#pragma once
// The colour sequences a terminal is sent for the console's 16 colours, in
// the three ways terminals draw colour: their own 16-colour theme, the
// standard 256-colour palette, or direct RGB.

#include <string_view>

#include "screen/console_palette.hpp"

namespace vantrel {

enum class ColourMode {
  ansi16,      // the 16 ANSI colours, as the terminal's theme draws them
  palette256,  // the nearest entries of the 256-colour cube and grey ramp
  direct,      // the console palette's exact RGB
};

// The SGR parameters (what goes between CSI and m) that set console colour
// `colour` (0..15) as the foreground or the background.
std::string_view foregroundParameters(ColourMode mode, int colour);
std::string_view backgroundParameters(ColourMode mode, int colour);

// The entry of the 256-colour palette's cube (16..231) or grey ramp
// (232..255) nearest to `colour`; the first 16 are left out, since each
// terminal's theme draws them its own way.
int nearestPaletteEntry(Rgb colour);

}  // namespace vantrel
