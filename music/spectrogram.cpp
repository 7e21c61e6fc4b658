#include "music/spectrogram.hpp"

#include <png.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

#include "audio/fourier_transform.hpp"

namespace vantrel::compose {

namespace {

constexpr int width = 960;
constexpr int height = 320;
constexpr std::size_t fftSize = 4096;
constexpr double lowestHz = 30.0;
constexpr double highestHz = 16000.0;
constexpr double floorDb = -100.0;  // black
constexpr double topDb = -10.0;     // yellow
constexpr double barsTopHz = 240.5 * pcmRate / 1024.0;

struct Rgb {
  std::uint8_t red, green, blue;
};

// Black, deep blue, purple, red, orange, pale yellow.
Rgb colourOf(double db) {
  static constexpr std::array<std::array<double, 3>, 6> stops{
      {{0, 0, 0}, {20, 20, 110}, {120, 30, 140}, {210, 50, 60}, {250, 150, 30}, {255, 245, 170}}};
  const double t = std::clamp((db - floorDb) / (topDb - floorDb), 0.0, 1.0) * (stops.size() - 1);
  const auto low = std::min(static_cast<std::size_t>(t), stops.size() - 2);
  const double mix = t - static_cast<double>(low);
  const auto channel = [&](std::size_t c) {
    return static_cast<std::uint8_t>(
        std::lround(stops[low][c] * (1 - mix) + stops[low + 1][c] * mix));
  };
  return {channel(0), channel(1), channel(2)};
}

double rowHz(int row) {  // row 0 at the top
  const double rise = static_cast<double>(height - 1 - row) / (height - 1);
  return lowestHz * std::pow(highestHz / lowestHz, rise);
}

int rowOf(double hz) {
  const double rise = std::log(hz / lowestHz) / std::log(highestHz / lowestHz);
  return height - 1 - static_cast<int>(std::lround(rise * (height - 1)));
}

// The level (dB, a full-scale sine reading 0) of each row for the window
// that starts at `first` frames.
std::array<double, height> columnLevels(std::span<const PcmSample> frames, std::size_t first,
                                        FourierTransform& fft) {
  std::vector<float> windowed(fftSize, 0.0F);
  const std::size_t total = frames.size() / pcmChannels;
  for (std::size_t n = 0; n < fftSize && first + n < total; ++n) {
    const double hann =
        0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(n) / fftSize);
    const std::size_t at = (first + n) * pcmChannels;
    windowed[n] = static_cast<float>(hann * (frames[at] + frames[at + 1]) / 65536.0);
  }
  std::vector<std::complex<float>> bins(fftSize / 2 + 1);
  fft.transformReal(windowed, bins);
  std::array<double, height> levels{};
  const double binHz = static_cast<double>(pcmRate) / fftSize;
  for (int row = 0; row < height; ++row) {
    // The strongest bin between this row's frequency and the next one up.
    const auto low = static_cast<std::size_t>(rowHz(row) / binHz);
    const auto high = std::max(low, static_cast<std::size_t>(rowHz(std::max(row - 1, 0)) / binHz));
    double peak = 0.0;
    for (std::size_t k = low; k <= high && k < bins.size(); ++k) {
      peak = std::max(peak, static_cast<double>(std::abs(bins[k])) * 4.0 / fftSize);
    }
    levels[static_cast<std::size_t>(row)] = 20.0 * std::log10(peak + 1e-12);
  }
  return levels;
}

}  // namespace

bool writeSpectrogram(const std::string& path, std::span<const PcmSample> frames,
                      std::span<const std::int64_t> sectionStarts, std::string& error) {
  const std::size_t total = frames.size() / pcmChannels;
  std::vector<Rgb> pixels(static_cast<std::size_t>(width) * height);
  const auto pixel = [&](int x, int y) -> Rgb& {
    return pixels[static_cast<std::size_t>(y) * width + static_cast<std::size_t>(x)];
  };
  FourierTransform fft(fftSize);
  for (int x = 0; x < width; ++x) {
    const std::size_t first = total * static_cast<std::size_t>(x) / width;
    const std::array<double, height> levels = columnLevels(frames, first, fft);
    for (int y = 0; y < height; ++y) pixel(x, y) = colourOf(levels[static_cast<std::size_t>(y)]);
  }
  const Rgb grey{150, 150, 150};
  for (std::int64_t start : sectionStarts) {
    const auto x =
        static_cast<int>(static_cast<std::size_t>(start) * width / std::max<std::size_t>(total, 1));
    for (int y = 0; y < height; y += 2) pixel(std::clamp(x, 0, width - 1), y) = grey;
  }
  for (int x = 0; x < width; x += 2) pixel(x, rowOf(barsTopHz)) = grey;

  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  png.width = width;
  png.height = height;
  png.format = PNG_FORMAT_RGB;
  const bool written =
      png_image_write_to_file(&png, path.c_str(), 0, pixels.data(), 0, nullptr) != 0;
  if (!written) error = png.message;
  png_image_free(&png);
  return written;
}

}  // namespace vantrel::compose
