#pragma once
// Turns frames of the 80 x 50 console screen into the bytes that make a
// terminal show them: only the cells that differ from what the terminal
// already shows, with the fewest colour changes and the cheapest cursor
// moves, wrapped in a synchronized update. Pure: the caller writes the bytes.
//
// The picture is centred in a larger terminal; in a smaller one it is cut to
// the terminal's size around its centre.

#include <cstddef>
#include <string_view>
#include <vector>

#include "screen/cell_screen.hpp"

namespace vantrel {

struct TerminalSize {
  int columns = screenColumns;
  int rows = screenRows;

  friend bool operator==(const TerminalSize&, const TerminalSize&) = default;
};

// Where the visible part of the picture lies, in picture and terminal cells
// (both counted from 0).
struct Viewport {
  int pictureColumn = 0;
  int pictureRow = 0;
  int terminalColumn = 0;
  int terminalRow = 0;
  int columns = screenColumns;
  int rows = screenRows;
};

Viewport placePicture(TerminalSize terminal);

class TerminalRenderer {
 public:
  // Room for the largest frame: every cell with a cursor move, both colours
  // and a three-byte character, plus the frame's opening and closing.
  static constexpr std::size_t capacity = cellCount * 32 + 64;

  TerminalRenderer();

  // The terminal now has `size` cells: the next frame is placed for it and
  // repainted whole, margins cleared.
  void resize(TerminalSize size);
  TerminalSize size() const { return size_; }

  // The bytes that bring the terminal from the last frame rendered to
  // `screen`; empty when it already shows it. Valid until the next call.
  std::string_view render(const CellScreen& screen);

 private:
  // What the renderer knows of the terminal's cursor; -1 means unknown. After
  // a character in the last column the column is unknown: terminals differ in
  // how they treat the pending wrap, so only absolute moves follow it.
  struct Cursor {
    int row = -1;
    int column = -1;
  };
  // The colours in force; -1 is the terminal's default colour.
  struct Colours {
    int foreground = -1;
    int background = -1;
  };

  void beginRepaint();
  void renderRow(const CellScreen& screen, int viewportRow);
  void moveCursor(int pictureRow, int row, int column);
  bool reprintGap(int pictureRow, int column, std::size_t budget);
  void setColours(Cell cell);
  void putCell(Cell cell, int column);
  void append(std::string_view bytes);

  TerminalSize size_{};
  Viewport viewport_{};
  bool repaintAll_ = true;
  Cursor cursor_{};
  Colours colours_{};
  CellScreen shown_{};  // what the terminal shows at each picture cell
  std::vector<char> buffer_;
  std::size_t length_ = 0;
};

}  // namespace vantrel
