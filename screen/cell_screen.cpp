#include "screen/cell_screen.hpp"

#include <algorithm>

namespace vantrel {

bool clipWriteRegion(WriteRegion& region, BufferCoord bufferSize, BufferCoord bufferCoord,
                     BufferCoord consoleSize) {
  // The block can supply at most bufferSize - bufferCoord cells from the region's corner.
  const int width = std::min(region.right - region.left + 1, bufferSize.x - bufferCoord.x);
  const int height = std::min(region.bottom - region.top + 1, bufferSize.y - bufferCoord.y);
  const int right = std::min(region.left + width - 1, consoleSize.x - 1);
  const int bottom = std::min(region.top + height - 1, consoleSize.y - 1);
  if (width <= 0 || height <= 0 || right < region.left || bottom < region.top || region.left < 0 ||
      region.top < 0) {
    return false;
  }
  region.right = static_cast<std::int16_t>(right);
  region.bottom = static_cast<std::int16_t>(bottom);
  return true;
}

void writeBlock(CellScreen& screen, const Cell* cells, BufferCoord bufferSize,
                BufferCoord bufferCoord, WriteRegion& region) {
  if (!clipWriteRegion(region, bufferSize, bufferCoord, {screenColumns, screenRows})) return;
  for (int row = region.top; row <= region.bottom; ++row) {
    const int sourceRow = bufferCoord.y + row - region.top;
    for (int column = region.left; column <= region.right; ++column) {
      const int sourceColumn = bufferCoord.x + column - region.left;
      screen[cellIndex(row, column + 1)] = cells[sourceRow * bufferSize.x + sourceColumn];
    }
  }
}

}  // namespace vantrel
