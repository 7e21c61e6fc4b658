#include "frames/png_file.hpp"

#if VANTREL_FRAMES_PNG
#include <png.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace vantrel::frames {

#if !VANTREL_FRAMES_PNG

bool writePngFile(const std::string&, const RgbImage&, std::string& error) {
  error = "this build of vantrel-frames writes no PNG files (it was built without libpng)";
  return false;
}

#else

bool writePngFile(const std::string& path, const RgbImage& image, std::string& error) {
  // Open the file ourselves so that a failure reports the system's reason.
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    error = std::strerror(errno);
    return false;
  }
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(image.width());
  png.height = static_cast<png_uint_32>(image.height());
  png.format = PNG_FORMAT_RGB;
  const bool written = png_image_write_to_stdio(&png, file, 0, image.data(), 0, nullptr) != 0;
  if (!written) error = png.message;
  png_image_free(&png);
  const bool closed = std::fclose(file) == 0;
  if (written && !closed) error = std::strerror(errno);
  return written && closed;
}

#endif

}  // namespace vantrel::frames
