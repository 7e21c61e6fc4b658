#include "platform/terminal/terminal_colours.hpp"

#include <array>
#include <cstddef>

namespace vantrel {

namespace {

constexpr std::array<int, 6> cubeLevels = {0, 95, 135, 175, 215, 255};

constexpr Rgb paletteEntry(int entry) {
  if (entry >= 232) {
    const auto grey = static_cast<std::uint8_t>(8 + 10 * (entry - 232));
    return {grey, grey, grey};
  }
  const int cube = entry - 16;
  return {static_cast<std::uint8_t>(cubeLevels[static_cast<std::size_t>(cube / 36)]),
          static_cast<std::uint8_t>(cubeLevels[static_cast<std::size_t>(cube / 6 % 6)]),
          static_cast<std::uint8_t>(cubeLevels[static_cast<std::size_t>(cube % 6)])};
}

constexpr int distance(Rgb a, Rgb b) {
  const int red = a.red - b.red;
  const int green = a.green - b.green;
  const int blue = a.blue - b.blue;
  return red * red + green * green + blue * blue;
}

constexpr int nearestEntry(Rgb colour) {
  int best = 16;
  for (int entry = 17; entry < 256; ++entry) {
    if (distance(paletteEntry(entry), colour) < distance(paletteEntry(best), colour)) best = entry;
  }
  return best;
}

// A few SGR parameters, made at compile time.
struct Parameters {
  std::array<char, 20> text{};
  std::size_t length = 0;

  constexpr Parameters& add(std::string_view part) {
    for (char byte : part) text[length++] = byte;
    return *this;
  }
  constexpr Parameters& add(int number) {
    std::array<char, 3> digits{};
    std::size_t count = 0;
    do {
      digits[count++] = static_cast<char>('0' + number % 10);
      number /= 10;
    } while (number > 0);
    while (count > 0) text[length++] = digits[--count];
    return *this;
  }
  constexpr std::string_view view() const { return {text.data(), length}; }
};

// The console numbers its colour bits blue = 1, green = 2, red = 4; ANSI
// numbers them red = 1, green = 2, blue = 4. Intensity picks the bright range.
constexpr int ansiColour(int colour) {
  return ((colour & 1) << 2) | (colour & 2) | ((colour & 4) >> 2);
}

constexpr Parameters parametersFor(ColourMode mode, bool foreground, int colour) {
  Parameters parameters;
  const Rgb rgb = consolePalette[static_cast<std::size_t>(colour)];
  switch (mode) {
    case ColourMode::ansi16: {
      const int base = (colour & 8) != 0 ? (foreground ? 90 : 100) : (foreground ? 30 : 40);
      return parameters.add(base + ansiColour(colour));
    }
    case ColourMode::palette256:
      return parameters.add(foreground ? "38;5;" : "48;5;").add(nearestEntry(rgb));
    case ColourMode::direct:
      return parameters.add(foreground ? "38;2;" : "48;2;")
          .add(rgb.red)
          .add(";")
          .add(rgb.green)
          .add(";")
          .add(rgb.blue);
  }
  return parameters;
}

using RoleTable = std::array<Parameters, 16>;
using ModeTable = std::array<std::array<RoleTable, 2>, 3>;

constexpr ModeTable makeTable() {
  ModeTable table{};
  for (int mode = 0; mode < 3; ++mode) {
    for (int role = 0; role < 2; ++role) {
      for (int colour = 0; colour < 16; ++colour) {
        table[static_cast<std::size_t>(mode)][static_cast<std::size_t>(role)]
             [static_cast<std::size_t>(colour)] =
                 parametersFor(static_cast<ColourMode>(mode), role == 0, colour);
      }
    }
  }
  return table;
}

constexpr ModeTable table = makeTable();

std::string_view lookUp(ColourMode mode, int role, int colour) {
  return table[static_cast<std::size_t>(mode)][static_cast<std::size_t>(role)]
              [static_cast<std::size_t>(colour & 0xF)]
                  .view();
}

}  // namespace

std::string_view foregroundParameters(ColourMode mode, int colour) {
  return lookUp(mode, 0, colour);
}

std::string_view backgroundParameters(ColourMode mode, int colour) {
  return lookUp(mode, 1, colour);
}

int nearestPaletteEntry(Rgb colour) {
  return nearestEntry(colour);
}

}  // namespace vantrel
