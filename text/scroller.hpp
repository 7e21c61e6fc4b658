#pragma once
// The big-text scroller: the message in 8 x 12 letters, one cell per pixel,
// moving right to left through screen rows 11..22.

#include <array>
#include <cstdint>
#include <string>

#include "driver/cell_screen.hpp"
#include "text/glyph_table.hpp"

namespace vantrel {

inline constexpr int scrollBandWidth = 80;
inline constexpr int scrollBandHeight = 12;
inline constexpr int scrollBandTopRow = 11;

struct Scroller {
  std::array<std::array<Cell, 12>, 12> glyphTile{};                              // [row][column]
  std::array<std::array<Cell, scrollBandHeight>, scrollBandWidth> scrollBand{};  // [x][row]
  std::string scrollText;
  std::int32_t scrollLength = 0;
  std::int32_t scrollPos = 0;
  std::int32_t glyphColumn = 0;
  std::int32_t scrollFrameCount = 0;
};

enum class ScrollerStatus { running, messageEnded };

void renderGlyphTile(Scroller& scroller, const GlyphTable& glyphTable, unsigned char code);
void initScroller(Scroller& scroller, const GlyphTable& glyphTable);
// Moves, feeds and draws the band; messageEnded when the last character is
// fetched, in which case nothing of this frame is drawn.
ScrollerStatus drawScroller(Scroller& scroller, const GlyphTable& glyphTable,
                            CellScreen& cellScreen);

}  // namespace vantrel
