#include "picture/console_picture.hpp"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

// A font whose glyph c has row r = c + r (low byte), so that every code and
// row differ; glyph 0x41 is a hollow box to check the pixel order.
GlyphTable testFont() {
  GlyphTable font{};
  for (std::size_t code = 0; code < font.size(); ++code) {
    for (std::size_t row = 0; row < font[code].size(); ++row) {
      font[code][row] = static_cast<std::int32_t>((code + row) & 0xFFU);
    }
  }
  font[0x41] = {0xFF, 0x81, 0x81, 0x81, 0x81, 0x81, 0x81, 0x81, 0x81, 0x81, 0x81, 0xFF};
  return font;
}

TEST(ConsolePicture, DrawsLitPixelsInTheForegroundAndTheRestInTheBackground) {
  const GlyphTable font = testFont();
  CellScreen screen;
  screen[cellIndex(3, 5)] = {0x41, 0x4C};     // light red on red
  screen[cellIndex(49, 80)] = {0x141, 0x91};  // the console takes the low byte
  const RgbImage image = drawCellScreen(screen, font);
  ASSERT_EQ(image.width(), 640);
  ASSERT_EQ(image.height(), 600);

  const int left = 4 * 8;
  const int top = 3 * 12;
  EXPECT_EQ(image.at(left, top), (Rgb{255, 0, 0}));           // corner of the box: lit
  EXPECT_EQ(image.at(left + 7, top + 11), (Rgb{255, 0, 0}));  // opposite corner: lit
  EXPECT_EQ(image.at(left + 3, top + 5), (Rgb{128, 0, 0}));   // inside the box: background
  EXPECT_EQ(image.at(left - 1, top), consolePalette[0]);      // the blank cell to the left
  EXPECT_EQ(image.at(639, 599), (Rgb{0, 0, 128}));            // box edge, blue foreground
  EXPECT_EQ(image.at(635, 594), (Rgb{0, 0, 255}));            // inside, bright blue background
}

TEST(GlyphSheet, PlacesCodeCAtColumnCMod16AndRowCDiv16InWhiteOnBlack) {
  const GlyphTable font = testFont();
  const RgbImage sheet = drawGlyphSheet(font);
  ASSERT_EQ(sheet.width(), 128);
  ASSERT_EQ(sheet.height(), 192);
  // Code 0x41: glyph column 1, glyph row 4.
  EXPECT_EQ(sheet.at(8, 48), (Rgb{255, 255, 255}));
  EXPECT_EQ(sheet.at(9, 49), (Rgb{0, 0, 0}));
  EXPECT_EQ(sheet.at(15, 59), (Rgb{255, 255, 255}));
}

}  // namespace
}  // namespace vantrel
