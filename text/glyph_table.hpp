#pragma once
// The 8 x 12 font: carried as a block of short text items, decoded once at start-up.

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace vantrel {

inline constexpr int glyphCount = 256;
inline constexpr int glyphRows = 12;
inline constexpr int glyphDataItemCount = glyphCount * (glyphRows + 1);
inline constexpr std::size_t glyphDataSize = 11522;

// glyphTable[code][row]: one pixel row, bit 7 the leftmost pixel, row 0 the top.
using GlyphTable = std::array<std::array<std::int32_t, glyphRows>, glyphCount>;

// The embedded block: a 16-bit little-endian item count, then the
// NUL-terminated items.
std::span<const unsigned char, glyphDataSize> glyphData();

// Item n (1-based) of the block; empty outside 1..item count.
std::string_view readDataItem(int n);

void loadGlyphTable(GlyphTable& glyphTable);

}  // namespace vantrel
