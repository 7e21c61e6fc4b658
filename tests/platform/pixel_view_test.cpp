// The pixel view read back by decoders that are not ours: libpng reads the
// palette PNG, libsixel the sixel images, and the kitty protocol's chunks
// are taken apart by the rules its terminals follow; then the presenter's
// frames of the demo's own cell screens against the frame tool's picture of
// them, and where it places them.

#include <gtest/gtest.h>
#include <png.h>
#include <sixel/sixel.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "picture/console_picture.hpp"
#include "platform/terminal/kitty_graphics.hpp"
#include "platform/terminal/palette_png.hpp"
#include "platform/terminal/pixel_presenter.hpp"
#include "platform/terminal/sixel_image.hpp"
#include "screen/console_palette.hpp"
#include "support/demo_frames.hpp"
#include "text/glyph_table.hpp"

namespace vantrel {
namespace {

// A picture of every console colour: runs of one colour (as the ripple and
// the letters make), single pixels and the widths' odd ends.
struct TestPicture {
  std::vector<std::uint8_t> pixels;
  ColourIndexPicture view;

  TestPicture(int width, int height, unsigned seed)
      : pixels(static_cast<std::size_t>(width * height)) {
    std::mt19937 random(seed);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
      pixels[i] = i % 7 < 4 && i > 0 ? pixels[i - 1] : static_cast<std::uint8_t>(random() % 16);
    }
    view = {pixels, width, height};
  }
};

std::vector<Rgb> decodePng(std::span<const std::uint8_t> png, int& width, int& height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_memory(&image, png.data(), png.size()) == 0) {
    ADD_FAILURE() << "libpng: " << image.message;
    return {};
  }
  image.format = PNG_FORMAT_RGB;
  std::vector<Rgb> rgb(PNG_IMAGE_SIZE(image) / 3);
  if (png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr) == 0) {
    ADD_FAILURE() << "libpng: " << image.message;
    return {};
  }
  width = static_cast<int>(image.width);
  height = static_cast<int>(image.height);
  return rgb;
}

TEST(PixelEncoding, ThePalettePngIsThePictureScaledPixelForPixel) {
  PalettePngEncoder encoder;
  for (const int scale : {1, 2, 3}) {
    for (const int width : {1, 37, 640}) {
      const TestPicture picture(width, 25, static_cast<unsigned>(width + scale));
      int decodedWidth = 0;
      int decodedHeight = 0;
      const std::vector<Rgb> rgb =
          decodePng(encoder.encode(picture.view, scale), decodedWidth, decodedHeight);
      ASSERT_EQ(decodedWidth, width * scale);
      ASSERT_EQ(decodedHeight, 25 * scale);
      for (int y = 0; y < decodedHeight; ++y) {
        for (int x = 0; x < decodedWidth; ++x) {
          ASSERT_EQ(rgb[static_cast<std::size_t>(y * decodedWidth + x)],
                    consolePalette[picture.view.at(x / scale, y / scale)])
              << "scale " << scale << " width " << width << " at " << x << "," << y;
        }
      }
    }
  }
}

std::string base64Decoded(std::string_view text) {
  const std::string_view digits =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string bytes;
  std::uint32_t group = 0;
  int bits = 0;
  for (const char c : text) {
    if (c == '=') break;
    group = (group << 6) | static_cast<std::uint32_t>(digits.find(c));
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      bytes += static_cast<char>((group >> bits) & 0xFF);
    }
  }
  return bytes;
}

struct KittyImage {
  std::string firstKeys;
  std::string png;
};

// Each chunk: ESC _ G keys ; payload ESC \, the keys only on the first, m=1
// on all but the last, every payload but the last a multiple of 4 and none
// over 4096 characters. The payloads joined are the PNG.
KittyImage takeKittyImage(std::string_view& rest) {
  KittyImage image;
  for (bool last = false; !last;) {
    if (!rest.starts_with("\x1b_G")) {
      ADD_FAILURE() << "no chunk at " << rest.substr(0, 20);
      return image;
    }
    const std::size_t end = rest.find("\x1b\\");
    if (end == std::string_view::npos) {
      ADD_FAILURE() << "a chunk without its end";
      return image;
    }
    const std::string_view chunk = rest.substr(3, end - 3);
    rest.remove_prefix(end + 2);
    const std::string_view keys = chunk.substr(0, chunk.find(';'));
    const std::string_view payload = chunk.substr(keys.size() + 1);
    last = keys.ends_with("m=0");
    EXPECT_TRUE(last || keys.ends_with("m=1")) << keys;
    if (image.firstKeys.empty()) {
      image.firstKeys = keys;
    } else {
      EXPECT_EQ(keys, last ? "m=0" : "m=1") << "keys only on the first chunk";
    }
    EXPECT_LE(payload.size(), kittyChunkSize);
    if (!last) {
      EXPECT_EQ(payload.size() % 4, 0U);
    }
    image.png += base64Decoded(payload);
  }
  return image;
}

TEST(PixelEncoding, TheKittyImageIsChunkedAsTheProtocolAsks) {
  for (const std::size_t size : {std::size_t{1}, std::size_t{3071}, std::size_t{3072},
                                 std::size_t{3073}, std::size_t{20000}}) {
    std::vector<std::uint8_t> png(size);
    for (std::size_t i = 0; i < size; ++i) png[i] = static_cast<std::uint8_t>(i * 7 + 3);
    OutputBuffer out;
    appendKittyImage(out, png);
    EXPECT_LE(out.size(), kittyImageSizeFor(size));
    std::string_view rest = out.view();
    const KittyImage image = takeKittyImage(rest);
    EXPECT_TRUE(rest.empty());
    for (const char* key : {"a=T", "f=100", "i=7", "p=1", "C=1", "q=2"}) {
      EXPECT_NE(image.firstKeys.find(key), std::string::npos) << key << " in " << image.firstKeys;
    }
    EXPECT_EQ(image.png, std::string(png.begin(), png.end())) << size;
  }
}

struct Sixel {
  std::vector<std::uint8_t> pixels;
  std::vector<Rgb> palette;
  int width = 0;
  int height = 0;
};

Sixel decodeSixel(std::string_view bytes) {
  std::vector<unsigned char> input(bytes.begin(), bytes.end());
  unsigned char* pixels = nullptr;
  unsigned char* palette = nullptr;
  int colours = 0;
  Sixel sixel;
  const SIXELSTATUS status =
      sixel_decode_raw(input.data(), static_cast<int>(input.size()), &pixels, &sixel.width,
                       &sixel.height, &palette, &colours, nullptr);
  if (SIXEL_FAILED(status)) {
    ADD_FAILURE() << "libsixel could not decode the image";
    return sixel;
  }
  sixel.pixels.assign(pixels, pixels + sixel.width * sixel.height);
  for (int i = 0; i < colours; ++i) {
    sixel.palette.push_back({palette[3 * i], palette[3 * i + 1], palette[3 * i + 2]});
  }
  free(pixels);
  free(palette);
  return sixel;
}

// Sixel's colours are whole percents: the console's 128 is 50%, 127 or 128
// back; its 192 is 75%, 191. One level off at most.
bool withinAPercent(Rgb shown, Rgb wanted) {
  const auto near = [](int a, int b) { return a - b <= 1 && b - a <= 1; };
  return near(shown.red, wanted.red) && near(shown.green, wanted.green) &&
         near(shown.blue, wanted.blue);
}

TEST(PixelEncoding, TheSixelImageIsThePictureWithinSixelsPercents) {
  struct Case {
    int width, height, scale, top, rows;
  };
  for (const Case c : {Case{640, 30, 1, 0, 30}, Case{37, 25, 2, 0, 50}, Case{37, 25, 3, 7, 41},
                       Case{5, 4, 1, 1, 1}}) {
    const TestPicture picture(c.width, c.height, static_cast<unsigned>(c.width * c.scale));
    OutputBuffer out;
    appendSixelImage(out, picture.view, c.scale, c.top, c.rows);
    EXPECT_LE(out.size(), sixelImageSizeFor(c.width, c.scale, c.rows));
    const Sixel sixel = decodeSixel(out.view());
    ASSERT_EQ(sixel.width, c.width * c.scale);
    ASSERT_EQ(sixel.height, c.rows);
    for (int y = 0; y < c.rows; ++y) {
      for (int x = 0; x < sixel.width; ++x) {
        const std::uint8_t index = sixel.pixels[static_cast<std::size_t>(y * sixel.width + x)];
        ASSERT_LT(index, sixel.palette.size());
        const Rgb wanted = consolePalette[picture.view.at(x / c.scale, (c.top + y) / c.scale)];
        ASSERT_TRUE(withinAPercent(sixel.palette[index], wanted))
            << c.width << "x" << c.height << " scale " << c.scale << " at " << x << "," << y;
      }
    }
  }
}

// kitty at 80 x 50 cells of 10 x 19 pixels, xterm -ti vt340 at 110 x 50 of
// 6 x 13, Konsole at 80 x 24 of 8 x 17.
TEST(PixelView, PlacesThePictureAtTheLargestWholeScaleCentredOnCells) {
  struct Case {
    ImageProtocol protocol;
    TerminalSize shown;
    CellPixels cell;
    CellPixels sixelLimit;
    PixelPlacement placed;
  };
  const CellPixels kitty{10, 19};
  const CellPixels xterm{6, 13};
  for (const Case& c : {
           Case{ImageProtocol::kitty, {80, 50}, kitty, {}, {1, 8, 9, kitty}},
           Case{ImageProtocol::kitty, {128, 64}, kitty, {}, {2, 0, 0, kitty}},
           Case{ImageProtocol::kitty, {200, 80}, {8, 17}, {}, {2, 20, 4, {8, 17}}},
           Case{ImageProtocol::kitty, {80, 24}, {8, 17}, {}, {}},  // 408 rows of pixels
           Case{ImageProtocol::sixel, {110, 50}, xterm, {}, {1, 1, 1, xterm}},
           // 47 rows of 13 hold 611 pixels, but the last row is kept free.
           Case{ImageProtocol::sixel, {110, 47}, xterm, {}, {}},
           Case{ImageProtocol::sixel, {110, 50}, xterm, {480, 312}, {}},
           Case{ImageProtocol::sixel, {110, 50}, xterm, {16384, 16384}, {1, 1, 1, xterm}},
           Case{ImageProtocol::kitty, {80, 50}, {}, {}, {}},
           Case{ImageProtocol::none, {80, 50}, kitty, {}, {}},
       }) {
    EXPECT_EQ(placePicture(c.protocol, c.shown, c.cell, c.sixelLimit), c.placed)
        << c.shown.columns << "x" << c.shown.rows;
  }
}

// The first cursor move (CSI row ; column H) in `rest`, 0-based; `rest`
// then starts after it.
std::pair<int, int> cursorOf(std::string_view& rest) {
  for (std::size_t at = rest.find("\x1b["); at != std::string_view::npos;
       at = rest.find("\x1b[", at + 1)) {
    int row = 0;
    int column = 0;
    int length = 0;
    const std::string text(rest.substr(at + 2, 16));
    if (std::sscanf(text.c_str(), "%d;%dH%n", &row, &column, &length) == 2 && length > 0) {
      rest.remove_prefix(at + 2 + static_cast<std::size_t>(length));
      return {row - 1, column - 1};
    }
  }
  ADD_FAILURE() << "no cursor move";
  return {-1, -1};
}

// The frame tool's picture of `screen`, scaled.
Rgb pictureAt(const RgbImage& picture, int scale, int x, int y) {
  return picture.at(x / scale, y / scale);
}

TEST(PixelView, KittyFramesAreThePictureOfTheFrameToolWholeAndOnlyWhenItChanges) {
  testing::DemoFrames frames;
  GlyphTable glyphTable{};
  loadGlyphTable(glyphTable);
  PixelPresenter presenter(ImageProtocol::kitty);
  presenter.place({2, 3, 4, {10, 19}});
  for (int frame = 0; frame < 3; ++frame) {
    const CellScreen& screen = frames.next();
    std::string_view rest = presenter.render(screen);
    EXPECT_EQ(rest.find("\x1b[2J") != std::string_view::npos, frame == 0)
        << "the screen cleared for the first frame only";
    EXPECT_EQ(cursorOf(rest), (std::pair{4, 3}));
    const KittyImage image = takeKittyImage(rest);
    EXPECT_EQ(rest, "\x1b[?2026l");
    int width = 0;
    int height = 0;
    const std::vector<Rgb> shown = decodePng(
        {reinterpret_cast<const std::uint8_t*>(image.png.data()), image.png.size()}, width, height);
    ASSERT_EQ(width, 1280);
    ASSERT_EQ(height, 1200);
    const RgbImage picture = drawCellScreen(screen, glyphTable);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        ASSERT_EQ(shown[static_cast<std::size_t>(y * width + x)], pictureAt(picture, 2, x, y))
            << "frame " << frame << " at " << x << "," << y;
      }
    }
    EXPECT_TRUE(presenter.render(screen).empty()) << "the same picture again sends nothing";
  }
}

// A change in one cell row sends the rows from the top of the terminal row
// it starts in; the rest stays as it was sent.
TEST(PixelView, SixelFramesSendTheRowsThatChangedFromTheTerminalRowTheyStartIn) {
  testing::DemoFrames frames;
  GlyphTable glyphTable{};
  loadGlyphTable(glyphTable);
  const CellPixels cell{6, 13};
  PixelPresenter presenter(ImageProtocol::sixel);
  presenter.place({1, 1, 2, cell});
  CellScreen screen = frames.next();
  std::string_view whole = presenter.render(screen);
  whole.remove_prefix(whole.find("\x1b[2J"));
  EXPECT_EQ(cursorOf(whole), (std::pair{2, 1}));
  Sixel sixel = decodeSixel(whole.substr(0, whole.find("\x1b\\") + 2));
  EXPECT_EQ(sixel.width, 640);
  EXPECT_EQ(sixel.height, 600);
  const auto matches = [&glyphTable](const Sixel& image, const CellScreen& cells, int fromRow) {
    const RgbImage picture = drawCellScreen(cells, glyphTable);
    for (int y = 0; y < image.height; ++y) {
      for (int x = 0; x < image.width; ++x) {
        const Rgb shown =
            image.palette[image.pixels[static_cast<std::size_t>(y * image.width + x)]];
        if (!withinAPercent(shown, picture.at(x, fromRow + y))) return false;
      }
    }
    return true;
  };
  EXPECT_TRUE(matches(sixel, screen, 0));

  // Picture rows 144..155 (cell row 12) change: the picture starts at pixel
  // 26 (terminal row 2), so they are pixels 170..181, all in terminal row 13
  // (pixels 169..181), which is sent whole from picture row 143.
  for (int column = 1; column <= screenColumns; ++column)
    screen[cellIndex(12, column)] = {219, 0x0E};
  std::string_view rows = presenter.render(screen);
  EXPECT_EQ(cursorOf(rows), (std::pair{13, 1}));
  sixel = decodeSixel(rows.substr(0, rows.find("\x1b\\") + 2));
  EXPECT_EQ(sixel.height, cell.height);
  EXPECT_TRUE(matches(sixel, screen, 13 * cell.height - 2 * cell.height));
  EXPECT_EQ(rows.find("\x1bP", 1), std::string_view::npos) << "one image";
}

}  // namespace
}  // namespace vantrel
