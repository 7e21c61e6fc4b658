#include "driver/presentation.hpp"

namespace vantrel {

void presentScreen(Presentation& presentation, const CellScreen& cellScreen) {
  presentation.console->writeCells(cellScreen.data(), presentation.bufferSize,
                                   presentation.bufferCoord, presentation.writeRegion);
}

}  // namespace vantrel
