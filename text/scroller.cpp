#include "text/scroller.hpp"

#include <cstddef>

namespace vantrel {

namespace {

// Takes the character at scrollPos and steps past it. A position beyond the
// text reads as code 0, so a scroller set up with too short a text stays
// inside it.
unsigned char fetchCharacter(Scroller& scroller) {
  const auto index = static_cast<std::size_t>(scroller.scrollPos - 1);
  ++scroller.scrollPos;
  if (index >= scroller.scrollText.size()) return 0;
  return static_cast<unsigned char>(scroller.scrollText[index]);
}

void moveBandLeft(Scroller& scroller) {
  for (int x = 1; x < scrollBandWidth; ++x) {
    scroller.scrollBand[static_cast<std::size_t>(x - 1)] =
        scroller.scrollBand[static_cast<std::size_t>(x)];
  }
}

void feedGlyphColumn(Scroller& scroller) {
  auto& rightEdge = scroller.scrollBand[scrollBandWidth - 1];
  const auto column = static_cast<std::size_t>(scroller.glyphColumn);
  for (std::size_t row = 0; row < scrollBandHeight; ++row) {
    rightEdge[row] = scroller.glyphTile[row][column];
  }
  ++scroller.glyphColumn;
}

// Copies the lit cells of the band onto the screen; blank cells are skipped
// so the effects drawn before stay visible through them.
void drawBand(const Scroller& scroller, CellScreen& cellScreen) {
  for (int row = 0; row < scrollBandHeight; ++row) {
    for (int x = 0; x < scrollBandWidth; ++x) {
      const Cell& cell =
          scroller.scrollBand[static_cast<std::size_t>(x)][static_cast<std::size_t>(row)];
      if (cell.attribute != 0) cellScreen[cellIndex(scrollBandTopRow + row, x + 1)] = cell;
    }
  }
}

}  // namespace

void renderGlyphTile(Scroller& scroller, const GlyphTable& glyphTable, unsigned char code) {
  for (std::size_t row = 0; row < glyphRows; ++row) {
    const std::int32_t bits = glyphTable[code][row];
    for (int column = 0; column < glyphWidth; ++column) {
      const bool lit = (bits & (1 << (glyphWidth - 1 - column))) != 0;
      scroller.glyphTile[row][static_cast<std::size_t>(column)] = lit ? litCell : blankCell;
    }
  }
}

void initScroller(Scroller& scroller, const GlyphTable& glyphTable) {
  renderGlyphTile(scroller, glyphTable, fetchCharacter(scroller));
}

ScrollerStatus drawScroller(Scroller& scroller, const GlyphTable& glyphTable,
                            CellScreen& cellScreen) {
  ++scroller.scrollFrameCount;
  // The band moves on even-numbered calls only: one column every two frames.
  if (scroller.scrollFrameCount % 2 == 0) {
    moveBandLeft(scroller);
    feedGlyphColumn(scroller);
    if (scroller.glyphColumn == glyphWidth) {
      scroller.glyphColumn = 0;
      const unsigned char code = fetchCharacter(scroller);
      // The last character is fetched but never shown: the message is over.
      if (scroller.scrollPos > scroller.scrollLength) return ScrollerStatus::messageEnded;
      renderGlyphTile(scroller, glyphTable, code);
    }
  }
  drawBand(scroller, cellScreen);
  return ScrollerStatus::running;
}

}  // namespace vantrel
