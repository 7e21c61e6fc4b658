#include "tools/frames/console_picture.hpp"

#include <gtest/gtest.h>

namespace vantrel::frames {
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

TEST(ConsolePicture, EveryPixelFollowsItsCellsGlyphBit) {
  const GlyphTable font = testFont();
  CellScreen screen;
  for (int index = 1; index <= cellCount; ++index) {
    screen[index] = {static_cast<std::uint16_t>(index % 256),
                     static_cast<std::uint16_t>(index * 7 % 256)};
  }
  const RgbImage image = drawCellScreen(screen, font);
  for (int y = 0; y < 600; ++y) {
    for (int x = 0; x < 640; ++x) {
      const Cell& cell = screen[cellIndex(y / 12, x / 8 + 1)];
      const bool lit =
          (font[cell.character & 0xFFU][static_cast<std::size_t>(y % 12)] & (0x80 >> (x % 8))) != 0;
      const Rgb expected = consolePalette[lit ? cell.attribute & 0xFU : cell.attribute >> 4U];
      ASSERT_EQ(image.at(x, y), expected) << x << "," << y;
    }
  }
}

TEST(ConsolePicture, PaletteFollowsTheAttributeBits) {
  EXPECT_EQ(consolePalette[0x8], (Rgb{128, 128, 128}));  // ripple field: dark grey
  EXPECT_EQ(consolePalette[0xC], (Rgb{255, 0, 0}));      // bars: light red on red
  EXPECT_EQ(consolePalette[0x4], (Rgb{128, 0, 0}));
  EXPECT_EQ(consolePalette[0x9], (Rgb{0, 0, 255}));  // scroller: bright blue background
  EXPECT_EQ(consolePalette[0x1], (Rgb{0, 0, 128}));
  EXPECT_EQ(consolePalette[0xF], (Rgb{255, 255, 255}));
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
  for (int y = 0; y < 192; ++y) {
    for (int x = 0; x < 128; ++x) {
      const int code = y / 12 * 16 + x / 8;
      const bool lit = (font[static_cast<std::size_t>(code)][static_cast<std::size_t>(y % 12)] &
                        (0x80 >> (x % 8))) != 0;
      ASSERT_EQ(sheet.at(x, y), lit ? (Rgb{255, 255, 255}) : (Rgb{0, 0, 0})) << x << "," << y;
    }
  }
}

}  // namespace
}  // namespace vantrel::frames
