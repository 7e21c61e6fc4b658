#include "platform/terminal/terminal_renderer.hpp"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

#include "platform/terminal/terminal_sequences.hpp"

namespace vantrel {

namespace {

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
  std::array<char, 48> bytes_{};
  std::size_t length_ = 0;
};

bool isBlank(ViewCell cell) {
  return cell.glyph == U' ';
}

// Two cells look the same when they show the same character on the same
// background, and, unless the character is a blank, in the same colour.
bool looksSame(ViewCell shown, ViewCell wanted) {
  return shown.glyph == wanted.glyph && shown.background == wanted.background &&
         (isBlank(wanted) || shown.foreground == wanted.foreground);
}

// A character's UTF-8 bytes; the views draw only from the Basic Multilingual Plane.
struct Utf8 {
  std::array<char, 3> bytes{};
  std::size_t length = 0;
};
Utf8 utf8Of(char32_t glyph) {
  const auto byte = [](char32_t value) { return static_cast<char>(value); };
  if (glyph < 0x80) return {{byte(glyph)}, 1};
  if (glyph < 0x800) return {{byte(0xC0 | (glyph >> 6)), byte(0x80 | (glyph & 0x3F))}, 2};
  return {{byte(0xE0 | ((glyph >> 12) & 0x0F)), byte(0x80 | ((glyph >> 6) & 0x3F)),
           byte(0x80 | (glyph & 0x3F))},
          3};
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

std::size_t digitCount(int value) {
  std::size_t count = 1;
  for (; value >= 10; value /= 10) ++count;
  return count;
}

// The length of CSI n final, the count left out when it is 1; none for 0.
std::size_t moveSize(int count) {
  if (count == 0) return 0;
  return count == 1 ? 3 : 3 + digitCount(count);
}

// The ways to bring the cursor to a cell: to its row and column, by rows
// and columns from where it is, to the line's start and on, or up or down
// and to the column. Only the first needs to know where the cursor is.
enum class MoveKind { absolute, relative, fromLineStart, toColumn };
struct CursorMove {
  MoveKind kind;
  std::size_t size;
};

// The shortest move from (fromRow, fromColumn), -1 where unknown, to (row,
// column); of equal lengths the one first in MoveKind's order. Sizes are
// counted, not spelled out: this runs for every cell drawn after a gap.
CursorMove cheapestMove(int fromRow, int fromColumn, int row, int column) {
  std::size_t absolute = 3;
  if (row > 0 || column > 0) absolute += digitCount(row + 1);
  if (column > 0) absolute += 1 + digitCount(column + 1);
  CursorMove best{MoveKind::absolute, absolute};
  if (fromRow < 0) return best;
  const auto consider = [&best](MoveKind kind, std::size_t size) {
    if (size < best.size) best = {kind, size};
  };
  const std::size_t vertical = moveSize(std::abs(row - fromRow));
  if (fromColumn >= 0)
    consider(MoveKind::relative, vertical + moveSize(std::abs(column - fromColumn)));
  consider(MoveKind::fromLineStart, vertical + 1 + (column > 0 ? moveSize(column) : 0));
  consider(MoveKind::toColumn, vertical + 3 + (column > 0 ? digitCount(column + 1) : 0));
  return best;
}

ShortText spelledOut(CursorMove move, int fromRow, int fromColumn, int row, int column) {
  if (move.kind == MoveKind::absolute) return absoluteMove(row, column);
  ShortText text;
  if (row > fromRow) text.addMove(row - fromRow, 'B');
  if (row < fromRow) text.addMove(fromRow - row, 'A');
  switch (move.kind) {
    case MoveKind::relative:
      if (column > fromColumn) text.addMove(column - fromColumn, 'C');
      if (column < fromColumn) text.addMove(fromColumn - column, 'D');
      break;
    case MoveKind::fromLineStart:
      text.add('\r');
      if (column > 0) text.addMove(column, 'C');
      break;
    default:
      text.add("\x1b[");
      if (column > 0) text.addNumber(column + 1);
      text.add('G');
      break;
  }
  return text;
}

}  // namespace

TerminalRenderer::TerminalRenderer(RenderStyle style) : style_(style), buffer_(capacity) {
  resize({});
}

void TerminalRenderer::resize(TerminalSize size) {
  // A terminal that reports no size is taken to have the picture's.
  if (size.columns <= 0 || size.rows <= 0) size = {};
  size_ = size;
  place();
}

void TerminalRenderer::setStyle(RenderStyle style) {
  style_ = style;
  place();
}

void TerminalRenderer::place() {
  view_ = viewFor(style_.view, size_);
  blitter_ = &blitterFor(view_, style_.glyphs);
  viewport_ = placeView(view_, size_);
  repaintAll_ = true;
}

bool TerminalRenderer::showsWholePicture() const {
  return vantrel::showsWholePicture(view_, viewport_);
}

std::string_view TerminalRenderer::render(const CellScreen& screen) {
  length_ = 0;
  append(beginUpdate);
  const std::size_t opening = length_;
  if (repaintAll_) beginRepaint();
  deferredCount_ = 0;
  Colours pass = colours_;
  for (int row = 0; row < viewport_.rows; ++row) renderRow(screen, row, pass);
  repaintAll_ = false;
  renderDeferred();
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

// A changed cell in the colours of this pass is drawn at once; one in other
// colours waits for the pass of its own colours, so a colour is set once per
// frame however its cells lie: every colour change would cost more than a
// cursor move, in direct colour three times more.
void TerminalRenderer::renderRow(const CellScreen& screen, int viewportRow, Colours& pass) {
  const int viewRow = viewport_.viewRow + viewportRow;
  for (int offset = 0; offset < viewport_.columns; ++offset) {
    const int viewColumn = viewport_.viewColumn + offset;
    const ViewCell cell = blitter_->draw(screen, viewRow, viewColumn);
    if (!repaintAll_ && looksSame(shownAt(viewRow, viewColumn), cell)) continue;
    if (fitsPass(pass, cell)) {
      drawCell(viewRow, viewColumn, cell);
    } else {
      deferred_[deferredCount_++] = {static_cast<std::int16_t>(viewRow),
                                     static_cast<std::int16_t>(viewColumn), cell};
    }
  }
}

// The passes of the other colours, in the order their first cells came.
void TerminalRenderer::renderDeferred() {
  while (deferredCount_ > 0) {
    Colours pass{-1, -1};
    std::size_t kept = 0;
    for (std::size_t next = 0; next < deferredCount_; ++next) {
      const DeferredCell waiting = deferred_[next];
      if (fitsPass(pass, waiting.cell)) {
        drawCell(waiting.viewRow, waiting.viewColumn, waiting.cell);
      } else {
        deferred_[kept++] = waiting;
      }
    }
    deferredCount_ = kept;
  }
}

// Does `cell` show in the pass's colours? A pass that has no colour yet
// takes the first cell's.
bool TerminalRenderer::fitsPass(Colours& pass, ViewCell cell) {
  if (pass.background < 0) pass.background = cell.background;
  if (cell.background != pass.background) return false;
  if (isBlank(cell)) return true;
  if (pass.foreground < 0) pass.foreground = cell.foreground;
  return cell.foreground == pass.foreground;
}

void TerminalRenderer::drawCell(int viewRow, int viewColumn, ViewCell cell) {
  const int row = viewport_.consoleRow + viewRow - viewport_.viewRow;
  const int column = viewport_.consoleColumn + viewColumn - viewport_.viewColumn;
  moveCursor(viewRow, row, column);
  setColours(cell);
  putCell(cell, column);
  shownAt(viewRow, viewColumn) = cell;
}

void TerminalRenderer::moveCursor(int viewRow, int row, int column) {
  if (cursor_.row == row && cursor_.column == column) return;
  const CursorMove move = cheapestMove(cursor_.row, cursor_.column, row, column);
  if (cursor_.row == row && reprintGap(viewRow, column, move.size)) return;
  append(spelledOut(move, cursor_.row, cursor_.column, row, column).view());
  cursor_ = {row, column};
}

// Moving right over a few unchanged cells can cost less than any cursor move:
// print them again, if they need no colour change.
bool TerminalRenderer::reprintGap(int viewRow, int column, std::size_t budget) {
  const int from = cursor_.column;
  if (from < viewport_.consoleColumn || column <= from) return false;
  const int viewOffset = viewport_.viewColumn - viewport_.consoleColumn;
  std::size_t cost = 0;
  for (int gap = from; gap < column; ++gap) {
    const ViewCell cell = shownAt(viewRow, gap + viewOffset);
    const bool coloursFit = cell.background == colours_.background &&
                            (isBlank(cell) || cell.foreground == colours_.foreground);
    cost += utf8Of(cell.glyph).length;
    if (!coloursFit || cost >= budget) return false;
  }
  for (int gap = from; gap < column; ++gap) putCell(shownAt(viewRow, gap + viewOffset), gap);
  return true;
}

void TerminalRenderer::setColours(ViewCell cell) {
  const bool newForeground = !isBlank(cell) && cell.foreground != colours_.foreground;
  const bool newBackground = cell.background != colours_.background;
  if (!newForeground && !newBackground) return;
  ShortText sequence;
  sequence.add("\x1b[");
  if (newForeground) sequence.add(foregroundParameters(style_.colours, cell.foreground));
  if (newForeground && newBackground) sequence.add(';');
  if (newBackground) sequence.add(backgroundParameters(style_.colours, cell.background));
  sequence.add('m');
  append(sequence.view());
  if (newForeground) colours_.foreground = cell.foreground;
  colours_.background = cell.background;
}

void TerminalRenderer::putCell(ViewCell cell, int column) {
  const Utf8 glyph = utf8Of(cell.glyph);
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
