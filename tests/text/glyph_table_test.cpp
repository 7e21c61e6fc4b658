#include "text/glyph_table.hpp"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace vantrel
