#pragma once
// The cell screen: the 80 x 50 picture every effect draws into, and the
// geometry of handing a block of it to a console.

#include <array>
#include <cstddef>
#include <cstdint>

namespace vantrel {

// One console character cell in the console's own layout: a code page 437
// character, then a colour attribute (low nibble foreground, high nibble
// background; in each nibble bit 0 blue, 1 green, 2 red, 3 intensity).
struct Cell {
  std::uint16_t character = 0;
  std::uint16_t attribute = 0;

  friend bool operator==(const Cell&, const Cell&) = default;
};
static_assert(sizeof(Cell) == 4, "a cell is the console's 4-byte character record");
static_assert(offsetof(Cell, character) == 0 && offsetof(Cell, attribute) == 2);

inline constexpr int screenColumns = 80;
inline constexpr int screenRows = 50;
inline constexpr int cellCount = screenColumns * screenRows;

// Index of the cell in row `row` (0 = top .. 49) and column `column` (1 = left .. 80).
constexpr int cellIndex(int row, int column) {
  return row * screenColumns + column;
}

// 4000 cells indexed 1..4000, top row first, consecutive in memory from cell 1.
class CellScreen {
 public:
  Cell& operator[](int index) { return cells_[static_cast<std::size_t>(index - 1)]; }
  const Cell& operator[](int index) const { return cells_[static_cast<std::size_t>(index - 1)]; }

  // Address of cell 1; stays valid for the screen's life.
  Cell* data() { return cells_.data(); }
  const Cell* data() const { return cells_.data(); }

  friend bool operator==(const CellScreen&, const CellScreen&) = default;

 private:
  std::array<Cell, cellCount> cells_{};
};

// A console coordinate or size, in cells.
struct BufferCoord {
  std::int16_t x = 0;
  std::int16_t y = 0;
};

// The rectangle a presentation writes, inclusive; the console narrows it in
// place to the part it really wrote, and that narrowed record is reused.
struct WriteRegion {
  std::int16_t left = 0;
  std::int16_t top = 0;
  std::int16_t right = 0;
  std::int16_t bottom = 0;

  friend bool operator==(const WriteRegion&, const WriteRegion&) = default;
};

// Narrows `region` to the part of a bufferSize block placed at bufferCoord
// that fits a console of consoleSize cells, the way a console write does.
// Returns false when nothing of it can be written.
bool clipWriteRegion(WriteRegion& region, BufferCoord bufferSize, BufferCoord bufferCoord,
                     BufferCoord consoleSize);

// A console write into an 80 x 50 screen: the part of the bufferSize block
// `cells` that `region` (narrowed as above) takes from bufferCoord.
void writeBlock(CellScreen& screen, const Cell* cells, BufferCoord bufferSize,
                BufferCoord bufferCoord, WriteRegion& region);

}  // namespace vantrel
