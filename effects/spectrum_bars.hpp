#pragma once
// Eighty spectrum bars rising from the bottom row.

#include <array>
#include <cstdint>

#include "audio/spectrum.hpp"
#include "screen/cell_screen.hpp"

namespace vantrel {

inline constexpr int barColumns = 80;
// How many cells tall each bar stands, column 1 first: 0 (no bar) to 50.
using BarHeights = std::array<std::uint8_t, barColumns>;

// Draws one bar per column from spectrum entries 1..240; a null spectrum draws none.
void drawSpectrumBars(const SpectrumEntry* spectrum, CellScreen& cellScreen);

// The heights drawSpectrumBars gives the bars for `spectrum` (not null).
BarHeights spectrumBarHeights(const SpectrumEntry* spectrum);

// A spectrum that drawSpectrumBars draws as exactly `heights` (each at most
// 50): every entry a column averages holds the middle of its height's range.
// For a player that knows the bars and not the sound.
void spectrumOfBarHeights(const BarHeights& heights, SpectrumArray& spectrum);

}  // namespace vantrel
