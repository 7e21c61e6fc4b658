#include "platform/terminal/sixel_image.hpp"

#include <algorithm>
#include <array>
#include <cstdint>

#include "platform/terminal/terminal_sequences.hpp"
#include "screen/console_palette.hpp"

namespace vantrel {

namespace {

constexpr int bandRows = 6;
constexpr int colourCount = 16;
constexpr char emptySixel = '?';
// The widest picture encoded: the console's 640 pixels, with room to spare.
constexpr std::size_t maxPictureWidth = 1024;

std::uint16_t bitOf(std::uint8_t colour) {
  return static_cast<std::uint16_t>(1U << (colour & 0x0F));
}

int percentOf(std::uint8_t level) {
  return (level * 100 + 127) / 255;
}

// A run of one sixel character: repeated as it is when short, as !count
// when that is shorter.
void appendRun(OutputBuffer& out, char sixel, int count) {
  if (count > 3) {
    out.append('!');
    out.appendNumber(count);
    out.append(sixel);
    return;
  }
  for (int i = 0; i < count; ++i) out.append(sixel);
}

// Writes the bands of one image, colour by colour.
class SixelWriter {
 public:
  SixelWriter(OutputBuffer& out, const ColourIndexPicture& picture, int scale)
      : out_(out), picture_(picture), scale_(scale) {}

  // The six rows of scaled pixels from `top` (fewer at the image's end):
  // each colour's sixel at every picture column, found in one pass, then
  // sent colour by colour.
  void band(int top, int rows) {
    std::uint16_t used = 0;
    for (int x = 0; x < picture_.width; ++x) {
      for (int row = 0; row < rows; ++row) {
        const std::uint8_t colour = picture_.at(x, (top + row) / scale_) & 0x0F;
        if ((used & bitOf(colour)) == 0) {
          used = static_cast<std::uint16_t>(used | bitOf(colour));
          std::fill_n(sixels_[colour].begin(), picture_.width, std::uint8_t{0});
        }
        std::uint8_t& sixel = sixels_[colour][static_cast<std::size_t>(x)];
        sixel = static_cast<std::uint8_t>(sixel | (1U << row));
      }
    }
    bool first = true;
    for (int colour = 0; colour < colourCount; ++colour) {
      if ((used & bitOf(static_cast<std::uint8_t>(colour))) == 0) continue;
      if (!first) out_.append('$');  // back to the band's start for the next colour
      first = false;
      out_.append('#');
      out_.appendNumber(colour);
      colourInBand(sixels_[static_cast<std::size_t>(colour)]);
    }
  }

  std::uint16_t coloursOfRow(int y) const {
    std::uint16_t used = 0;
    const int pictureRow = y / scale_;
    for (int x = 0; x < picture_.width; ++x)
      used = static_cast<std::uint16_t>(used | bitOf(picture_.at(x, pictureRow)));
    return used;
  }

 private:
  void colourInBand(const std::array<std::uint8_t, maxPictureWidth>& bits) {
    char runSixel = emptySixel;
    int runLength = 0;
    int blanks = 0;  // empty columns not yet sent: left out at the band's end
    for (int x = 0; x < picture_.width; ++x) {
      const char sixel = static_cast<char>(emptySixel + bits[static_cast<std::size_t>(x)]);
      if (sixel == runSixel) {
        runLength += scale_;
        continue;
      }
      flush(runSixel, runLength, blanks);
      runSixel = sixel;
      runLength = scale_;
    }
    if (runSixel != emptySixel) flush(runSixel, runLength, blanks);
  }

  void flush(char sixel, int length, int& blanks) {
    if (length == 0) return;
    if (sixel == emptySixel) {
      blanks += length;
      return;
    }
    if (blanks > 0) appendRun(out_, emptySixel, blanks);
    blanks = 0;
    appendRun(out_, sixel, length);
  }

  OutputBuffer& out_;
  const ColourIndexPicture& picture_;
  int scale_;
  // Each colour's sixel at each picture column of the band being written.
  std::array<std::array<std::uint8_t, maxPictureWidth>, colourCount> sixels_;
};

}  // namespace

void appendSixelImage(OutputBuffer& out, const ColourIndexPicture& picture, int scale, int top,
                      int height) {
  SixelWriter writer(out, picture, scale);
  // P2 = 1: pixels no colour is drawn in keep what was there. Raster
  // attributes: square pixels, the image's size.
  out.append("\x1bP0;1;0q\"1;1;");
  out.appendNumber(picture.width * scale);
  out.append(';');
  out.appendNumber(height);
  std::uint16_t used = 0;
  for (int y = top; y < top + height; ++y)
    used = static_cast<std::uint16_t>(used | writer.coloursOfRow(y));
  for (int colour = 0; colour < colourCount; ++colour) {
    if ((used & (1U << colour)) == 0) continue;
    const Rgb rgb = consolePalette[static_cast<std::size_t>(colour)];
    out.append('#');
    out.appendNumber(colour);
    out.append(";2;");
    out.appendNumber(percentOf(rgb.red));
    out.append(';');
    out.appendNumber(percentOf(rgb.green));
    out.append(';');
    out.appendNumber(percentOf(rgb.blue));
  }
  for (int band = top; band < top + height; band += bandRows) {
    if (band > top) out.append('-');  // the next band
    writer.band(band, std::min(bandRows, top + height - band));
  }
  out.append(stringTerminator);
}

std::size_t sixelImageSizeFor(int width, int scale, int height) {
  const std::size_t bands = static_cast<std::size_t>((height + bandRows - 1) / bandRows);
  // At worst every colour of a band changes at every column.
  const std::size_t perBand =
      static_cast<std::size_t>(colourCount) *
      (5 + static_cast<std::size_t>(width) * static_cast<std::size_t>(scale));
  return 64 + colourCount * 16 + bands * (perBand + 1);
}

}  // namespace vantrel
