#include "picture/console_picture.hpp"

namespace vantrel {

namespace {

constexpr Rgb white{255, 255, 255};
constexpr Rgb black{0, 0, 0};

// Draws glyph `code` with its top-left pixel at (left, top).
void drawGlyph(RgbImage& image, const GlyphTable& glyphTable, int code, int left, int top, Rgb lit,
               Rgb unlit) {
  for (int y = 0; y < glyphPixelHeight; ++y) {
    for (int x = 0; x < glyphPixelWidth; ++x) {
      image.set(left + x, top + y, glyphPixelLit(glyphTable, code, x, y) ? lit : unlit);
    }
  }
}

}  // namespace

RgbImage::RgbImage(int width, int height)
    : width_(width),
      height_(height),
      pixels_(3 * static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {}

std::size_t RgbImage::offset(int x, int y) const {
  return 3 * (static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
              static_cast<std::size_t>(x));
}

Rgb RgbImage::at(int x, int y) const {
  const std::size_t i = offset(x, y);
  return {pixels_[i], pixels_[i + 1], pixels_[i + 2]};
}

void RgbImage::set(int x, int y, Rgb colour) {
  const std::size_t i = offset(x, y);
  pixels_[i] = colour.red;
  pixels_[i + 1] = colour.green;
  pixels_[i + 2] = colour.blue;
}

int glyphCode(const Cell& cell) {
  return cell.character & 0xFF;
}

bool glyphPixelLit(const GlyphTable& glyphTable, int code, int x, int y) {
  const std::int32_t row = glyphTable[static_cast<std::size_t>(code)][static_cast<std::size_t>(y)];
  return (row & (0x80 >> x)) != 0;
}

void drawCellScreen(const CellScreen& cellScreen, const GlyphTable& glyphTable, RgbImage& image) {
  for (int row = 0; row < screenRows; ++row) {
    for (int column = 1; column <= screenColumns; ++column) {
      const Cell& cell = cellScreen[cellIndex(row, column)];
      const Rgb foreground = consolePalette[cell.attribute & 0x0FU];
      const Rgb background = consolePalette[(cell.attribute >> 4U) & 0x0FU];
      drawGlyph(image, glyphTable, glyphCode(cell), (column - 1) * glyphPixelWidth,
                row * glyphPixelHeight, foreground, background);
    }
  }
}

RgbImage drawCellScreen(const CellScreen& cellScreen, const GlyphTable& glyphTable) {
  RgbImage image(screenPixelWidth, screenPixelHeight);
  drawCellScreen(cellScreen, glyphTable, image);
  return image;
}

RgbImage drawGlyphSheet(const GlyphTable& glyphTable) {
  RgbImage image(glyphSheetPixelWidth, glyphSheetPixelHeight);
  for (int code = 0; code < glyphCount; ++code) {
    drawGlyph(image, glyphTable, code, code % glyphSheetColumns * glyphPixelWidth,
              code / glyphSheetColumns * glyphPixelHeight, white, black);
  }
  return image;
}

}  // namespace vantrel
