#include "text/glyph_table.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <climits>
#include <cstddef>
#include <string>
#include <vector>

namespace vantrel {
namespace {

GlyphTable loadedTable() {
  GlyphTable table{};
  loadGlyphTable(table);
  return table;
}

std::array<std::int32_t, glyphRows> rowsOf(std::initializer_list<std::int32_t> values) {
  std::array<std::int32_t, glyphRows> rows{};
  std::copy(values.begin(), values.end(), rows.begin());
  return rows;
}

std::array<std::int32_t, glyphRows> allRows(std::int32_t value) {
  std::array<std::int32_t, glyphRows> rows{};
  rows.fill(value);
  return rows;
}

TEST(GlyphData, IsElevenThousandFiveHundredTwentyTwoBytesCountingItsItems) {
  const auto block = glyphData();
  ASSERT_EQ(block.size(), 11522U);
  EXPECT_EQ(block[0], 0x00);  // 3328 = 0x0D00, little-endian
  EXPECT_EQ(block[1], 0x0D);
  EXPECT_EQ(block.back(), 0);  // the last item's NUL ends the block
}

TEST(GlyphData, ReadsItemsByNumberAndNothingOutsideTheBlock) {
  EXPECT_EQ(readDataItem(1), "00");
  EXPECT_EQ(readDataItem(13), "CHR$(00)");
  EXPECT_EQ(readDataItem(15), "7E");  // row 1 of the smiling face
  EXPECT_EQ(readDataItem(13 * 65 + 13), "CHR$(41)");
  EXPECT_EQ(readDataItem(3328), "CHR$(FF)");
  EXPECT_TRUE(readDataItem(0).empty());
  EXPECT_TRUE(readDataItem(3329).empty());
  EXPECT_TRUE(readDataItem(-1).empty());
  EXPECT_TRUE(readDataItem(INT_MIN).empty());
  EXPECT_TRUE(readDataItem(INT_MAX).empty());
}

TEST(GlyphData, EveryItemIsTheTextBetweenTwoTerminators) {
  const auto block = glyphData();
  std::vector<std::string> items;
  std::string current;
  for (std::size_t offset = 2; offset < block.size(); ++offset) {
    if (block[offset] == 0) {
      items.push_back(current);
      current.clear();
    } else {
      current += static_cast<char>(block[offset]);
    }
  }
  ASSERT_EQ(items.size(), 3328U);
  for (int n = 1; n <= 3328; ++n) {
    ASSERT_EQ(readDataItem(n), items[static_cast<std::size_t>(n - 1)]) << "item " << n;
  }
}

TEST(GlyphTable, HoldsTheTellingRows) {
  const GlyphTable table = loadedTable();
  EXPECT_EQ(table[65], rowsOf({0, 48, 120, 204, 204, 204, 252, 204, 204, 204, 0, 0}));
  EXPECT_EQ(table[1], rowsOf({0x00, 0x7E, 0xC3, 0x81, 0xA5, 0x81, 0xBD, 0x99, 0xC3, 0x7E, 0, 0}));
  EXPECT_EQ(table[48], rowsOf({0x00, 0x7C, 0xC6, 0xCE, 0xDE, 0xD6, 0xF6, 0xE6, 0xC6, 0x7C, 0, 0}));
  EXPECT_EQ(table[103],
            rowsOf({0x00, 0x00, 0x00, 0x00, 0x76, 0xCC, 0xCC, 0xCC, 0x7C, 0x0C, 0xCC, 0x78}));
  EXPECT_EQ(table[124], rowsOf({0x00, 0x18, 0x18, 0x18, 0x18, 0x00, 0x18, 0x18, 0x18, 0x18, 0, 0}));
  EXPECT_EQ(table[176],
            rowsOf({0x24, 0x92, 0x49, 0x24, 0x92, 0x49, 0x24, 0x92, 0x49, 0x24, 0x92, 0x49}));
  EXPECT_EQ(table[219], allRows(255));
  EXPECT_EQ(table[0], allRows(0));
  EXPECT_EQ(table[32], allRows(0));
  EXPECT_EQ(table[255], allRows(0));
}

TEST(GlyphTable, EveryElementIsOneRowOfEightPixels) {
  const GlyphTable table = loadedTable();
  for (std::size_t code = 0; code < table.size(); ++code) {
    for (const std::int32_t row : table[code]) {
      EXPECT_GE(row, 0) << "code " << code;
      EXPECT_LE(row, 255) << "code " << code;
    }
  }
}

// Printable glyphs keep to rows 1..9 and leave their rightmost column
// blank, so neighbouring letters stay apart; the exceptions are named.
TEST(GlyphTable, PrintableGlyphsKeepTheirRowsAndSpacing) {
  const GlyphTable table = loadedTable();
  const std::string rowZero = "$^`";
  const std::string rowTen = "$,;Q_gjpqy";
  const std::string rowEleven = "gjpqy";
  const std::string rightColumn = "*_~";
  for (int code = 32; code <= 126; ++code) {
    const auto& rows = table[static_cast<std::size_t>(code)];
    const char c = static_cast<char>(code);
    EXPECT_EQ(rows[0] != 0, rowZero.find(c) != std::string::npos) << "row 0 of '" << c << "'";
    EXPECT_EQ(rows[10] != 0, rowTen.find(c) != std::string::npos) << "row 10 of '" << c << "'";
    EXPECT_EQ(rows[11] != 0, rowEleven.find(c) != std::string::npos) << "row 11 of '" << c << "'";
    bool rightColumnLit = false;
    for (const std::int32_t row : rows) rightColumnLit = rightColumnLit || (row & 1) != 0;
    EXPECT_EQ(rightColumnLit, rightColumn.find(c) != std::string::npos)
        << "column 7 of '" << c << "'";
  }
}

TEST(GlyphTable, OnlyTheSpacesAreBlankAndOnlyTheFullBlockIsFull) {
  const GlyphTable table = loadedTable();
  for (int code = 0; code < glyphCount; ++code) {
    const auto& rows = table[static_cast<std::size_t>(code)];
    const bool blank = rows == allRows(0);
    const bool full = rows == allRows(255);
    EXPECT_EQ(blank, code == 0 || code == 32 || code == 255) << "code " << code;
    EXPECT_EQ(full, code == 219) << "code " << code;
  }
}

// Which sides of the cell a box-drawing character's lines leave by, and as
// single (1) or double (2) lines.
struct BoxArms {
  int code;
  int up, down, left, right;
};

constexpr BoxArms boxDrawing[] = {
    {179, 1, 1, 0, 0}, {180, 1, 1, 1, 0}, {181, 1, 1, 2, 0}, {182, 2, 2, 1, 0}, {183, 0, 2, 1, 0},
    {184, 0, 1, 2, 0}, {185, 2, 2, 2, 0}, {186, 2, 2, 0, 0}, {187, 0, 2, 2, 0}, {188, 2, 0, 2, 0},
    {189, 2, 0, 1, 0}, {190, 1, 0, 2, 0}, {191, 0, 1, 1, 0}, {192, 1, 0, 0, 1}, {193, 1, 0, 1, 1},
    {194, 0, 1, 1, 1}, {195, 1, 1, 0, 1}, {196, 0, 0, 1, 1}, {197, 1, 1, 1, 1}, {198, 1, 1, 0, 2},
    {199, 2, 2, 0, 1}, {200, 2, 0, 0, 2}, {201, 0, 2, 0, 2}, {202, 2, 0, 2, 2}, {203, 0, 2, 2, 2},
    {204, 2, 2, 0, 2}, {205, 0, 0, 2, 2}, {206, 2, 2, 2, 2}, {207, 1, 0, 2, 2}, {208, 2, 0, 1, 1},
    {209, 0, 1, 2, 2}, {210, 0, 2, 1, 1}, {211, 2, 0, 0, 1}, {212, 1, 0, 0, 2}, {213, 0, 1, 0, 2},
    {214, 0, 2, 0, 1}, {215, 2, 2, 1, 1}, {216, 1, 1, 2, 2}, {217, 1, 0, 1, 0}, {218, 0, 1, 0, 1},
};

// Pixels lit along one edge of a cell, as a bit mask over its positions.
int topEdge(const GlyphTable& table, int code) {
  return table[static_cast<std::size_t>(code)][0];
}
int bottomEdge(const GlyphTable& table, int code) {
  return table[static_cast<std::size_t>(code)][glyphRows - 1];
}
int sideEdge(const GlyphTable& table, int code, int columnBit) {
  int mask = 0;
  for (int row = 0; row < glyphRows; ++row) {
    if ((table[static_cast<std::size_t>(code)][static_cast<std::size_t>(row)] & columnBit) != 0) {
      mask |= 1 << row;
    }
  }
  return mask;
}

// Every line leaves the cell at the same place in every box-drawing glyph, so
// neighbouring glyphs join: vertical lines in columns 3-4 (single) or 1-2 and
// 5-6 (double), horizontal lines in row 5 (single) or rows 4 and 6 (double).
TEST(GlyphTable, BoxDrawingLinesMeetTheirNeighboursAtTheCellEdges) {
  const GlyphTable table = loadedTable();
  const int verticalAt[] = {0, 0x18, 0x66};
  const int horizontalAt[] = {0, 1 << 5, (1 << 4) | (1 << 6)};
  for (const BoxArms& glyph : boxDrawing) {
    EXPECT_EQ(topEdge(table, glyph.code), verticalAt[glyph.up]) << "code " << glyph.code;
    EXPECT_EQ(bottomEdge(table, glyph.code), verticalAt[glyph.down]) << "code " << glyph.code;
    EXPECT_EQ(sideEdge(table, glyph.code, 0x80), horizontalAt[glyph.left]) << "code " << glyph.code;
    EXPECT_EQ(sideEdge(table, glyph.code, 0x01), horizontalAt[glyph.right])
        << "code " << glyph.code;
  }
}

TEST(GlyphTable, HalfBlocksFillTheirHalfAndShadesGrowDarker) {
  const GlyphTable table = loadedTable();
  const auto rowsFrom = [](int firstRow, int value) {
    std::array<std::int32_t, glyphRows> rows{};
    for (int row = firstRow; row < firstRow + glyphRows / 2; ++row) {
      rows[static_cast<std::size_t>(row)] = value;
    }
    return rows;
  };
  EXPECT_EQ(table[220], rowsFrom(6, 0xFF));  // lower half
  EXPECT_EQ(table[223], rowsFrom(0, 0xFF));  // upper half
  EXPECT_EQ(table[221], allRows(0xF0));      // left half
  EXPECT_EQ(table[222], allRows(0x0F));      // right half
  const auto litPixels = [&table](int code) {
    int count = 0;
    for (const std::int32_t row : table[static_cast<std::size_t>(code)]) {
      count += std::popcount(static_cast<unsigned>(row));
    }
    return count;
  };
  EXPECT_EQ(litPixels(176), 32);
  EXPECT_EQ(litPixels(177), 48);
  EXPECT_EQ(litPixels(178), 64);
}

}  // namespace
}  // namespace vantrel
