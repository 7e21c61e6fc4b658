#include "effects/spectrum_bars.hpp"

#include <cmath>

namespace vantrel {

namespace {

constexpr int barColumns = 80;
constexpr int bottomRow = screenRows - 1;
constexpr Cell barCell{179, 0x4C};  // light vertical line, light red on red

// The mean of the three entries that column `column` shows, in double.
double columnMean(const SpectrumEntry* spectrum, int column) {
  const int first = 3 * column - 2;
  const double sum = static_cast<double>(readEntry(spectrum, first)) +
                     static_cast<double>(readEntry(spectrum, first + 1)) +
                     static_cast<double>(readEntry(spectrum, first + 2));
  return sum / 3.0;
}

// The top row (0 = top of the screen) of a bar for the mean of its three
// entries: 50 - floor(500 x mean), kept within 0..50 (50: no bar).
int spectrumBarTop(double mean) {
  // Not a number or infinite: a full bar, as for any mean of 0.1 or more.
  if (!std::isfinite(mean)) return 0;
  const double height = std::floor(500.0 * mean);
  if (height >= screenRows) return 0;
  if (height <= 0) return screenRows;
  return screenRows - static_cast<int>(height);
}

}  // namespace

void drawSpectrumBars(const SpectrumEntry* spectrum, CellScreen& cellScreen) {
  if (spectrum == nullptr) return;  // no music, no bars
  for (int column = 1; column <= barColumns; ++column) {
    const int top = spectrumBarTop(columnMean(spectrum, column));
    for (int row = top; row <= bottomRow; ++row) cellScreen[cellIndex(row, column)] = barCell;
  }
}

}  // namespace vantrel
