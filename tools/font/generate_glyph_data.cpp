// Reads the font's pixel art and writes the header that embeds it as the
// glyph data block's items.
//
//   vantrel-generate-glyph-data <font art> <output header>

#include <fstream>
#include <iostream>
#include <sstream>

#include "tools/font/font_art.hpp"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: vantrel-generate-glyph-data <font art> <output header>\n";
    return 2;
  }
  std::ifstream artFile(argv[1]);
  if (!artFile) {
    std::cerr << argv[1] << ": cannot be read\n";
    return 1;
  }
  const vantrel::font::FontArtResult art = vantrel::font::readFontArt(artFile);
  if (!art.error.empty()) {
    std::cerr << argv[1] << ": " << art.error << '\n';
    return 1;
  }
  std::ostringstream header;
  vantrel::font::writeGlyphDataItemsHeader(art.art, header);
  std::ofstream out(argv[2], std::ios::binary);
  out << header.str();
  if (!out.flush()) {
    std::cerr << argv[2] << ": cannot be written\n";
    return 1;
  }
  return 0;
}
