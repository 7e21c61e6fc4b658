#pragma once
// Eighty spectrum bars rising from the bottom row.

#include "audio/spectrum.hpp"
#include "driver/cell_screen.hpp"

namespace vantrel {

// Draws one bar per column from spectrum entries 1..240; a null spectrum draws none.
void drawSpectrumBars(const SpectrumEntry* spectrum, CellScreen& cellScreen);

// The top row (0 = top of the screen) of a bar for the mean `mean` of its
// three entries: 50 - floor(500 x mean), kept within 0..50 (50: no bar).
int spectrumBarTop(double mean);

}  // namespace vantrel
