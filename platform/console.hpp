#pragma once
// The console the demo draws on: a POSIX terminal or the Windows console.
// The driver calls the window set-up once, in this order, then writeCells and
// pollKey once per frame, and restore on every way out.

#include <string_view>

#include "platform/key_press.hpp"
#include "screen/cell_screen.hpp"

namespace vantrel {

class Console {
 public:
  virtual ~Console() = default;

  // Takes over the console: raw keyboard, alternate screen, title saved.
  virtual void openWindow() = 0;
  // Asks for a window and screen buffer of 80 columns by `rows` rows.
  virtual void setWindowRows(int rows) = 0;
  // Places the window; (32767, 32767) leaves the placement to the console.
  virtual void placeWindow(int x, int y) = 0;
  virtual void setWindowTitle(std::string_view title) = 0;
  virtual void hideCursor() = 0;

  // Writes the `region` part of a bufferSize block of cells (row-major,
  // `cells` is the top-left), starting at bufferCoord within the block, and
  // narrows `region` in place to the rectangle really written.
  virtual void writeCells(const Cell* cells, BufferCoord bufferSize, BufferCoord bufferCoord,
                          WriteRegion& region) = 0;

  // The next waiting key press, or an empty one; never waits.
  virtual KeyPress pollKey() = 0;

  // True once the console has gone away (a closed terminal window): there
  // is nothing left to draw on, and the demo should end.
  virtual bool gone() const { return false; }

  // Gives the console back exactly as it was found. Safe to call twice.
  virtual void restore() noexcept = 0;
};

}  // namespace vantrel
