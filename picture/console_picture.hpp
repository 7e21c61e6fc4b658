#pragma once
// Pictures of what the console shows: the cell screen drawn with the demo's
// own font in the 16 console colours, and the whole font as one sheet.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "screen/cell_screen.hpp"
#include "screen/console_palette.hpp"
#include "text/glyph_table.hpp"

namespace vantrel {

inline constexpr int glyphPixelWidth = 8;
inline constexpr int glyphPixelHeight = glyphRows;
inline constexpr int screenPixelWidth = screenColumns * glyphPixelWidth;  // 640
inline constexpr int screenPixelHeight = screenRows * glyphPixelHeight;   // 600
inline constexpr int glyphSheetColumns = 16;
inline constexpr int glyphSheetPixelWidth = glyphSheetColumns * glyphPixelWidth;  // 128
inline constexpr int glyphSheetPixelHeight =
    glyphCount / glyphSheetColumns * glyphPixelHeight;  // 192

// An 8-bit RGB picture, rows top to bottom, three bytes a pixel.
class RgbImage {
 public:
  RgbImage(int width, int height);

  int width() const { return width_; }
  int height() const { return height_; }
  const std::uint8_t* data() const { return pixels_.data(); }
  Rgb at(int x, int y) const;
  void set(int x, int y, Rgb colour);

 private:
  std::size_t offset(int x, int y) const;

  int width_;
  int height_;
  std::vector<std::uint8_t> pixels_;
};

// A picture in the console's colours, one byte a pixel, the colour's number
// (0..15), rows top to bottom: what a terminal that draws images is sent.
struct ColourIndexPicture {
  std::span<const std::uint8_t> pixels;
  int width = 0;
  int height = 0;

  std::uint8_t at(int x, int y) const {
    return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                  static_cast<std::size_t>(x)];
  }
};

// The 640 x 600 picture of the cell screen in colour numbers.
class ColourIndexImage {
 public:
  ColourIndexImage() : pixels_(static_cast<std::size_t>(screenPixelWidth * screenPixelHeight)) {}

  ColourIndexPicture view() const { return {pixels_, screenPixelWidth, screenPixelHeight}; }
  void set(int x, int y, int colour) {
    pixels_[static_cast<std::size_t>(y * screenPixelWidth + x)] = static_cast<std::uint8_t>(colour);
  }

 private:
  std::vector<std::uint8_t> pixels_;
};

// The glyph the console shows for a cell: the low byte of its character, as
// the console's 8-bit character write takes it.
int glyphCode(const Cell& cell);
// Is pixel (x, y) of glyph `code` lit? x 0..7 from the left, y 0..11 from the top.
bool glyphPixelLit(const GlyphTable& glyphTable, int code, int x, int y);

// 640 x 600: each cell 8 x 12 pixels, lit glyph pixels in the foreground
// colour and the others in the background colour.
void drawCellScreen(const CellScreen& cellScreen, const GlyphTable& glyphTable, RgbImage& image);
RgbImage drawCellScreen(const CellScreen& cellScreen, const GlyphTable& glyphTable);
// The same picture in colour numbers.
void drawCellScreen(const CellScreen& cellScreen, const GlyphTable& glyphTable,
                    ColourIndexImage& image);

// 128 x 192: code c at glyph column c mod 16 and glyph row c div 16, lit
// pixels white and the others black.
RgbImage drawGlyphSheet(const GlyphTable& glyphTable);

}  // namespace vantrel
