// The renderer's output is fed to a real terminal emulator, which must then
// show exactly the cell screen: every character and both colours of every
// cell, the picture centred or cut around its centre, the margins blank.

#include "platform/terminal/terminal_renderer.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "platform/code_page_437.hpp"
#include "terminal_emulator.hpp"

namespace vantrel {
namespace {

using testing::ShownCell;
using testing::TerminalEmulator;

// Console colour (blue = 1, green = 2, red = 4, intensity = 8) to the ANSI
// palette index a terminal shows it with, written out one by one.
constexpr std::array<int, 16> paletteIndexOf = {0, 4,  2,  6,  1, 5,  3,  7,
                                                8, 12, 10, 14, 9, 13, 11, 15};

// Compares the emulator with `screen` and reports the first few differences.
::testing::AssertionResult showsScreen(const TerminalEmulator& terminal, const CellScreen& screen,
                                       TerminalSize size) {
  const int left = std::max(0, (size.columns - screenColumns) / 2);
  const int top = std::max(0, (size.rows - screenRows) / 2);
  const int pictureLeft = std::max(0, (screenColumns - size.columns) / 2);
  const int pictureTop = std::max(0, (screenRows - size.rows) / 2);
  int differences = 0;
  std::string report;
  for (int row = 0; row < size.rows; ++row) {
    for (int column = 0; column < size.columns; ++column) {
      const ShownCell shown = terminal.cell(row, column);
      const int pictureRow = row - top + pictureTop;
      const int pictureColumn = column - left + pictureLeft;
      ShownCell wanted;  // a margin: blank, default colours
      bool blank = true;
      if (pictureRow >= 0 && pictureRow < screenRows && pictureColumn >= 0 &&
          pictureColumn < screenColumns && row >= top && column >= left) {
        const Cell cell = screen[cellIndex(pictureRow, pictureColumn + 1)];
        wanted.character = codePage437ToUnicode[cell.character & 0xFF];
        wanted.foreground = paletteIndexOf[cell.attribute & 0xF];
        wanted.background = paletteIndexOf[(cell.attribute >> 4) & 0xF];
        blank = wanted.character == U' ';
      }
      // A blank shows no foreground, so its foreground colour is free.
      const bool same = shown.character == wanted.character &&
                        shown.background == wanted.background &&
                        (blank || shown.foreground == wanted.foreground);
      if (!same && ++differences <= 5) {
        report += " (" + std::to_string(row) + "," + std::to_string(column) + "): shows U+" +
                  std::to_string(shown.character) + " fg " + std::to_string(shown.foreground) +
                  " bg " + std::to_string(shown.background) + ", wanted U+" +
                  std::to_string(wanted.character) + " fg " + std::to_string(wanted.foreground) +
                  " bg " + std::to_string(wanted.background) + ";";
      }
    }
  }
  if (differences == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << differences << " cells differ:" << report;
}

CellScreen randomScreen(std::mt19937& random) {
  std::uniform_int_distribution<int> byte(0, 255);
  CellScreen screen;
  for (int index = 1; index <= cellCount; ++index) {
    screen[index] = {static_cast<std::uint16_t>(byte(random)),
                     static_cast<std::uint16_t>(byte(random))};
  }
  return screen;
}

// Changes `count` random cells, mostly to a few characters and colours, so
// that runs of equal colours and short gaps of unchanged cells both occur.
void changeCells(CellScreen& screen, std::mt19937& random, int count) {
  std::uniform_int_distribution<int> index(1, cellCount);
  std::uniform_int_distribution<int> pick(0, 3);
  constexpr std::array<std::uint16_t, 4> characters = {0, 219, 179, 'A'};
  constexpr std::array<std::uint16_t, 4> attributes = {0x08, 0x4C, 0x91, 0x07};
  for (int change = 0; change < count; ++change) {
    screen[index(random)] = {characters[static_cast<std::size_t>(pick(random))],
                             attributes[static_cast<std::size_t>(pick(random))]};
  }
}

// Checks that no colour sequence sets a colour already in force.
::testing::AssertionResult setsNoColourTwice(std::string_view bytes) {
  int foreground = -1;
  int background = -1;
  for (std::size_t at = bytes.find("\x1b["); at != std::string_view::npos;
       at = bytes.find("\x1b[", at + 1)) {
    const std::size_t end = bytes.find_first_not_of("0123456789;", at + 2);
    if (end == std::string_view::npos || bytes[end] != 'm') continue;
    std::string_view parameters = bytes.substr(at + 2, end - at - 2);
    while (!parameters.empty()) {
      const std::size_t semicolon = std::min(parameters.find(';'), parameters.size());
      const int value = std::stoi(std::string(parameters.substr(0, semicolon)));
      parameters.remove_prefix(std::min(parameters.size(), semicolon + 1));
      if (value == 0) {
        foreground = background = -1;
        continue;
      }
      int& colour = (value >= 40 && value <= 47) || value >= 100 ? background : foreground;
      if (colour == value) {
        return ::testing::AssertionFailure() << "SGR " << value << " repeated at byte " << at;
      }
      colour = value;
    }
  }
  return ::testing::AssertionSuccess();
}

TEST(CodePage437, EveryCodeShowsItsOwnCharacterExceptZeroAsBlank) {
  std::set<char32_t> distinct(codePage437ToUnicode.begin() + 1, codePage437ToUnicode.end());
  EXPECT_EQ(distinct.size(), 255U);
  EXPECT_EQ(codePage437ToUnicode[0], U' ');
  EXPECT_EQ(codePage437ToUnicode['A'], U'A');
  EXPECT_EQ(codePage437ToUnicode[1], U'\u263A');
  EXPECT_EQ(codePage437ToUnicode[127], U'\u2302');
  EXPECT_EQ(codePage437ToUnicode[128], U'\u00C7');
  EXPECT_EQ(codePage437ToUnicode[254], U'\u25A0');
  EXPECT_EQ(codePage437ToUnicode[255], U'\u00A0');
  EXPECT_EQ(std::string_view(codePage437Utf8[219].bytes.data(), codePage437Utf8[219].length),
            "\u2588");
}

TEST(TerminalRenderer, RandomFramesShowExactlyWithNoColourSetTwice) {
  std::mt19937 random(437);
  TerminalRenderer renderer;
  TerminalEmulator terminal(screenColumns, screenRows);
  CellScreen screen = randomScreen(random);
  for (int frame = 0; frame < 40; ++frame) {
    if (frame % 4 == 0) {
      screen = randomScreen(random);
    } else {
      changeCells(screen, random, frame * 50);
    }
    const std::string_view bytes = renderer.render(screen);
    ASSERT_TRUE(setsNoColourTwice(bytes)) << "frame " << frame;
    terminal.feed(bytes);
    ASSERT_TRUE(showsScreen(terminal, screen, {screenColumns, screenRows})) << "frame " << frame;
  }
}

TEST(TerminalRenderer, ResizedTerminalShowsTheExactViewCentredOrCutAroundItsCentre) {
  std::mt19937 random(80);
  TerminalRenderer renderer({.view = ViewChoice::exact});
  TerminalEmulator terminal(screenColumns, screenRows);
  CellScreen screen = randomScreen(random);
  terminal.feed(renderer.render(screen));
  const std::vector<TerminalSize> sizes = {{100, 60}, {121, 51}, {60, 30}, {10, 5},
                                           {79, 49},  {81, 50},  {80, 50}, {200, 10}};
  for (const TerminalSize size : sizes) {
    terminal.resize(size.columns, size.rows);
    renderer.resize(size);
    terminal.feed(renderer.render(screen));
    EXPECT_TRUE(showsScreen(terminal, screen, size)) << size.columns << "x" << size.rows;
    changeCells(screen, random, 300);
    terminal.feed(renderer.render(screen));
    EXPECT_TRUE(showsScreen(terminal, screen, size)) << size.columns << "x" << size.rows;
  }
}

TEST(TerminalRenderer, TinyTerminalShowsTheMiddleOfThePicture) {
  CellScreen screen;
  screen[cellIndex(22, 36)] = {'X', 0x0F};  // row 22, column 36: the cut's top-left
  screen[cellIndex(26, 45)] = {'Y', 0x0F};  // its bottom-right
  TerminalRenderer renderer({.view = ViewChoice::exact});
  renderer.resize({10, 5});
  TerminalEmulator terminal(10, 5);
  terminal.feed(renderer.render(screen));
  EXPECT_EQ(terminal.cell(0, 0).character, U'X');
  EXPECT_EQ(terminal.cell(4, 9).character, U'Y');
}

TEST(TerminalRenderer, OneChangedCellCostsOneMoveAndOneCharacter) {
  std::mt19937 random(1);
  TerminalRenderer renderer;
  TerminalEmulator terminal(screenColumns, screenRows);
  CellScreen screen = randomScreen(random);
  terminal.feed(renderer.render(screen));
  EXPECT_TRUE(renderer.render(screen).empty()) << "an unchanged frame sends nothing";

  screen[cellIndex(33, 47)] = {
      219, static_cast<std::uint16_t>(screen[cellIndex(33, 47)].attribute ^ 0x11)};
  const std::string_view bytes = renderer.render(screen);
  terminal.feed(bytes);
  EXPECT_TRUE(showsScreen(terminal, screen, {screenColumns, screenRows}));
  // Update brackets (16), a move (at most 8), both colours (at most 10), the block (3).
  EXPECT_LE(bytes.size(), 37U) << bytes;
  EXPECT_TRUE(bytes.starts_with("\x1b[?2026h"));
  EXPECT_TRUE(bytes.ends_with("\x1b[?2026l"));
}

TEST(TerminalRenderer, LargestFrameFitsTheBuffer) {
  // Every cell changes colour and is a three-byte character, in a terminal
  // large enough for five-digit cursor positions, in every colour mode.
  CellScreen screen;
  for (int index = 1; index <= cellCount; ++index) {
    screen[index] = {219, static_cast<std::uint16_t>(index * 37 % 256)};
  }
  for (const ColourMode colours :
       {ColourMode::ansi16, ColourMode::palette256, ColourMode::direct}) {
    TerminalRenderer renderer({.colours = colours});
    renderer.resize({30000, 30000});
    const std::string_view bytes = renderer.render(screen);
    EXPECT_LT(bytes.size(), TerminalRenderer::capacity);
    EXPECT_TRUE(bytes.ends_with("\x1b[?2026l"));
  }
}

}  // namespace
}  // namespace vantrel
