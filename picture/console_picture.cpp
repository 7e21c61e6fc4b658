#include "picture/console_picture.hpp"

namespace vantrel {

namespace {

constexpr Rgb white{255, 255, 255};
constexpr Rgb black{0, 0, 0};

// Draws glyph `code` with its top-left pixel at (left, top): put(x, y, lit).
template <typename Put>
void drawGlyph(const GlyphTable& glyphTable, int code, int left, int top, Put put) {
  for (int y = 0; y < glyphPixelHeight; ++y) {
    for (int x = 0; x < glyphPixelWidth; ++x) {
      put(left + x, top + y, glyphPixelLit(glyphTable, code, x, y));
    }
  }
}

// Every pixel of the cell screen's picture: put(x, y, colour number).
template <typename Put>
void drawCells(const CellScreen& cellScreen, const GlyphTable& glyphTable, Put put) {
  for (int row = 0; row < screenRows; ++row) {
    for (int column = 1; column <= screenColumns; ++column) {
      const Cell& cell = cellScreen[cellIndex(row, column)];
      const int foreground = cell.attribute & 0x0F;
      const int background = (cell.attribute >> 4) & 0x0F;
      drawGlyph(glyphTable, glyphCode(cell), (column - 1) * glyphPixelWidth, row * glyphPixelHeight,
                [&put, foreground, background](int x, int y, bool lit) {
                  put(x, y, lit ? foreground : background);
                });
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
  drawCells(cellScreen, glyphTable, [&image](int x, int y, int colour) {
    image.set(x, y, consolePalette[static_cast<std::size_t>(colour)]);
  });
}

void drawCellScreen(const CellScreen& cellScreen, const GlyphTable& glyphTable,
                    ColourIndexImage& image) {
  drawCells(cellScreen, glyphTable,
            [&image](int x, int y, int colour) { image.set(x, y, colour); });
}

RgbImage drawCellScreen(const CellScreen& cellScreen, const GlyphTable& glyphTable) {
  RgbImage image(screenPixelWidth, screenPixelHeight);
  drawCellScreen(cellScreen, glyphTable, image);
  return image;
}

RgbImage drawGlyphSheet(const GlyphTable& glyphTable) {
  RgbImage image(glyphSheetPixelWidth, glyphSheetPixelHeight);
  for (int code = 0; code < glyphCount; ++code) {
    drawGlyph(glyphTable, code, code % glyphSheetColumns * glyphPixelWidth,
              code / glyphSheetColumns * glyphPixelHeight,
              [&image](int x, int y, bool lit) { image.set(x, y, lit ? white : black); });
  }
  return image;
}

}  // namespace vantrel
