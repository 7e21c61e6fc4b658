#include "text/scroller.hpp"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>

#include "text/message.hpp"

namespace vantrel {
namespace {

constexpr Cell underneath{'x', 0x07};

class ScrollerTest : public ::testing::Test {
 protected:
  ScrollerTest() {
    loadGlyphTable(glyphs);
    for (int i = 1; i <= cellCount; ++i) screen[i] = underneath;
  }

  void start(const std::string& text) {
    scroller.scrollText = text;
    scroller.scrollLength = static_cast<std::int32_t>(text.size());
    scroller.scrollPos = 1;
    scroller.glyphColumn = 0;
    initScroller(scroller, glyphs);
  }

  ScrollerStatus draw() { return drawScroller(scroller, glyphs, screen); }

  void drawTimes(int calls) {
    for (int i = 0; i < calls; ++i) ASSERT_EQ(draw(), ScrollerStatus::running) << "call " << i + 1;
  }

  // The calls it takes until the scroller reports the end of the message.
  int callsUntilEnd() {
    for (int call = 1; call <= 100000; ++call) {
      if (draw() == ScrollerStatus::messageEnded) return call;
    }
    return -1;
  }

  // Glyph pixel as the band shows it.
  Cell pixel(unsigned char code, int row, int column) const {
    const bool lit = (glyphs[code][static_cast<std::size_t>(row)] & (0x80 >> column)) != 0;
    return lit ? litCell : blankCell;
  }

  Cell band(int x, int row) const {
    return scroller.scrollBand[static_cast<std::size_t>(x)][static_cast<std::size_t>(row)];
  }

  bool bandIsBlank() const {
    for (int x = 0; x < scrollBandWidth; ++x) {
      for (int row = 0; row < scrollBandHeight; ++row) {
        if (band(x, row) != blankCell) return false;
      }
    }
    return true;
  }

  GlyphTable glyphs{};
  Scroller scroller{};
  CellScreen screen{};
};

TEST_F(ScrollerTest, InitFetchesTheFirstCharacterIntoTheTile) {
  start("AB");
  EXPECT_EQ(scroller.scrollPos, 2);
  EXPECT_EQ(scroller.glyphColumn, 0);
  for (int row = 0; row < glyphRows; ++row) {
    for (int column = 0; column < glyphWidth; ++column) {
      EXPECT_EQ(scroller.glyphTile[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)],
                pixel('A', row, column));
    }
  }
  EXPECT_TRUE(bandIsBlank());
}

TEST_F(ScrollerTest, RenderingLeavesTheTileColumnsBeyondTheGlyphAlone) {
  scroller.glyphTile[3][8] = underneath;
  scroller.glyphTile[3][11] = underneath;
  renderGlyphTile(scroller, glyphs, 219);
  EXPECT_EQ(scroller.glyphTile[3][7], litCell);
  EXPECT_EQ(scroller.glyphTile[3][8], underneath);
  EXPECT_EQ(scroller.glyphTile[3][11], underneath);
}

TEST_F(ScrollerTest, FirstCallMovesNothingAndDrawsNothing) {
  start("HI");
  const CellScreen before = screen;
  ASSERT_EQ(draw(), ScrollerStatus::running);
  EXPECT_EQ(scroller.scrollFrameCount, 1);
  EXPECT_EQ(scroller.glyphColumn, 0);
  EXPECT_EQ(scroller.scrollPos, 2);
  EXPECT_TRUE(bandIsBlank());
  EXPECT_EQ(screen, before);
}

TEST_F(ScrollerTest, SecondCallFeedsGlyphColumnZeroAtTheRightEdge) {
  start("HI");
  drawTimes(2);
  EXPECT_EQ(scroller.glyphColumn, 1);
  for (int row = 0; row < glyphRows; ++row) EXPECT_EQ(band(79, row), pixel('H', row, 0));
  for (int x = 0; x < 79; ++x) {
    for (int row = 0; row < glyphRows; ++row) EXPECT_EQ(band(x, row), blankCell);
  }
}

TEST_F(ScrollerTest, AfterSixteenCallsTheFirstGlyphStandsWholeAndTheSecondIsFetched) {
  start("AW?");
  drawTimes(16);
  EXPECT_EQ(scroller.glyphColumn, 0);
  EXPECT_EQ(scroller.scrollPos, 3);
  for (int column = 0; column < glyphWidth; ++column) {
    for (int row = 0; row < glyphRows; ++row) {
      EXPECT_EQ(band(72 + column, row), pixel('A', row, column)) << column << "," << row;
    }
  }
  EXPECT_EQ(scroller.glyphTile[4][0], pixel('W', 4, 0));
  // Lit band cells reach the screen one column to the right of their x.
  EXPECT_EQ(screen[cellIndex(11 + 6, 73)], litCell);     // 'A' row 6 is FC: column 0 lit
  EXPECT_EQ(screen[cellIndex(11 + 1, 73)], underneath);  // row 1 is 30: column 0 blank
}

TEST_F(ScrollerTest, PositionRisesByOneEverySixteenCalls) {
  start(std::string(20, 'M'));
  for (int j = 1; j <= 10; ++j) {
    drawTimes(16);
    EXPECT_EQ(scroller.scrollPos, 2 + j);
  }
}

TEST_F(ScrollerTest, OddCallsChangeOnlyTheCountButStillDraw) {
  start("MOVE");
  drawTimes(10);
  const Scroller before = scroller;
  for (int i = 1; i <= cellCount; ++i) screen[i] = underneath;
  ASSERT_EQ(draw(), ScrollerStatus::running);
  EXPECT_EQ(scroller.scrollFrameCount, before.scrollFrameCount + 1);
  EXPECT_EQ(scroller.scrollBand, before.scrollBand);
  EXPECT_EQ(scroller.glyphTile, before.glyphTile);
  EXPECT_EQ(scroller.scrollPos, before.scrollPos);
  EXPECT_EQ(scroller.glyphColumn, before.glyphColumn);
  EXPECT_EQ(scroller.scrollText, before.scrollText);
  EXPECT_EQ(screen[cellIndex(11 + 6, 76)], litCell);  // 'M' column 0 sits at x = 75
}

TEST_F(ScrollerTest, BandEdgesLandInScreenColumnsOneAndEightyOfRowsElevenToTwentyTwo) {
  start("A");
  for (int row = 0; row < scrollBandHeight; ++row) {
    scroller.scrollBand[0][static_cast<std::size_t>(row)] = litCell;
    scroller.scrollBand[79][static_cast<std::size_t>(row)] = litCell;
  }
  ASSERT_EQ(draw(), ScrollerStatus::running);  // call 1: draws without moving
  for (int row = 0; row < screenRows; ++row) {
    const bool inBand = row >= 11 && row <= 22;
    EXPECT_EQ(screen[cellIndex(row, 1)], inBand ? litCell : underneath) << "row " << row;
    EXPECT_EQ(screen[cellIndex(row, 80)], inBand ? litCell : underneath) << "row " << row;
    for (int column = 2; column < 80; ++column) {
      ASSERT_EQ(screen[cellIndex(row, column)], underneath) << row << "," << column;
    }
  }
}

TEST_F(ScrollerTest, AFullyLitBandCoversOnlyRowsElevenToTwentyTwo) {
  start("A");
  for (auto& column : scroller.scrollBand) column.fill(litCell);
  ASSERT_EQ(draw(), ScrollerStatus::running);
  for (int row = 0; row < screenRows; ++row) {
    const Cell expected = row >= 11 && row <= 22 ? litCell : underneath;
    for (int column = 1; column <= screenColumns; ++column) {
      ASSERT_EQ(screen[cellIndex(row, column)], expected) << row << "," << column;
    }
  }
}

TEST_F(ScrollerTest, EndsWhenTheLastCharacterIsFetched) {
  start("AB");
  EXPECT_EQ(callsUntilEnd(), 16);
  start("A");
  scroller.scrollFrameCount = 0;
  EXPECT_EQ(callsUntilEnd(), 16);
  start("ABC");
  scroller.scrollFrameCount = 0;
  EXPECT_EQ(callsUntilEnd(), 32);
}

TEST_F(ScrollerTest, TheWholeMessageEndsInCallFiveThousandTwoHundredNinetySix) {
  start(buildScrollText());
  EXPECT_EQ(callsUntilEnd(), 5296);
  EXPECT_EQ(scroller.scrollPos, 333);
}

TEST_F(ScrollerTest, TheEndingCallDrawsNothing) {
  start("AB");
  drawTimes(15);  // the 'A' stands almost whole on the screen
  for (int i = 1; i <= cellCount; ++i) screen[i] = underneath;
  const CellScreen before = screen;
  EXPECT_EQ(draw(), ScrollerStatus::messageEnded);
  EXPECT_EQ(screen, before);
}

}  // namespace
}  // namespace vantrel
