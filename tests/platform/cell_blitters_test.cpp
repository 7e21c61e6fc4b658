// The fitted view in half blocks, the Windows console's: the characters every
// console font has, the nearest of them to the quadrants where no half block
// draws them, and, for the bars and the letters, exactly the cells of the
// fitted view that real terminals are tested with.

#include "platform/cell_blitters.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <optional>

#include "support/demo_frames.hpp"

namespace vantrel {
namespace {

const Blitter& halfBlocks() {
  return blitterFor(View::fitted, Glyphs::halfBlocks);
}
const Blitter& quadrants() {
  return blitterFor(View::fitted, Glyphs::blocks);
}

// The quadrants a half-block character fills (bit 3 top left, 2 top right,
// 1 bottom left, 0 bottom right), or nothing for any other character.
std::optional<int> halfBlockQuadrants(char32_t glyph) {
  switch (glyph) {
    case U' ':
      return 0;
    case U'\u2588':
      return 15;
    case U'\u2580':
      return 12;
    case U'\u2584':
      return 3;
    case U'\u258C':
      return 10;
    case U'\u2590':
      return 5;
    default:
      return std::nullopt;
  }
}

// A ripple cell (dark grey on black) whose left and right halves are lit as asked.
Cell rippleCell(bool left, bool right) {
  const std::uint16_t character = left && right ? 219 : left ? 221 : right ? 222 : 0;
  return {character, 0x08};
}

TEST(HalfBlockView, DrawsEveryRippleShapeWithTheNearestHalfBlock) {
  for (int mask = 0; mask < 16; ++mask) {
    CellScreen picture;
    picture[cellIndex(0, 1)] = rippleCell((mask & 8) != 0, (mask & 4) != 0);
    picture[cellIndex(1, 1)] = rippleCell((mask & 2) != 0, (mask & 1) != 0);
    const ViewCell cell = halfBlocks().draw(picture, 0, 0);
    const auto shown = halfBlockQuadrants(cell.glyph);
    ASSERT_TRUE(shown) << "mask " << mask << ": U+" << std::hex << static_cast<long>(cell.glyph);
    // Lit quadrants in dark grey, dark ones black, whichever colour the character takes.
    const int lit = cell.foreground == 8 ? *shown : (cell.background == 8 ? 15 & ~*shown : 0);
    EXPECT_TRUE(cell.foreground == 8 || cell.background == 8 || mask == 0) << "mask " << mask;
    int nearest = 4;
    for (const int drawable : {0, 3, 5, 10, 12, 15}) {
      nearest = std::min(nearest, std::popcount(static_cast<unsigned>(drawable ^ mask)));
    }
    EXPECT_EQ(std::popcount(static_cast<unsigned>(lit ^ mask)), nearest) << "mask " << mask;
    if (nearest == 0) {
      EXPECT_EQ(cell, quadrants().draw(picture, 0, 0)) << "mask " << mask;
    }
  }
}

bool showsBarOrLetter(ViewCell cell) {
  const auto barOrLetter = [](int colour) { return colour == 4 || colour == 12 || colour == 9; };
  return barOrLetter(cell.background) || (cell.glyph != U' ' && barOrLetter(cell.foreground));
}

TEST(HalfBlockView, KeepsEveryBarAndLetterCellOfTheFittedView) {
  testing::DemoFrames frames;
  int reduced = 0;
  for (int frame = 1; frame <= 300; ++frame) {
    const CellScreen& picture = frames.next();
    for (int row = 0; row < halfBlocks().rows; ++row) {
      for (int column = 0; column < halfBlocks().columns; ++column) {
        const ViewCell wanted = quadrants().draw(picture, row, column);
        const ViewCell shown = halfBlocks().draw(picture, row, column);
        if (shown == wanted) continue;
        ++reduced;
        ASSERT_FALSE(showsBarOrLetter(wanted))
            << "frame " << frame << ", cell (" << row << "," << column << ")";
        ASSERT_TRUE(halfBlockQuadrants(shown.glyph));
      }
    }
  }
  EXPECT_GT(reduced, 0) << "no ripple cell needed a quadrant: the check above checked nothing";
}

}  // namespace
}  // namespace vantrel
