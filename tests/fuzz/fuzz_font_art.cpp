// The font art reader over arbitrary text: it either reads a whole font or
// says on which line it stopped, and a font read whole makes the full block
// of glyph items.

#include <sstream>

#include "fuzz_input.hpp"
#include "tools/font/font_art.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantrel;
  using fuzz::require;
  std::istringstream in{std::string(fuzz::asText({data, size}))};
  const font::FontArtResult result = font::readFontArt(in);
  if (!result.error.empty()) {
    require(result.error.rfind("line ", 0) == 0, "an error that names no line");
    return 0;
  }
  for (const auto& glyph : result.art.glyphs) {
    for (const std::int32_t row : glyph)
      require(row >= 0 && row <= 0xFF, "a row wider than 8 pixels");
  }
  // Twelve two-digit rows and an eight-character label per code, each item
  // followed by its NUL.
  require(font::glyphDataItemText(result.art.glyphs).size() == glyphCount * (12 * 3 + 9),
          "a glyph block of the wrong size");
  return 0;
}
