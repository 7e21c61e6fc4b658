#pragma once
// Which view a console of a given size gets, and where in the console its
// visible part lies: the terminal layer and the Windows console share this.
// A view is centred in a larger console; in a smaller one it is cut around
// its centre (the fitted view loses its top row first: ripple only).

#include "platform/cell_blitters.hpp"
#include "platform/console_options.hpp"
#include "screen/cell_screen.hpp"

namespace vantrel {

// The cells a console shows at once.
struct ConsoleSize {
  int columns = screenColumns;
  int rows = screenRows;

  friend bool operator==(const ConsoleSize&, const ConsoleSize&) = default;
};

// The view a console of `size` gets: exact where all 80 x 50 fit, unless
// the choice forces one.
View viewFor(ViewChoice choice, ConsoleSize size);

// Where the visible part of the view lies, in view and console cells (both
// counted from 0).
struct Viewport {
  int viewColumn = 0;
  int viewRow = 0;
  int consoleColumn = 0;
  int consoleRow = 0;
  int columns = screenColumns;
  int rows = screenRows;
};

Viewport placeView(View view, ConsoleSize console);

// The whole picture is in the viewport: the exact view uncut, or the fitted
// view with at most its top row (ripple only) cut.
bool showsWholePicture(View view, const Viewport& viewport);

}  // namespace vantrel
