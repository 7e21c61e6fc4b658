#include "screen/cell_screen.hpp"

#include <gtest/gtest.h>

#include "driver/presentation.hpp"
#include "support/fake_platform.hpp"

namespace vantrel {
namespace {

TEST(CellScreen, IndexRunsRowByRowFromOne) {
  EXPECT_EQ(cellIndex(0, 1), 1);
  EXPECT_EQ(cellIndex(0, 80), 80);
  EXPECT_EQ(cellIndex(1, 1), 81);
  EXPECT_EQ(cellIndex(49, 1), 3921);
  EXPECT_EQ(cellIndex(49, 80), 4000);
}

TEST(CellScreen, StartsBlackAndBlankAndIsContiguousFromCellOne) {
  CellScreen screen;
  for (int i = 1; i <= cellCount; ++i) ASSERT_EQ(screen[i], Cell{}) << i;
  screen[cellIndex(1, 1)] = {219, 8};
  EXPECT_EQ(screen.data()[80], (Cell{219, 8}));
  EXPECT_EQ(&screen[4000], screen.data() + 3999);
}

TEST(WriteRegion, IsNarrowedToTheScreenAndKeptNarrowed) {
  testing::FakeConsole console;
  Presentation presentation{.console = &console};
  CellScreen screen;
  presentScreen(presentation, screen);
  presentScreen(presentation, screen);
  ASSERT_EQ(console.regionsPassed.size(), 2U);
  EXPECT_EQ(console.regionsPassed[0], (WriteRegion{0, 0, 79, 79}));
  EXPECT_EQ(console.regionsPassed[1], (WriteRegion{0, 0, 79, 49}));
  EXPECT_EQ(presentation.writeRegion, (WriteRegion{0, 0, 79, 49}));
}

TEST(WriteRegion, ClipsToASmallerConsoleAndRejectsOneOutside) {
  WriteRegion region{0, 0, 79, 79};
  EXPECT_TRUE(clipWriteRegion(region, {80, 50}, {0, 0}, {40, 20}));
  EXPECT_EQ(region, (WriteRegion{0, 0, 39, 19}));

  WriteRegion outside{90, 0, 100, 10};
  EXPECT_FALSE(clipWriteRegion(outside, {80, 50}, {0, 0}, {80, 50}));
}

}  // namespace
}  // namespace vantrel
