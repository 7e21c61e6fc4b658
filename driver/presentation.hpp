#pragma once
// The one call per frame that hands the cell screen to the console.

#include "platform/console.hpp"
#include "screen/cell_screen.hpp"

namespace vantrel {

// What presentScreen needs, fixed once at start-up.
struct Presentation {
  Console* console = nullptr;
  BufferCoord bufferSize{screenColumns, screenRows};
  BufferCoord bufferCoord{0, 0};
  WriteRegion writeRegion{0, 0, 79, 79};
};

// Copies the whole screen to the console in one call.
void presentScreen(Presentation& presentation, const CellScreen& cellScreen);

}  // namespace vantrel
