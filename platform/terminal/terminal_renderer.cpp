#include "platform/terminal/terminal_renderer.hpp"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/code_page_437.hpp"

namespace vantrel {

namespace {

constexpr std::string_view beginUpdate = "\x1b[?2026h";
constexpr std::string_view endUpdate = "\x1b[?2026l";
constexpr std::string_view resetColours = "\x1b[0m";
constexpr std::string_view clearScreen = "\x1b[2J";

// A short control sequence, built on the stack while the cheapest cursor
// move is chosen.
class ShortText {
 public:
  void add(char byte) {
    if (length_ < bytes_.size()) bytes_[length_++] = byte;
  }
  void add(std::string_view text) {
    for (char byte : text) add(byte);
  }
  void addNumber(int value) {
    std::array<char, 12> digits{};
    std::size_t count = 0;
    do {
      digits[count++] = static_cast<char>('0' + value % 10);
      value /= 10;
    } while (value > 0 && count < digits.size());
    while (count > 0) add(digits[--count]);
  }
  // CSI n final, the count left out when it is 1 (every cursor move's default).
  void addMove(int count, char final) {
    add("\x1b[");
    if (count != 1) addNumber(count);
    add(final);
  }
  std::string_view view() const { return {bytes_.data(), length_}; }
  std::size_t size() const { return length_; }

 private:
  std::array<char, 32> bytes_{};
  std::size_t length_ = 0;
};

const Utf8Glyph& glyphOf(Cell cell) {
  return codePage437Utf8[cell.character & 0xFFu];
}
bool isBlank(Cell cell) {
  return codePage437ToUnicode[cell.character & 0xFFu] == U' ';
}
int foregroundOf(Cell cell) {
  return cell.attribute & 0xF;
}
int backgroundOf(Cell cell) {
  return (cell.attribute >> 4) & 0xF;
}

// Two cells look the same when they show the same character on the same
// background, and, unless the character is a blank, in the same colour.
bool looksSame(Cell shown, Cell wanted) {
  return codePage437ToUnicode[shown.character & 0xFFu] ==
             codePage437ToUnicode[wanted.character & 0xFFu] &&
         backgroundOf(shown) == backgroundOf(wanted) &&
         (isBlank(wanted) || foregroundOf(shown) == foregroundOf(wanted));
}

// The console numbers its colour bits blue = 1, green = 2, red = 4; ANSI
// numbers them red = 1, green = 2, blue = 4. Intensity picks the bright range.
int ansiColour(int consoleColour) {
  return ((consoleColour & 1) << 2) | (consoleColour & 2) | ((consoleColour & 4) >> 2);
}
int foregroundCode(int colour) {
  return ((colour & 8) != 0 ? 90 : 30) + ansiColour(colour);
}
int backgroundCode(int colour) {
  return ((colour & 8) != 0 ? 100 : 40) + ansiColour(colour);
}

struct AxisPlacement {
  int pictureStart;
  int terminalStart;
  int length;
};

AxisPlacement placeAxis(int terminalLength, int pictureLength) {
  if (terminalLength >= pictureLength) {
    return {0, (terminalLength - pictureLength) / 2, pictureLength};
  }
  return {(pictureLength - terminalLength) / 2, 0, terminalLength};
}

ShortText absoluteMove(int row, int column) {
  ShortText move;
  move.add("\x1b[");
  if (row > 0 || column > 0) move.addNumber(row + 1);
  if (column > 0) {
    move.add(';');
    move.addNumber(column + 1);
  }
  move.add('H');
  return move;
}

}  // namespace

Viewport placePicture(TerminalSize terminal) {
  const AxisPlacement across = placeAxis(terminal.columns, screenColumns);
  const AxisPlacement down = placeAxis(terminal.rows, screenRows);
  return {across.pictureStart, down.pictureStart, across.terminalStart,
          down.terminalStart,  across.length,     down.length};
}

TerminalRenderer::TerminalRenderer() : buffer_(capacity) {
  resize({});
}

void TerminalRenderer::resize(TerminalSize size) {
  // A terminal that reports no size is taken to have the picture's.
  if (size.columns <= 0 || size.rows <= 0) size = {};
  size_ = size;
  viewport_ = placePicture(size);
  repaintAll_ = true;
}

std::string_view TerminalRenderer::render(const CellScreen& screen) {
  length_ = 0;
  append(beginUpdate);
  const std::size_t opening = length_;
  if (repaintAll_) beginRepaint();
  for (int row = 0; row < viewport_.rows; ++row) renderRow(screen, row);
  repaintAll_ = false;
  if (length_ == opening) return {};
  append(endUpdate);
  return {buffer_.data(), length_};
}

void TerminalRenderer::beginRepaint() {
  // The margins around the picture take the terminal's default colours.
  append(resetColours);
  colours_ = {};
  append(clearScreen);
  cursor_ = {};
}

void TerminalRenderer::renderRow(const CellScreen& screen, int viewportRow) {
  const int pictureRow = viewport_.pictureRow + viewportRow;
  const int row = viewport_.terminalRow + viewportRow;
  for (int offset = 0; offset < viewport_.columns; ++offset) {
    const int index = cellIndex(pictureRow, viewport_.pictureColumn + offset + 1);
    const Cell cell = screen[index];
    if (!repaintAll_ && looksSame(shown_[index], cell)) continue;
    const int column = viewport_.terminalColumn + offset;
    moveCursor(pictureRow, row, column);
    setColours(cell);
    putCell(cell, column);
    shown_[index] = cell;
  }
}

void TerminalRenderer::moveCursor(int pictureRow, int row, int column) {
  if (cursor_.row == row && cursor_.column == column) return;
  ShortText best = absoluteMove(row, column);
  const auto consider = [&best](const ShortText& move) {
    if (move.size() < best.size()) best = move;
  };
  if (cursor_.row >= 0) {
    ShortText vertical;
    if (row > cursor_.row) vertical.addMove(row - cursor_.row, 'B');
    if (row < cursor_.row) vertical.addMove(cursor_.row - row, 'A');
    if (cursor_.column >= 0) {
      ShortText relative = vertical;
      if (column > cursor_.column) relative.addMove(column - cursor_.column, 'C');
      if (column < cursor_.column) relative.addMove(cursor_.column - column, 'D');
      consider(relative);
    }
    ShortText fromLineStart = vertical;
    fromLineStart.add('\r');
    if (column > 0) fromLineStart.addMove(column, 'C');
    consider(fromLineStart);
    ShortText toColumn = vertical;
    toColumn.add("\x1b[");
    if (column > 0) toColumn.addNumber(column + 1);
    toColumn.add('G');
    consider(toColumn);
  }
  if (cursor_.row == row && reprintGap(pictureRow, column, best.size())) return;
  append(best.view());
  cursor_ = {row, column};
}

// Moving right over a few unchanged cells can cost less than any cursor move:
// print them again, if they need no colour change.
bool TerminalRenderer::reprintGap(int pictureRow, int column, std::size_t budget) {
  const int from = cursor_.column;
  if (from < viewport_.terminalColumn || column <= from) return false;
  const int pictureOffset = viewport_.pictureColumn - viewport_.terminalColumn + 1;
  std::size_t cost = 0;
  for (int gap = from; gap < column; ++gap) {
    const Cell cell = shown_[cellIndex(pictureRow, gap + pictureOffset)];
    const bool coloursFit = backgroundOf(cell) == colours_.background &&
                            (isBlank(cell) || foregroundOf(cell) == colours_.foreground);
    cost += glyphOf(cell).length;
    if (!coloursFit || cost >= budget) return false;
  }
  for (int gap = from; gap < column; ++gap) {
    putCell(shown_[cellIndex(pictureRow, gap + pictureOffset)], gap);
  }
  return true;
}

void TerminalRenderer::setColours(Cell cell) {
  const int foreground = foregroundOf(cell);
  const int background = backgroundOf(cell);
  const bool newForeground = !isBlank(cell) && foreground != colours_.foreground;
  const bool newBackground = background != colours_.background;
  if (!newForeground && !newBackground) return;
  ShortText sequence;
  sequence.add("\x1b[");
  if (newForeground) sequence.addNumber(foregroundCode(foreground));
  if (newForeground && newBackground) sequence.add(';');
  if (newBackground) sequence.addNumber(backgroundCode(background));
  sequence.add('m');
  append(sequence.view());
  if (newForeground) colours_.foreground = foreground;
  colours_.background = background;
}

void TerminalRenderer::putCell(Cell cell, int column) {
  const Utf8Glyph& glyph = glyphOf(cell);
  append({glyph.bytes.data(), glyph.length});
  cursor_.column = column + 1 < size_.columns ? column + 1 : -1;
}

void TerminalRenderer::append(std::string_view bytes) {
  // capacity covers the largest frame; the guard only keeps memory safe.
  const std::size_t count = std::min(bytes.size(), buffer_.size() - length_);
  std::memcpy(buffer_.data() + length_, bytes.data(), count);
  length_ += count;
}

}  // namespace vantrel
