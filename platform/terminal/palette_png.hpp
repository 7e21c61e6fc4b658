#pragma once
// The console picture as a PNG of the 16 console colours (4 bits a pixel,
// the console palette as its palette), scaled by a whole number with every
// picture pixel an n x n square: what the kitty graphics protocol is sent.
// A palette PNG is a sixth of the picture's RGB before compression, so it
// compresses in a quarter of the time to a sixth of the bytes.

#include <zlib.h>

#include <cstdint>
#include <span>
#include <vector>

#include "picture/console_picture.hpp"

namespace vantrel {

class PalettePngEncoder {
 public:
  PalettePngEncoder();
  ~PalettePngEncoder();
  PalettePngEncoder(const PalettePngEncoder&) = delete;
  PalettePngEncoder& operator=(const PalettePngEncoder&) = delete;

  // Makes room for pictures of up to `width` x `height` at `scale`, so that
  // encoding them allocates nothing.
  void reserve(int width, int height, int scale);
  // The PNG of `picture` at `scale`; valid until the next call.
  std::span<const std::uint8_t> encode(const ColourIndexPicture& picture, int scale);

 private:
  void compressRows(const ColourIndexPicture& picture, int scale);

  z_stream stream_{};
  std::vector<std::uint8_t> row_;  // one scaled row, its filter byte first
  std::vector<std::uint8_t> png_;
  std::size_t length_ = 0;
};

}  // namespace vantrel
