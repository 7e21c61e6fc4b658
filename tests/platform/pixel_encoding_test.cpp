// The pixel view's encodings read back by decoders that are not ours:
// libpng reads the palette PNG, libsixel the sixel images; the kitty
// protocol's chunks are taken apart by the rules its terminals follow.

#include <gtest/gtest.h>
#include <png.h>
#include <sixel/sixel.h>

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "platform/terminal/kitty_graphics.hpp"
#include "platform/terminal/palette_png.hpp"
#include "platform/terminal/sixel_image.hpp"
#include "screen/console_palette.hpp"

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

// Each chunk: ESC _ G keys ; payload ESC \, the keys only on the first, m=1
// on all but the last, every payload but the last a multiple of 4 and none
// over 4096 characters. The payloads joined are the PNG.
TEST(PixelEncoding, TheKittyImageIsChunkedAsTheProtocolAsks) {
  for (const std::size_t size : {std::size_t{1}, std::size_t{3071}, std::size_t{3072},
                                 std::size_t{3073}, std::size_t{20000}}) {
    std::vector<std::uint8_t> png(size);
    for (std::size_t i = 0; i < size; ++i) png[i] = static_cast<std::uint8_t>(i * 7 + 3);
    OutputBuffer out;
    appendKittyImage(out, png);
    EXPECT_LE(out.size(), kittyImageSizeFor(size));
    std::string_view rest = out.view();
    std::string joined;
    int chunks = 0;
    while (!rest.empty()) {
      ASSERT_TRUE(rest.starts_with("\x1b_G")) << rest.substr(0, 20);
      const std::size_t end = rest.find("\x1b\\");
      ASSERT_NE(end, std::string_view::npos);
      const std::string_view chunk = rest.substr(3, end - 3);
      rest.remove_prefix(end + 2);
      const std::string_view keys = chunk.substr(0, chunk.find(';'));
      const std::string_view payload = chunk.substr(keys.size() + 1);
      const bool last = rest.empty();
      EXPECT_TRUE(keys.ends_with(last ? "m=0" : "m=1")) << keys;
      if (chunks == 0) {
        EXPECT_NE(keys.find("a=T"), std::string_view::npos);
        EXPECT_NE(keys.find("f=100"), std::string_view::npos);
        EXPECT_NE(keys.find("i=7"), std::string_view::npos);
        EXPECT_NE(keys.find("q=2"), std::string_view::npos) << "no answer among the keys";
      } else {
        EXPECT_EQ(keys, last ? "m=0" : "m=1") << "keys only on the first chunk";
      }
      EXPECT_LE(payload.size(), kittyChunkSize);
      if (!last) {
        EXPECT_EQ(payload.size() % 4, 0U);
      }
      joined += base64Decoded(payload);
      ++chunks;
    }
    EXPECT_EQ(joined, std::string(png.begin(), png.end())) << size;
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

}  // namespace
}  // namespace vantrel
