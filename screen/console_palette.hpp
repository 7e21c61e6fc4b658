#pragma once
// The console's 16 colours as RGB, indexed by an attribute nibble (bit 0
// blue, bit 1 green, bit 2 red, bit 3 intensity): what the cell screen's
// colours look like, wherever it is drawn.

#include <array>
#include <cstdint>

namespace vantrel {

struct Rgb {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;

  friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr std::array<Rgb, 16> consolePalette{{
    {0, 0, 0},
    {0, 0, 128},
    {0, 128, 0},
    {0, 128, 128},
    {128, 0, 0},
    {128, 0, 128},
    {128, 128, 0},
    {192, 192, 192},
    {128, 128, 128},
    {0, 0, 255},
    {0, 255, 0},
    {0, 255, 255},
    {255, 0, 0},
    {255, 0, 255},
    {255, 255, 0},
    {255, 255, 255},
}};

}  // namespace vantrel
