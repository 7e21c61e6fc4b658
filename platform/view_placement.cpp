#include "platform/view_placement.hpp"

namespace vantrel {

namespace {

struct AxisPlacement {
  int viewStart;
  int consoleStart;
  int length;
};

// `cutFromStart`: of an odd number of cells cut, the extra one is cut at the start.
AxisPlacement placeAxis(int consoleLength, int viewLength, bool cutFromStart = false) {
  if (consoleLength >= viewLength) {
    return {0, (consoleLength - viewLength) / 2, viewLength};
  }
  const int cut = viewLength - consoleLength;
  return {(cut + (cutFromStart ? 1 : 0)) / 2, 0, consoleLength};
}

}  // namespace

View viewFor(ViewChoice choice, ConsoleSize size) {
  switch (choice) {
    case ViewChoice::exact:
      return View::exact;
    case ViewChoice::fitted:
      return View::fitted;
    case ViewChoice::bySize:
    case ViewChoice::pixels:  // where no pixels are drawn, the text view by size
      break;
  }
  return size.columns >= screenColumns && size.rows >= screenRows ? View::exact : View::fitted;
}

Viewport placeView(View view, ConsoleSize console) {
  const Blitter& blitter = blitterFor(view, Glyphs::blocks);
  const AxisPlacement across = placeAxis(console.columns, blitter.columns);
  // The fitted view's top row holds only ripple, its bottom row the bars'
  // feet: a console one row short (the usual 80 x 24) loses the top one.
  const AxisPlacement down = placeAxis(console.rows, blitter.rows, view == View::fitted);
  return {across.viewStart,  down.viewStart, across.consoleStart,
          down.consoleStart, across.length,  down.length};
}

bool showsWholePicture(View view, const Viewport& viewport) {
  const Blitter& blitter = blitterFor(view, Glyphs::blocks);
  const int rowsMayBeCut = view == View::fitted ? 1 : 0;
  return viewport.columns == blitter.columns && viewport.rows >= blitter.rows - rowsMayBeCut;
}

}  // namespace vantrel
