#include "platform/terminal/palette_png.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "screen/console_palette.hpp"

namespace vantrel {

namespace {

constexpr std::array<std::uint8_t, 8> signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Level 3 measured best on the show's frames: a third of level 6's time for
// about the same size; the pictures are runs of a few colours.
constexpr int compressionLevel = 3;
constexpr std::size_t chunkOverhead = 12;  // length, type, CRC
constexpr std::size_t headerSize = signature.size() + chunkOverhead + 13 + chunkOverhead + 48;

std::size_t rowBytes(int width, int scale) {
  return 1 + (static_cast<std::size_t>(width) * static_cast<std::size_t>(scale) + 1) / 2;
}

void putBigEndian(std::uint8_t* at, std::uint32_t value) {
  at[0] = static_cast<std::uint8_t>(value >> 24);
  at[1] = static_cast<std::uint8_t>(value >> 16);
  at[2] = static_cast<std::uint8_t>(value >> 8);
  at[3] = static_cast<std::uint8_t>(value);
}

// Writes a chunk's length and type at `at`, the data already after them, and
// its CRC after the data; returns where the chunk ends.
std::size_t closeChunk(std::uint8_t* png, std::size_t at, std::string_view type,
                       std::size_t dataLength) {
  putBigEndian(png + at, static_cast<std::uint32_t>(dataLength));
  std::memcpy(png + at + 4, type.data(), 4);
  const uLong crc =
      ::crc32(::crc32(0L, Z_NULL, 0), png + at + 4, static_cast<uInt>(dataLength + 4));
  putBigEndian(png + at + 8 + dataLength, static_cast<std::uint32_t>(crc));
  return at + chunkOverhead + dataLength;
}

// One picture row scaled across into 4-bit pixels, two to a byte, the first
// in the high nibble.
void packRow(const std::uint8_t* source, int width, int scale, std::uint8_t* packed) {
  if (scale == 1) {
    int x = 0;
    for (; x + 1 < width; x += 2) {
      *packed++ = static_cast<std::uint8_t>(((source[x] & 0x0F) << 4) | (source[x + 1] & 0x0F));
    }
    if (x < width) *packed = static_cast<std::uint8_t>((source[x] & 0x0F) << 4);
    return;
  }
  if (scale == 2) {
    for (int x = 0; x < width; ++x)
      *packed++ = static_cast<std::uint8_t>((source[x] & 0x0F) * 0x11);
    return;
  }
  std::size_t nibble = 0;
  for (int x = 0; x < width; ++x) {
    const auto colour = static_cast<std::uint8_t>(source[x] & 0x0F);
    for (int repeat = 0; repeat < scale; ++repeat, ++nibble) {
      std::uint8_t& byte = packed[nibble / 2];
      byte = nibble % 2 == 0 ? static_cast<std::uint8_t>(colour << 4)
                             : static_cast<std::uint8_t>(byte | colour);
    }
  }
}

}  // namespace

PalettePngEncoder::PalettePngEncoder() {
  ::deflateInit(&stream_, compressionLevel);
}

PalettePngEncoder::~PalettePngEncoder() {
  ::deflateEnd(&stream_);
}

void PalettePngEncoder::reserve(int width, int height, int scale) {
  const std::size_t rows = static_cast<std::size_t>(height) * static_cast<std::size_t>(scale);
  const std::size_t raw = rowBytes(width, scale) * rows;
  if (row_.size() < rowBytes(width, scale)) row_.resize(rowBytes(width, scale));
  const std::size_t bound =
      headerSize + chunkOverhead + ::deflateBound(&stream_, raw) + chunkOverhead;
  if (png_.size() < bound) png_.resize(bound);
}

std::span<const std::uint8_t> PalettePngEncoder::encode(const ColourIndexPicture& picture,
                                                        int scale) {
  reserve(picture.width, picture.height, scale);
  std::uint8_t* png = png_.data();
  std::memcpy(png, signature.data(), signature.size());
  std::size_t at = signature.size();
  // IHDR: the size, 4 bits a pixel, colour type 3 (a palette), no interlace.
  std::uint8_t* header = png + at + 8;
  putBigEndian(header, static_cast<std::uint32_t>(picture.width * scale));
  putBigEndian(header + 4, static_cast<std::uint32_t>(picture.height * scale));
  const std::array<std::uint8_t, 5> format = {4, 3, 0, 0, 0};
  std::memcpy(header + 8, format.data(), format.size());
  at = closeChunk(png, at, "IHDR", 13);
  std::uint8_t* palette = png + at + 8;
  for (const Rgb& colour : consolePalette) {
    *palette++ = colour.red;
    *palette++ = colour.green;
    *palette++ = colour.blue;
  }
  at = closeChunk(png, at, "PLTE", 3 * consolePalette.size());
  length_ = at;
  compressRows(picture, scale);
  const std::size_t compressed = stream_.total_out;
  at = closeChunk(png, at, "IDAT", compressed);
  at = closeChunk(png, at, "IEND", 0);
  return {png, at};
}

// Each scaled row is filtered with filter 0 (none) and fed to deflate; rows
// that repeat a picture row are the same bytes again.
void PalettePngEncoder::compressRows(const ColourIndexPicture& picture, int scale) {
  ::deflateReset(&stream_);
  stream_.next_out = png_.data() + length_ + 8;
  stream_.avail_out = static_cast<uInt>(png_.size() - length_ - 8 - chunkOverhead - 4);
  const std::size_t rowLength = rowBytes(picture.width, scale);
  for (int y = 0; y < picture.height; ++y) {
    row_[0] = 0;
    packRow(picture.pixels.data() +
                static_cast<std::size_t>(y) * static_cast<std::size_t>(picture.width),
            picture.width, scale, row_.data() + 1);
    for (int repeat = 0; repeat < scale; ++repeat) {
      stream_.next_in = row_.data();
      stream_.avail_in = static_cast<uInt>(rowLength);
      const bool last = y == picture.height - 1 && repeat == scale - 1;
      ::deflate(&stream_, last ? Z_FINISH : Z_NO_FLUSH);
    }
  }
}

}  // namespace vantrel
