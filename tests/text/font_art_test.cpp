#include "tools/font/font_art.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace vantrel {
namespace {

std::string fileText(const char* path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

font::FontArtResult readArt(const std::string& text) {
  std::istringstream in(text);
  return font::readFontArt(in);
}

// Well-formed art of 256 blank glyphs: 13 lines per code, no comments.
std::string blankArt() {
  std::string art;
  for (int code = 0; code < glyphCount; ++code) {
    char header[16];
    std::snprintf(header, sizeof header, "0x%02X blank\n", code);
    art += header;
    for (int row = 0; row < glyphRows; ++row) art += "........\n";
  }
  return art;
}

TEST(FontArt, TheEmbeddedBlockIsTheCheckedInArt) {
  std::ifstream artFile(VANTREL_FONT_ART_PATH);
  ASSERT_TRUE(artFile) << VANTREL_FONT_ART_PATH;
  const font::FontArtResult art = font::readFontArt(artFile);
  ASSERT_EQ(art.error, "");

  const auto block = glyphData();
  const std::string embeddedItems(block.begin() + 2, block.end());
  EXPECT_EQ(font::glyphDataItemText(art.art.glyphs), embeddedItems)
      << "text/glyph_data_items.hpp is stale: build the target regenerate-glyph-data";

  std::ostringstream header;
  font::writeGlyphDataItemsHeader(art.art, header);
  EXPECT_EQ(header.str(), fileText(VANTREL_GLYPH_ITEMS_HEADER_PATH))
      << "text/glyph_data_items.hpp is stale: build the target regenerate-glyph-data";
}

TEST(FontArt, ReadsPixelsBitSevenFirstAndKeepsDescriptions) {
  std::string art = blankArt();
  const std::string glyphA = "0x41 blank\n";
  art.replace(art.find(glyphA), glyphA.size() + 9,
              "// comments and empty lines are skipped\n\n0x41 capital a\n#......#\n");
  const font::FontArtResult result = readArt(art);
  ASSERT_EQ(result.error, "");
  EXPECT_EQ(result.art.glyphs[0x41][0], 0x81);
  EXPECT_EQ(result.art.glyphs[0x41][1], 0);
  EXPECT_EQ(result.art.descriptions[0x41], "capital a");
}

TEST(FontArt, RejectsArtThatIsNotTwelveRowsOfEightPixelsPerCodeInOrder) {
  const std::string art = blankArt();
  const auto withLine = [&art](int lineIndex, const std::string& line) {
    std::istringstream in(art);
    std::string result;
    std::string text;
    for (int index = 0; std::getline(in, text); ++index)
      result += (index == lineIndex ? line : text) + "\n";
    return readArt(result).error;
  };
  EXPECT_EQ(withLine(1, "#......"), "line 2: expected a row of eight '#' or '.'");
  EXPECT_EQ(withLine(2, "...x...."), "line 3: expected a row of eight '#' or '.'");
  EXPECT_EQ(withLine(13, "0x02 blank"), "line 14: expected the glyph of 0x01");
  EXPECT_EQ(withLine(13, "........"), "line 14: expected a glyph header \"0xHH description\"");
  EXPECT_EQ(withLine(13, "0x01 back\\"),
            "line 14: a description is printable ASCII without backslashes");
  EXPECT_EQ(readArt(art.substr(0, art.size() - 9)).error,
            "line 3327: the last glyph has fewer than twelve rows");
  EXPECT_EQ(readArt(art.substr(0, art.find("0xFF"))).error,
            "line 3315: the art stops before glyph 0xFF");
}

}  // namespace
}  // namespace vantrel
