// The two views and the three colour modes, as a real terminal emulator
// (libvterm) shows the renderer's bytes: the fitted view read back quadrant
// by quadrant and checked against the rules it draws by, the colours as RGB,
// the space-only pictures, and what the terminal's environment selects.

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/code_page_437.hpp"
#include "platform/terminal/terminal_abilities.hpp"
#include "platform/terminal/terminal_renderer.hpp"
#include "screen/console_palette.hpp"
#include "support/demo_frames.hpp"
#include "terminal_emulator.hpp"

namespace vantrel {
namespace {

using testing::DemoFrames;
using testing::fittedQuadrants;
using testing::halvesOf;
using testing::Quadrants;
using testing::ShownCell;
using testing::TerminalEmulator;

constexpr int bar = 4;         // a bar's red background
constexpr int barLine = 12;    // its light red line
constexpr int letter = 9;      // the scroller's bright blue
constexpr int rippleLit = 8;   // dark grey
constexpr int rippleDark = 0;  // black

long rgbOf(int consoleColour) {
  const Rgb rgb = consolePalette[static_cast<std::size_t>(consoleColour)];
  return (long{rgb.red} << 16) | (long{rgb.green} << 8) | rgb.blue;
}

// The console colour an emulated RGB is, or -1 when it is none of them.
int consoleColourOf(long rgb) {
  for (int colour = 0; colour < 16; ++colour) {
    if (rgbOf(colour) == rgb) return colour;
  }
  return -1;
}

// Block characters by the quadrants they fill: top left, top right, bottom
// left, bottom right.
const std::map<char32_t, std::array<bool, 4>> quadrantsOf = {
    {U' ', {0, 0, 0, 0}},      {U'\u2598', {1, 0, 0, 0}}, {U'\u259D', {0, 1, 0, 0}},
    {U'\u2596', {0, 0, 1, 0}}, {U'\u2597', {0, 0, 0, 1}}, {U'\u2580', {1, 1, 0, 0}},
    {U'\u2584', {0, 0, 1, 1}}, {U'\u258C', {1, 0, 1, 0}}, {U'\u2590', {0, 1, 0, 1}},
    {U'\u259A', {1, 0, 0, 1}}, {U'\u259E', {0, 1, 1, 0}}, {U'\u259B', {1, 1, 1, 0}},
    {U'\u259C', {1, 1, 0, 1}}, {U'\u2599', {1, 0, 1, 1}}, {U'\u259F', {0, 1, 1, 1}},
    {U'\u2588', {1, 1, 1, 1}},
};

// What a fitted cell shows, quadrant by quadrant; a line character counts
// as its background. Colours that are no console colour read as -1.
Quadrants quadrantsShown(const ShownCell& cell) {
  const auto found = quadrantsOf.find(cell.character);
  Quadrants colours{};
  for (std::size_t quadrant = 0; quadrant < 4; ++quadrant) {
    const bool lit = found != quadrantsOf.end() && found->second[quadrant];
    colours[quadrant] = consoleColourOf(lit ? cell.foregroundRgb : cell.backgroundRgb);
  }
  return colours;
}

std::string describe(const Quadrants& quadrants) {
  std::string text;
  for (int colour : quadrants) text += std::to_string(colour) + " ";
  return text;
}

// Compares a terminal of `size` with the fitted view of `picture`, centred
// or cut around its middle (an odd row cut from the top).
::testing::AssertionResult showsFittedView(const TerminalEmulator& terminal,
                                           const CellScreen& picture, TerminalSize size) {
  const int viewRows = screenRows / 2;
  const int top = std::max(0, (size.rows - viewRows) / 2);
  const int firstRow = std::max(0, (viewRows - size.rows + 1) / 2);
  const int left = std::max(0, (size.columns - screenColumns) / 2);
  const int firstColumn = std::max(0, (screenColumns - size.columns) / 2);
  for (int row = 0; row < size.rows; ++row) {
    for (int column = 0; column < size.columns; ++column) {
      const ShownCell shown = terminal.cell(row, column);
      const int viewRow = row - top + firstRow;
      const int viewColumn = column - left + firstColumn;
      const bool margin =
          row < top || column < left || viewRow >= viewRows || viewColumn >= screenColumns;
      const std::string where = "cell (" + std::to_string(row) + "," + std::to_string(column) + ")";
      if (margin) {
        if (shown.character != U' ' || shown.backgroundRgb != -1) {
          return ::testing::AssertionFailure() << where << " is a margin but shows something";
        }
        continue;
      }
      const Cell upper = picture[cellIndex(2 * viewRow, viewColumn + 1)];
      const Cell lower = picture[cellIndex(2 * viewRow + 1, viewColumn + 1)];
      if (upper == lower && upper.character == 179) {
        if (shown.character != U'\u2502' || consoleColourOf(shown.foregroundRgb) != barLine ||
            consoleColourOf(shown.backgroundRgb) != bar) {
          return ::testing::AssertionFailure() << where << " should be a bar's line";
        }
        continue;
      }
      const Quadrants wanted = fittedQuadrants(picture, viewRow, viewColumn);
      const Quadrants got = quadrantsShown(shown);
      if (got != wanted) {
        return ::testing::AssertionFailure()
               << where << " shows U+" << std::hex << static_cast<long>(shown.character) << std::dec
               << " as " << describe(got) << ", wanted " << describe(wanted);
      }
    }
  }
  return ::testing::AssertionSuccess();
}

// The exact view in direct colour: every cell its own character and RGB.
::testing::AssertionResult showsExactView(const TerminalEmulator& terminal,
                                          const CellScreen& picture, TerminalSize size) {
  const int left = std::max(0, (size.columns - screenColumns) / 2);
  const int top = std::max(0, (size.rows - screenRows) / 2);
  const int firstColumn = std::max(0, (screenColumns - size.columns) / 2);
  const int firstRow = std::max(0, (screenRows - size.rows) / 2);
  for (int row = 0; row < std::min(size.rows, screenRows); ++row) {
    for (int column = 0; column < std::min(size.columns, screenColumns); ++column) {
      const ShownCell shown = terminal.cell(top + row, left + column);
      const Cell cell = picture[cellIndex(firstRow + row, firstColumn + column + 1)];
      const char32_t character = codePage437ToUnicode[cell.character & 0xFF];
      const bool same = shown.character == character &&
                        shown.backgroundRgb == rgbOf((cell.attribute >> 4) & 0xF) &&
                        (character == U' ' || shown.foregroundRgb == rgbOf(cell.attribute & 0xF));
      if (!same) {
        return ::testing::AssertionFailure()
               << "picture cell (" << firstRow + row << "," << firstColumn + column << ") differs";
      }
    }
  }
  return ::testing::AssertionSuccess();
}

constexpr RenderStyle directColour{.colours = ColourMode::direct};

TEST(FittedView, ShowsTheWholeShowAtEightyByTwentyFour) {
  DemoFrames frames;
  TerminalRenderer renderer(directColour);
  renderer.resize({80, 24});
  TerminalEmulator terminal(80, 24);
  bool sawLetters = false;
  for (int frame = 1; frame <= 400; ++frame) {
    const CellScreen& picture = frames.next();
    terminal.feed(renderer.render(picture));
    if (frame % 25 != 0 && frame > 3) continue;
    ASSERT_EQ(renderer.view(), View::fitted);
    ASSERT_TRUE(showsFittedView(terminal, picture, {80, 24})) << "frame " << frame;
    // Every bar stands on the bottom row, its height exact to a picture row.
    for (int column = 0; column < screenColumns; ++column) {
      int height = 0;
      for (int row = 23; row >= 0; --row) {
        const Quadrants shown = quadrantsShown(terminal.cell(row, column));
        const bool barBelow = shown[2] == bar || terminal.cell(row, column).character == U'\u2502';
        const bool barAbove = shown[0] == bar || terminal.cell(row, column).character == U'\u2502';
        if (!barBelow) break;
        height += barAbove ? 2 : 1;
        if (!barAbove) break;
      }
      const int wanted = std::min(frames.barHeight(column + 1), 48);
      // Letters drawn over a bar end it early; compare only bars below them.
      if (wanted <= 27) {
        EXPECT_EQ(height, wanted) << "column " << column << ", frame " << frame;
      }
    }
    for (int column = 0; column < screenColumns && !sawLetters; ++column) {
      sawLetters = quadrantsShown(terminal.cell(5, column))[2] == letter;
    }
  }
  EXPECT_TRUE(sawLetters) << "the scroller never reached the checked frames";
}

TEST(FittedView, ResizesAcrossTheBoundariesShowTheRightViewWithNoStaleCells) {
  DemoFrames frames;
  TerminalRenderer renderer(directColour);
  TerminalEmulator terminal(80, 50);
  const std::vector<TerminalSize> storm = {{80, 50}, {80, 49}, {80, 50},  {79, 50},  {80, 24},
                                           {81, 51}, {80, 23}, {80, 25},  {120, 30}, {40, 12},
                                           {80, 50}, {80, 24}, {200, 60}, {80, 24}};
  for (const TerminalSize size : storm) {
    terminal.resize(size.columns, size.rows);
    renderer.resize(size);
    for (int frame = 0; frame < 2; ++frame) {
      const CellScreen& picture = frames.next();
      terminal.feed(renderer.render(picture));
      const bool exact = size.columns >= 80 && size.rows >= 50;
      EXPECT_EQ(renderer.view(), exact ? View::exact : View::fitted);
      EXPECT_TRUE(exact ? showsExactView(terminal, picture, size)
                        : showsFittedView(terminal, picture, size))
          << size.columns << "x" << size.rows;
    }
  }
}

TEST(FittedView, CanBeAskedForOrRefusedWhateverTheSize) {
  DemoFrames frames;
  const CellScreen& picture = frames.next();
  TerminalRenderer fitted({.view = ViewChoice::fitted, .colours = ColourMode::direct});
  fitted.resize({100, 60});
  TerminalEmulator large(100, 60);
  large.feed(fitted.render(picture));
  EXPECT_TRUE(showsFittedView(large, picture, {100, 60}));

  TerminalRenderer exact({.view = ViewChoice::exact, .colours = ColourMode::direct});
  exact.resize({80, 24});
  TerminalEmulator small(80, 24);
  small.feed(exact.render(picture));
  EXPECT_TRUE(showsExactView(small, picture, {80, 24}));
}

TEST(Colours, EachModeSendsTheConsolesColoursAsItCan) {
  DemoFrames frames;
  frames.next();
  const CellScreen& picture = frames.next();
  // The standard 256-colour palette's nearest entries, as a table of their own.
  const std::map<int, int> entry256 = {
      {rippleDark, 16}, {rippleLit, 244}, {bar, 88}, {barLine, 196}, {letter, 21}};
  TerminalRenderer palette({.view = ViewChoice::exact, .colours = ColourMode::palette256});
  TerminalEmulator terminal(80, 50);
  terminal.feed(palette.render(picture));
  int checked = 0;
  for (int row = 0; row < 50; ++row) {
    for (int column = 0; column < 80; ++column) {
      const Cell cell = picture[cellIndex(row, column + 1)];
      const ShownCell shown = terminal.cell(row, column);
      ASSERT_EQ(shown.background, entry256.at((cell.attribute >> 4) & 0xF)) << row << "," << column;
      if (shown.character != U' ') {
        ASSERT_EQ(shown.foreground, entry256.at(cell.attribute & 0xF)) << row << "," << column;
        ++checked;
      }
    }
  }
  EXPECT_GT(checked, 1000);
  EXPECT_EQ(nearestPaletteEntry({192, 192, 192}), 250);
  EXPECT_EQ(nearestPaletteEntry({0, 0, 128}), 18);
  EXPECT_EQ(nearestPaletteEntry({255, 255, 255}), 231);

  TerminalRenderer direct({.view = ViewChoice::exact, .colours = ColourMode::direct});
  TerminalEmulator exact(80, 50);
  exact.feed(direct.render(picture));
  EXPECT_TRUE(showsExactView(exact, picture, {80, 50}));
}

// Without UTF-8, every cell is a space in one colour: no byte of a
// multi-byte character is sent, and the layout cannot tear.
TEST(Colours, SpacesOnlyPicturesSendNothingButSpacesAndColours) {
  DemoFrames frames;
  for (const View view : {View::exact, View::fitted}) {
    TerminalRenderer renderer({.view = view == View::exact ? ViewChoice::exact : ViewChoice::fitted,
                               .glyphs = Glyphs::spaces,
                               .colours = ColourMode::direct});
    renderer.resize({80, 50});
    TerminalEmulator terminal(80, 50);
    for (int frame = 0; frame < 120; ++frame) {
      const CellScreen& picture = frames.next();
      const std::string_view bytes = renderer.render(picture);
      for (const char byte : bytes) ASSERT_LT(static_cast<unsigned char>(byte), 0x80);
      terminal.feed(bytes);
    }
    const CellScreen& picture = frames.next();
    terminal.feed(renderer.render(picture));
    const int rows = view == View::exact ? 50 : 25;
    const int top = (50 - rows) / 2;
    for (int row = 0; row < rows; ++row) {
      for (int column = 0; column < 80; ++column) {
        const ShownCell shown = terminal.cell(top + row, column);
        ASSERT_EQ(shown.character, U' ');
        int wanted = halvesOf(picture[cellIndex(row, column + 1)])[0];
        if (view == View::fitted) {
          // The lower picture cell, unless only the upper one stands out
          // from the ripple's black.
          const Cell upper = picture[cellIndex(2 * row, column + 1)];
          const Cell lower = picture[cellIndex(2 * row + 1, column + 1)];
          const bool upperStandsOut = (upper.attribute >> 4) != 0 && (lower.attribute >> 4) == 0;
          wanted = halvesOf(upperStandsOut ? upper : lower)[0];
        }
        ASSERT_EQ(consoleColourOf(shown.backgroundRgb), wanted) << row << "," << column;
      }
    }
  }
}

TEST(TerminalAbilities, TheEnvironmentSaysWhichColoursAndCharactersTheTerminalDraws) {
  struct Case {
    const char* term;
    const char* colorterm;
    ColourMode mode;
  };
  for (const Case& c :
       {Case{"xterm", "", ColourMode::ansi16}, Case{"xterm-256color", "", ColourMode::palette256},
        Case{"tmux-256color", "truecolor", ColourMode::direct},
        Case{"xterm-kitty", "truecolor", ColourMode::direct},
        Case{"alacritty", "24bit", ColourMode::direct},
        Case{"xterm-direct", "", ColourMode::direct}, Case{"linux", "", ColourMode::ansi16},
        Case{"", "", ColourMode::ansi16}}) {
    const TerminalEnvironment environment{c.term, c.colorterm, "C.UTF-8"};
    EXPECT_EQ(coloursTerminalDraws(environment), c.mode) << c.term << " " << c.colorterm;
    EXPECT_EQ(colourModeFor(ColourChoice::terminal, environment), ColourMode::ansi16);
    EXPECT_EQ(colourModeFor(ColourChoice::console, environment), ColourMode::direct);
  }
  for (const char* utf8 : {"C.UTF-8", "en_US.UTF-8", "de_DE.utf8", "sr_RS.UTF-8@latin"}) {
    EXPECT_TRUE(localeIsUtf8(utf8)) << utf8;
  }
  for (const char* other : {"C", "POSIX", "", "en_US", "en_US.ISO-8859-1", "ja_JP.eucJP"}) {
    EXPECT_FALSE(localeIsUtf8(other)) << other;
  }
}

}  // namespace
}  // namespace vantrel
