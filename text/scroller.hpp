#pragma once
// The big-text scroller: the message in 8 x 12 letters, one cell per pixel,
// moving right to left through screen rows 11..22.

#include <array>
#include <cstdint>
#include <string>

#include "screen/cell_screen.hpp"
#include "text/glyph_table.hpp"

namespace vantrel {

inline constexpr int scrollBandWidth = 80;
inline constexpr int scrollBandHeight = 12;
inline constexpr int scrollBandTopRow = 11;
inline constexpr int glyphWidth = 8;
// The tile is wider than a glyph; only its first glyphWidth columns are used.
inline constexpr int glyphTileSize = 12;

// A pixel that is lit: character 0 on bright blue (blue foreground).
inline constexpr Cell litCell{0, 0x0091};
// An unlit pixel: transparent, the screen keeps what lies under it.
inline constexpr Cell blankCell{0, 0};

struct Scroller {
  std::array<std::array<Cell, glyphTileSize>, glyphTileSize> glyphTile{};        // [row][column]
  std::array<std::array<Cell, scrollBandHeight>, scrollBandWidth> scrollBand{};  // [x][row]
  std::string scrollText;
  std::int32_t scrollLength = 0;  // characters of scrollText that are shown
  std::int32_t scrollPos = 0;     // 1-based position of the next character to fetch
  std::int32_t glyphColumn = 0;   // tile column the next move feeds in, 0..7
  std::int32_t scrollFrameCount = 0;
};

enum class ScrollerStatus { running, messageEnded };

// Renders the glyph of `code` into columns 0..7 of the tile.
void renderGlyphTile(Scroller& scroller, const GlyphTable& glyphTable, unsigned char code);
// Fetches the first character and renders it; needs scrollText, scrollLength,
// scrollPos = 1 and glyphColumn = 0 set, and the glyph table loaded.
void initScroller(Scroller& scroller, const GlyphTable& glyphTable);
// Moves, feeds and draws the band; messageEnded when the last character is
// fetched, in which case nothing of this frame is drawn.
ScrollerStatus drawScroller(Scroller& scroller, const GlyphTable& glyphTable,
                            CellScreen& cellScreen);

}  // namespace vantrel
