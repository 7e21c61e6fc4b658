#include "platform/cell_blitters.hpp"

#include "platform/code_page_437.hpp"

namespace vantrel {

namespace {

constexpr std::uint8_t black = 0;

std::uint8_t foregroundOf(Cell cell) {
  return static_cast<std::uint8_t>(cell.attribute & 0xFu);
}
std::uint8_t backgroundOf(Cell cell) {
  return static_cast<std::uint8_t>((cell.attribute >> 4) & 0xFu);
}

// Blanks and the full and half blocks: the characters a fitted cell can draw
// from its quadrants. Any other character is drawn as its background there.
bool isBlockShape(Cell cell) {
  switch (cell.character & 0xFFu) {
    case 0:
    case ' ':
    case 255:
    case 219:
    case 220:
    case 221:
    case 222:
    case 223:
      return true;
    default:
      return false;
  }
}

ViewCell asItself(Cell cell) {
  return {codePage437ToUnicode[cell.character & 0xFFu], foregroundOf(cell), backgroundOf(cell)};
}

// The two picture cells a fitted cell shows, the upper one in its top half.
struct CellPair {
  Cell top;
  Cell bottom;
};
CellPair pairAt(const CellScreen& picture, int row, int column) {
  return {picture[cellIndex(2 * row, column + 1)], picture[cellIndex(2 * row + 1, column + 1)]};
}

// A cell holds two colours: where its four quadrants would hold more (a
// ripple half beside a bar's or a letter's), each two-coloured half, the top
// one first, takes its left quadrant's colour, so the bars and the letters
// keep their exact edges and the ripple gives way.
void keepTwoColours(HalfRow& top, HalfRow& bottom) {
  const auto distinct = [&] {
    const std::array<std::uint8_t, 4> colours = {top.left, top.right, bottom.left, bottom.right};
    int count = 0;
    for (std::size_t i = 0; i < colours.size(); ++i) {
      bool seen = false;
      for (std::size_t j = 0; j < i; ++j) seen = seen || colours[j] == colours[i];
      if (!seen) ++count;
    }
    return count;
  };
  if (distinct() > 2 && top.left != top.right) top.right = top.left;
  if (distinct() > 2 && bottom.left != bottom.right) bottom.right = bottom.left;
}

// Which of a fitted cell's two colours is drawn as the character and which
// as the background: the roles one of the two picture cells gives them, so
// the ripple keeps its dark grey on black and no colour changes needlessly.
struct Roles {
  std::uint8_t foreground;
  std::uint8_t background;
};
Roles rolesFor(std::uint8_t first, std::uint8_t second, CellPair pair) {
  for (const Cell cell : {pair.top, pair.bottom}) {
    const std::uint8_t foreground = foregroundOf(cell);
    const std::uint8_t background = backgroundOf(cell);
    if (first == second) {
      if (first == background) return {foreground, background};
      if (first == foreground && foreground != background) return {foreground, background};
      continue;
    }
    if ((first == foreground && second == background) ||
        (first == background && second == foreground)) {
      return {foreground, background};
    }
  }
  if (first == second) return {first, first};
  for (const Cell cell : {pair.bottom, pair.top}) {
    if (backgroundOf(cell) == first) return {second, first};
    if (backgroundOf(cell) == second) return {first, second};
  }
  return {first, second};
}

ViewCell exactCodePage(const CellScreen& picture, int row, int column) {
  return asItself(picture[cellIndex(row, column + 1)]);
}

ViewCell exactSpaces(const CellScreen& picture, int row, int column) {
  const Cell cell = picture[cellIndex(row, column + 1)];
  return {U' ', foregroundOf(cell), halfRowOf(cell).left};
}

// A fitted cell's two colours and the quadrants its character fills with the
// foreground (see quadrantGlyphs); a mask of -1 is a line drawn as itself.
struct FittedShape {
  ViewCell line;
  int mask;
  Roles roles;
};
FittedShape fittedShapeAt(const CellScreen& picture, int row, int column) {
  const CellPair pair = pairAt(picture, row, column);
  // A bar's body: the same line in both halves stays the line it is.
  if (pair.top == pair.bottom && !isBlockShape(pair.top)) return {asItself(pair.top), -1, {}};
  HalfRow top = halfRowOf(pair.top);
  HalfRow bottom = halfRowOf(pair.bottom);
  keepTwoColours(top, bottom);
  const std::uint8_t other =
      top.right != top.left ? top.right : (bottom.left != top.left ? bottom.left : bottom.right);
  const Roles roles = rolesFor(top.left, other, pair);
  const auto bit = [&roles](std::uint8_t colour, int value) {
    return colour == roles.foreground && roles.foreground != roles.background ? value : 0;
  };
  const int mask =
      bit(top.left, 8) | bit(top.right, 4) | bit(bottom.left, 2) | bit(bottom.right, 1);
  return {{}, mask, roles};
}

ViewCell drawShape(const FittedShape& shape, int mask) {
  if (shape.mask < 0) return shape.line;
  if (shape.roles.foreground == shape.roles.background) {
    return {U' ', shape.roles.foreground, shape.roles.background};
  }
  return {quadrantGlyphs[static_cast<std::size_t>(mask)], shape.roles.foreground,
          shape.roles.background};
}

ViewCell fittedBlocks(const CellScreen& picture, int row, int column) {
  const FittedShape shape = fittedShapeAt(picture, row, column);
  return drawShape(shape, shape.mask);
}

// Quadrants that no half block draws (a ripple's diagonal or its three and
// one) take the top half's left and right colours down to the bottom half:
// the upper picture cell's ripple, at most two quadrants off, and never a
// bar's or a letter's, whose cells split into top and bottom halves only.
int halfBlockMask(int mask) {
  switch (mask) {
    case 0:
    case 3:
    case 5:
    case 10:
    case 12:
    case 15:
      return mask;
    default:
      return ((mask & 8) != 0 ? 10 : 0) | ((mask & 4) != 0 ? 5 : 0);
  }
}

ViewCell fittedHalfBlocks(const CellScreen& picture, int row, int column) {
  const FittedShape shape = fittedShapeAt(picture, row, column);
  return drawShape(shape, shape.mask < 0 ? shape.mask : halfBlockMask(shape.mask));
}

// One colour for two picture cells: where they differ, the one on a
// background other than black (the bars and the letters are drawn on theirs,
// the ripple on black), else the lower one, so a bar's top half shows.
ViewCell fittedSpaces(const CellScreen& picture, int row, int column) {
  const CellPair pair = pairAt(picture, row, column);
  const bool topStandsOut = backgroundOf(pair.top) != black && backgroundOf(pair.bottom) == black;
  const Cell kept = topStandsOut ? pair.top : pair.bottom;
  return {U' ', foregroundOf(kept), halfRowOf(kept).left};
}

// By view, then by the characters the console draws, in the order of Glyphs.
constexpr std::array<Blitter, 6> blitters = {{
    {screenColumns, screenRows, exactCodePage},
    {screenColumns, screenRows, exactCodePage},
    {screenColumns, screenRows, exactSpaces},
    {screenColumns, screenRows / 2, fittedBlocks},
    {screenColumns, screenRows / 2, fittedHalfBlocks},
    {screenColumns, screenRows / 2, fittedSpaces},
}};

}  // namespace

HalfRow halfRowOf(Cell cell) {
  const std::uint8_t foreground = foregroundOf(cell);
  const std::uint8_t background = backgroundOf(cell);
  switch (cell.character & 0xFFu) {
    case 219:  // full block
    case 223:  // upper half block: its top half is the first sample
      return {foreground, foreground};
    case 221:  // left half block
      return {foreground, background};
    case 222:  // right half block
      return {background, foreground};
    default:  // blanks, the lower half block (its top is empty) and every other character
      return {background, background};
  }
}

const Blitter& blitterFor(View view, Glyphs glyphs) {
  const std::size_t row = view == View::exact ? 0 : 3;
  return blitters[row + static_cast<std::size_t>(glyphs)];
}

}  // namespace vantrel
