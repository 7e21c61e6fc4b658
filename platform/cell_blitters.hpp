#pragma once
// The families of characters the 80 x 50 picture can be shown with, one
// small blitter each, picked by the view and by what the console can draw:
//
//   view    characters   one console cell shows
//   exact   code page    one picture cell, its own character and colours
//   exact   spaces       one picture cell as one colour
//   fitted  blocks       two picture cells, one above the other, in quadrant
//                        and half-block characters, two colours a cell
//   fitted  halfBlocks   the same, in the full block and the four half
//                        blocks only, the characters every console font has
//   fitted  spaces       two picture cells as one colour
//
// The fitted view is 80 x 25 console cells and so fits the usual 80 x 24
// terminal. Plain C++: the terminal layer and the Windows console share it.

#include <array>
#include <cstdint>

#include "screen/cell_screen.hpp"

namespace vantrel {

// What one console cell shows: a Unicode character in a foreground and a
// background colour, both console colour numbers 0..15 (bit 0 blue, 1 green,
// 2 red, 3 intensity). A space shows no foreground.
struct ViewCell {
  char32_t glyph = U' ';
  std::uint8_t foreground = 7;
  std::uint8_t background = 0;

  friend bool operator==(const ViewCell&, const ViewCell&) = default;
};

enum class View { exact, fitted };
// What the console can draw: the block and line characters; the line
// characters with only the full and the half blocks, code page 437's own,
// which every console font has (the Windows console: Consolas cannot be
// relied on for the quadrants, and a missing character shows as a box); or
// only spaces (a terminal without UTF-8, or one that draws the blocks two
// columns wide). The exact view draws code page 437 characters only, so
// halfBlocks shows it as blocks does.
enum class Glyphs { blocks, halfBlocks, spaces };

struct Blitter {
  int columns;  // of the view, in console cells
  int rows;
  // The cell of the view at `row` (0 = top) and `column` (0 = left).
  ViewCell (*draw)(const CellScreen& picture, int row, int column);
};

const Blitter& blitterFor(View view, Glyphs glyphs);

// The colours of a picture cell's left and right halves as a fitted cell's
// quadrant row shows them. The left half is the cell's first sample point;
// a cell split into top and bottom keeps its top half, that same point.
struct HalfRow {
  std::uint8_t left;
  std::uint8_t right;
};
HalfRow halfRowOf(Cell cell);

// The quadrant and half-block characters by the quadrants they fill: bit 3
// top left, 2 top right, 1 bottom left, 0 bottom right (0 is a space).
inline constexpr std::array<char32_t, 16> quadrantGlyphs = {
    U' ',      U'\u2597', U'\u2596', U'\u2584', U'\u259D', U'\u2590', U'\u259E', U'\u259F',
    U'\u2598', U'\u259A', U'\u258C', U'\u2599', U'\u2580', U'\u259C', U'\u259B', U'\u2588',
};

}  // namespace vantrel
