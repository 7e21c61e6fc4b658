#pragma once
// Writing a picture as a PNG file (libpng).

#include <string>

#include "picture/console_picture.hpp"

namespace vantrel::frames {

// Writes `image` as an 8-bit RGB PNG. On failure returns false and says why in `error`.
bool writePngFile(const std::string& path, const RgbImage& image, std::string& error);

}  // namespace vantrel::frames
