#include "effects/spectrum_bars.hpp"

#include <cmath>

namespace vantrel {

namespace {

constexpr int bottomRow = screenRows - 1;
constexpr Cell barCell{179, 0x4C};  // light vertical line, light red on red
constexpr double heightPerUnit = 500.0;

// The first of the three entries that column `column` averages.
constexpr int firstEntryOf(int column) {
  return 3 * column - 2;
}

// The mean of the three entries that column `column` shows, in double.
double columnMean(const SpectrumEntry* spectrum, int column) {
  const int first = firstEntryOf(column);
  const double sum = static_cast<double>(readEntry(spectrum, first)) +
                     static_cast<double>(readEntry(spectrum, first + 1)) +
                     static_cast<double>(readEntry(spectrum, first + 2));
  return sum / 3.0;
}

// A bar's height for the mean of its three entries: floor(500 x mean), kept
// within 0..50.
int barHeight(double mean) {
  // Not a number or infinite: a full bar, as for any mean of 0.1 or more.
  if (!std::isfinite(mean)) return screenRows;
  const double height = std::floor(heightPerUnit * mean);
  if (height >= screenRows) return screenRows;
  if (height <= 0) return 0;
  return static_cast<int>(height);
}

}  // namespace

BarHeights spectrumBarHeights(const SpectrumEntry* spectrum) {
  BarHeights heights{};
  for (int column = 1; column <= barColumns; ++column) {
    heights[static_cast<std::size_t>(column - 1)] =
        static_cast<std::uint8_t>(barHeight(columnMean(spectrum, column)));
  }
  return heights;
}

void drawSpectrumBars(const SpectrumEntry* spectrum, CellScreen& cellScreen) {
  if (spectrum == nullptr) return;  // no music, no bars
  const BarHeights heights = spectrumBarHeights(spectrum);
  for (int column = 1; column <= barColumns; ++column) {
    const int top = screenRows - heights[static_cast<std::size_t>(column - 1)];
    for (int row = top; row <= bottomRow; ++row) cellScreen[cellIndex(row, column)] = barCell;
  }
}

void spectrumOfBarHeights(const BarHeights& heights, SpectrumArray& spectrum) {
  for (SpectrumEntry& entry : spectrum) entry.store(0.0F, std::memory_order_relaxed);
  for (int column = 1; column <= barColumns; ++column) {
    const int height = heights[static_cast<std::size_t>(column - 1)];
    // Half a cell above the height's floor: the mean of three equal floats
    // lands within a few units in the last place of it, far from either edge.
    const auto middle = static_cast<float>((height + 0.5) / heightPerUnit);
    const float value = height == 0 ? 0.0F : middle;
    for (int entry = firstEntryOf(column); entry < firstEntryOf(column) + 3; ++entry) {
      spectrum[static_cast<std::size_t>(entry)].store(value, std::memory_order_relaxed);
    }
  }
}

}  // namespace vantrel
