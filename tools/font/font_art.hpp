#pragma once
// The font's pixel-art source: reading it, and turning it into the embedded
// block of text items and the source file that carries that block.
//
// Art format: one glyph per character code, codes 0x00 to 0xFF in ascending
// order. A glyph is a header line "0xHH description", then twelve lines of
// eight pixels, '#' lit and '.' unlit, top row first. Empty lines and lines
// starting with "//" are ignored.

#include <array>
#include <iosfwd>
#include <string>

#include "text/glyph_table.hpp"

namespace vantrel::font {

struct FontArt {
  GlyphTable glyphs{};
  std::array<std::string, glyphCount> descriptions;
};

struct FontArtResult {
  FontArt art;
  std::string error;  // empty when the art was read whole; else "line N: what is wrong"
};

FontArtResult readFontArt(std::istream& in);

// The items of the embedded block, each followed by its NUL: per code twelve
// rows as two uppercase hex digits, then the label "CHR$(HH)".
std::string glyphDataItemText(const GlyphTable& glyphs);

// The C++ header that carries the item text as one string literal, a line per code.
void writeGlyphDataItemsHeader(const FontArt& art, std::ostream& out);

}  // namespace vantrel::font
