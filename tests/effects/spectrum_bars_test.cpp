#include "effects/spectrum_bars.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace vantrel {
namespace {

constexpr Cell bar{179, 0x4C};
constexpr Cell ground{0, 8};

struct Bars {
  SpectrumArray spectrum{};
  CellScreen screen;

  Bars() {
    for (auto& entry : spectrum) entry.store(0.0F, std::memory_order_relaxed);
    for (int index = 1; index <= cellCount; ++index) screen[index] = ground;
  }
  // Sets the three entries that column `column` averages.
  void setColumn(int column, float value) {
    for (int i = 3 * column - 2; i <= 3 * column; ++i)
      spectrum[static_cast<std::size_t>(i)] = value;
  }
  void draw() { drawSpectrumBars(spectrum.data(), screen); }
  // The bar's height in column `column`, checking it stands on the bottom row
  // and that nothing above it was touched.
  int height(int column) const {
    int top = screenRows;
    while (top > 0 && screen[cellIndex(top - 1, column)] == bar) --top;
    for (int row = 0; row < top; ++row) EXPECT_EQ(screen[cellIndex(row, column)], ground);
    return screenRows - top;
  }
};

TEST(SpectrumBars, SilenceAndAMissingSpectrumDrawNothing) {
  Bars bars;
  bars.draw();
  const CellScreen untouched = bars.screen;
  for (int index = 1; index <= cellCount; ++index) ASSERT_EQ(untouched[index], ground);
  drawSpectrumBars(nullptr, bars.screen);
  EXPECT_EQ(bars.screen, untouched);
}

TEST(SpectrumBars, HeightIsFloorOfFiveHundredTimesTheMeanUpToTheFullColumn) {
  Bars bars;
  bars.setColumn(1, 0.0625F);                       // 31.25
  bars.setColumn(2, 0.00390625F);                   // 1.95
  bars.setColumn(3, 0.125F);                        // 62, clamped
  bars.setColumn(4, std::nextafter(0.002F, 0.0F));  // just below 1
  bars.setColumn(5, 0.002F);                        // the float just above 0.002: 1.00000005
  bars.setColumn(6, -0.5F);
  bars.setColumn(80, 0.05F);  // 25
  bars.draw();
  EXPECT_EQ(bars.height(1), 31);
  EXPECT_EQ(bars.screen[cellIndex(19, 1)], bar);
  EXPECT_EQ(bars.screen[cellIndex(18, 1)], ground);
  EXPECT_EQ(bars.height(2), 1);
  EXPECT_EQ(bars.height(3), 50);
  EXPECT_EQ(bars.height(4), 0);
  EXPECT_EQ(bars.height(5), 1);
  EXPECT_EQ(bars.height(6), 0);
  EXPECT_EQ(bars.height(80), 25);
  EXPECT_EQ(bars.height(7), 0);
}

TEST(SpectrumBars, ColumnAveragesItsOwnThreeEntriesInDouble) {
  Bars bars;
  // Entries 4, 5, 6 belong to column 2; their mean 0.03125 gives 15 cells.
  bars.spectrum[4] = 0.015625F;
  bars.spectrum[5] = 0.03125F;
  bars.spectrum[6] = 0.046875F;
  bars.draw();
  EXPECT_EQ(bars.height(1), 0);
  EXPECT_EQ(bars.height(2), 15);
  EXPECT_EQ(bars.height(3), 0);
}

TEST(SpectrumBars, OnlyEntriesOneTo240Count) {
  Bars bars;
  bars.spectrum[0] = 1.0F;
  for (int i = 241; i < spectrumSize; ++i) bars.spectrum[static_cast<std::size_t>(i)] = 1.0F;
  bars.draw();
  for (int index = 1; index <= cellCount; ++index) ASSERT_EQ(bars.screen[index], ground);
}

TEST(SpectrumBars, ANonFiniteMeanDrawsAFullBarAndAHugeNegativeOneNone) {
  Bars bars;
  bars.setColumn(1, std::numeric_limits<float>::quiet_NaN());
  bars.setColumn(2, std::numeric_limits<float>::infinity());
  bars.setColumn(3, -std::numeric_limits<float>::infinity());
  bars.spectrum[10] =
      std::numeric_limits<float>::max();  // column 4: the sum overflows float, not double
  bars.spectrum[11] = std::numeric_limits<float>::max();
  bars.setColumn(5, -std::numeric_limits<float>::max());  // finite and far below zero: no bar
  bars.draw();
  EXPECT_EQ(bars.height(1), 50);
  EXPECT_EQ(bars.height(2), 50);
  EXPECT_EQ(bars.height(3), 50);
  EXPECT_EQ(bars.height(4), 50);
  EXPECT_EQ(bars.height(5), 0);
}

// A player that has only the heights rebuilds a spectrum from them; drawn,
// it must stand every height in every column, including the empty and the
// full bar, whatever its neighbours hold.
TEST(SpectrumBars, ASpectrumRebuiltFromHeightsDrawsThoseHeights) {
  for (int shift = 0; shift <= screenRows; ++shift) {
    BarHeights heights{};
    for (int column = 1; column <= barColumns; ++column) {
      heights[static_cast<std::size_t>(column - 1)] =
          static_cast<std::uint8_t>((column + shift) % (screenRows + 1));
    }
    Bars bars;
    spectrumOfBarHeights(heights, bars.spectrum);
    bars.draw();
    for (int column = 1; column <= barColumns; ++column) {
      ASSERT_EQ(bars.height(column), heights[static_cast<std::size_t>(column - 1)])
          << "column " << column << ", shift " << shift;
    }
    EXPECT_EQ(spectrumBarHeights(bars.spectrum.data()), heights);
  }
}

TEST(SpectrumBars, HeightsAreThoseDrawn) {
  Bars bars;
  for (int i = 1; i <= 240; ++i) bars.spectrum[static_cast<std::size_t>(i)] = 0.0004F * static_cast<float>(i);
  bars.draw();
  const BarHeights heights = spectrumBarHeights(bars.spectrum.data());
  for (int column = 1; column <= barColumns; ++column) {
    EXPECT_EQ(heights[static_cast<std::size_t>(column - 1)], bars.height(column));
  }
}

}  // namespace
}  // namespace vantrel
