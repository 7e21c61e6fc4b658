#pragma once
// Turns frames of the 80 x 50 console screen into the bytes that make a
// terminal show them: only the cells that differ from what the terminal
// already shows, with the fewest colour changes and the cheapest cursor
// moves, wrapped in a synchronized update. Pure: the caller writes the bytes.
//
// The picture is drawn in one of two views (see platform/cell_blitters.hpp):
// exact, a terminal cell per picture cell, where the terminal has room for
// all 80 x 50; fitted, two picture rows to a terminal row (80 x 25), where it
// has not. A view is centred in a larger terminal; in a smaller one it is cut
// around its centre (the fitted view loses its top row first: ripple only).

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/cell_blitters.hpp"
#include "platform/console_options.hpp"
#include "platform/terminal/terminal_colours.hpp"
#include "platform/view_placement.hpp"
#include "screen/cell_screen.hpp"

namespace vantrel {

// A terminal's size in cells.
using TerminalSize = ConsoleSize;

// How the picture is drawn: the view asked for, and the characters and
// colours the terminal draws.
struct RenderStyle {
  ViewChoice view = ViewChoice::bySize;
  Glyphs glyphs = Glyphs::blocks;
  ColourMode colours = ColourMode::ansi16;
};

class TerminalRenderer {
 public:
  // Room for the largest frame: every cell with a cursor move, both colours
  // in direct RGB and a three-byte character, plus the frame's opening and
  // closing.
  static constexpr std::size_t capacity = cellCount * 64 + 64;

  explicit TerminalRenderer(RenderStyle style = {});

  // The terminal now has `size` cells: the next frame is placed for it, in
  // the view that size gets, and repainted whole, margins cleared.
  void resize(TerminalSize size);
  TerminalSize size() const { return size_; }
  // Draws from the next frame on in `style`, repainted whole.
  void setStyle(RenderStyle style);
  View view() const { return view_; }
  // The whole picture is on the terminal: the exact view uncut, or the
  // fitted view with at most its top row (ripple only) cut.
  bool showsWholePicture() const;

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
  void place();
  void renderRow(const CellScreen& screen, int viewportRow, Colours& pass);
  void renderDeferred();
  static bool fitsPass(Colours& pass, ViewCell cell);
  void drawCell(int viewRow, int viewColumn, ViewCell cell);
  void moveCursor(int viewRow, int row, int column);
  bool reprintGap(int viewRow, int column, std::size_t budget);
  void setColours(ViewCell cell);
  void putCell(ViewCell cell, int column);
  void append(std::string_view bytes);
  ViewCell& shownAt(int viewRow, int viewColumn) {
    return shown_[static_cast<std::size_t>(viewRow * screenColumns + viewColumn)];
  }

  RenderStyle style_{};
  TerminalSize size_{};
  View view_ = View::exact;
  const Blitter* blitter_ = nullptr;
  Viewport viewport_{};
  bool repaintAll_ = true;
  Cursor cursor_{};
  Colours colours_{};
  std::array<ViewCell, cellCount> shown_{};  // what the terminal shows at each view cell
  // Changed cells waiting for the pass of their colours.
  struct DeferredCell {
    std::int16_t viewRow;
    std::int16_t viewColumn;
    ViewCell cell;
  };
  std::array<DeferredCell, cellCount> deferred_{};
  std::size_t deferredCount_ = 0;
  std::vector<char> buffer_;
  std::size_t length_ = 0;
};

}  // namespace vantrel
