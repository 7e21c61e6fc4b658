#pragma once
// Eighty spectrum bars rising from the bottom row.

#include "audio/spectrum.hpp"
#include "screen/cell_screen.hpp"

namespace vantrel {

// Draws one bar per column from spectrum entries 1..240; a null spectrum draws none.
void drawSpectrumBars(const SpectrumEntry* spectrum, CellScreen& cellScreen);

}  // namespace vantrel
