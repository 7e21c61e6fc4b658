#include "platform/windows/windows_console.hpp"

#include <algorithm>
#include <optional>

#include "platform/code_page_437.hpp"

namespace vantrel {

namespace {

static_assert(sizeof(CHAR_INFO) == sizeof(Cell), "a cell and a console record match in size");
static_assert(virtual_key::escape == VK_ESCAPE && virtual_key::shift == VK_SHIFT &&
              virtual_key::control == VK_CONTROL && virtual_key::alt == VK_MENU &&
              virtual_key::capsLock == VK_CAPITAL && virtual_key::numLock == VK_NUMLOCK &&
              virtual_key::scrollLock == VK_SCROLL && virtual_key::leftWindows == VK_LWIN &&
              virtual_key::rightWindows == VK_RWIN && virtual_key::leftShift == VK_LSHIFT &&
              virtual_key::rightAlt == VK_RMENU);

std::wstring toWide(std::string_view text) {
  if (text.empty()) return {};
  const int length =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(std::max(length, 0)), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

// A cell's code page 437 byte as the UTF-16 character the console shows, so
// the picture does not depend on the console's code page.
WCHAR consoleCharacter(std::uint16_t character) {
  if (character > 0xFF) return static_cast<WCHAR>(character);
  return static_cast<WCHAR>(codePage437ToUnicode[character]);
}

SMALL_RECT toRect(const WriteRegion& region) {
  return {region.left, region.top, region.right, region.bottom};
}

CHAR_INFO toRecord(ViewCell cell) {
  CHAR_INFO record{};
  // Every character a view draws lies in the Basic Multilingual Plane.
  record.Char.UnicodeChar = static_cast<WCHAR>(cell.glyph);
  record.Attributes = static_cast<WORD>(cell.foreground | (cell.background << 4));
  return record;
}

bool operator==(const Viewport& a, const Viewport& b) {
  return a.viewColumn == b.viewColumn && a.viewRow == b.viewRow &&
         a.consoleColumn == b.consoleColumn && a.consoleRow == b.consoleRow &&
         a.columns == b.columns && a.rows == b.rows;
}

}  // namespace

HANDLE makeConsoleScreenBuffer() {
  return CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, CONSOLE_TEXTMODE_BUFFER, nullptr);
}

WindowsConsole::WindowsConsole(HANDLE input, HANDLE output, ConsoleOptions options,
                               ScreenBufferMaker makeScreenBuffer)
    : input_(input),
      output_(output),
      drawing_(output),
      makeScreenBuffer_(makeScreenBuffer),
      options_(options) {}

WindowsConsole::~WindowsConsole() {
  restore();
}

void WindowsConsole::openWindow() {
  holdOriginalBuffer();
  ConsoleRestore found = captureConsole(input_, original_);
  const HANDLE own = makeScreenBuffer_();
  if (own != nullptr && own != INVALID_HANDLE_VALUE) ownBuffer_ = own;
  found.madeOwnBuffer = ownBuffer_ != nullptr;
  armConsoleRestore(found);
  // Raw input: no Ctrl+C processing, no line editing, no echo. Ctrl+C then
  // arrives as the key with character 3; the event handler catches Ctrl+Break.
  // The console's size changes arrive as input events too.
  SetConsoleMode(input_, ENABLE_WINDOW_INPUT);
  takeOwnScreenBuffer();
  // Wine's console starts reading its terminal only once the input has been
  // peeked at or waited on (counting the events is not enough); peek once.
  INPUT_RECORD ignored{};
  DWORD peeked = 0;
  PeekConsoleInputW(input_, &ignored, 1, &peeked);
  open_ = true;
  readVisibleWindow();
}

// A standard output handle may stand for whichever buffer is active (it
// does under wine), so a handle to the buffer active now is taken, CONOUT$,
// to make that one active again at the end.
void WindowsConsole::holdOriginalBuffer() {
  original_ = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  openedOriginal_ = original_ != INVALID_HANDLE_VALUE;
  if (!openedOriginal_) original_ = output_;
}

// The picture goes to a buffer of our own, so the user's text, buffer size,
// window and cursor stay untouched underneath. A console that will not show
// another buffer gets the picture in its own, as far as that goes.
void WindowsConsole::takeOwnScreenBuffer() {
  if (ownBuffer_ == nullptr) return;
  if (SetConsoleActiveScreenBuffer(ownBuffer_)) {
    drawing_ = ownBuffer_;
    return;
  }
  CloseHandle(ownBuffer_);
  ownBuffer_ = nullptr;
}

void WindowsConsole::setWindowRows(int rows) {
  resizeConsole(drawing_, static_cast<SHORT>(screenColumns),
                static_cast<SHORT>(std::clamp(rows, 1, 999)));
  // The console may keep a window of its own size: what it shows now decides the view.
  readVisibleWindow();
}

void WindowsConsole::readVisibleWindow() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  const bool reported = GetConsoleScreenBufferInfo(drawing_, &info) != FALSE;
  const std::optional<VisibleWindow> window = visibleWindowOf(reported, info);
  window_ = window.value_or(VisibleWindow{0, 0, screenColumns, screenRows});
  const View view = viewFor(options_.view, {window_.columns, window_.rows});
  const Viewport viewport = placeView(view, {window_.columns, window_.rows});
  if (view != view_ || !(viewport == viewport_)) repaint_ = true;
  view_ = view;
  viewport_ = viewport;
}

// Blanks the whole window, so nothing of another view stays in its margins.
// Only the window: under wine a write below it lands on the terminal's last row.
void WindowsConsole::clearWindow() {
  for (SHORT row = 0; row < window_.rows; ++row) {
    const COORD start{window_.left, static_cast<SHORT>(window_.top + row)};
    DWORD written = 0;
    FillConsoleOutputCharacterW(drawing_, L' ', static_cast<DWORD>(window_.columns), start,
                                &written);
    FillConsoleOutputAttribute(drawing_, 0, static_cast<DWORD>(window_.columns), start, &written);
  }
}

// The console is the picture: it stays where the system put it.
void WindowsConsole::placeWindow(int, int) {}

void WindowsConsole::setWindowTitle(std::string_view title) {
  SetConsoleTitleW(toWide(title).c_str());
}

void WindowsConsole::hideCursor() {
  CONSOLE_CURSOR_INFO cursor{};
  if (!GetConsoleCursorInfo(drawing_, &cursor)) cursor.dwSize = 25;
  cursor.bVisible = FALSE;
  SetConsoleCursorInfo(drawing_, &cursor);
}

void WindowsConsole::writeCells(const Cell* cells, BufferCoord bufferSize, BufferCoord bufferCoord,
                                WriteRegion& region) {
  if (windowChanged_) {
    windowChanged_ = false;
    readVisibleWindow();
  }
  if (repaint_) {
    clearWindow();
    repaint_ = false;
  }
  if (view_ == View::exact) {
    writeExact(cells, bufferSize, bufferCoord, region);
  } else {
    writeFitted(cells, bufferSize, bufferCoord, region);
  }
}

void WindowsConsole::writeExact(const Cell* cells, BufferCoord bufferSize, BufferCoord bufferCoord,
                                WriteRegion& region) {
  // The block is converted into the records prepared at start-up; a block
  // larger than the picture is cut to the rows that fit.
  const int columns = std::clamp<int>(bufferSize.x, 0, cellCount);
  const int rows = columns == 0 ? 0 : std::clamp<int>(bufferSize.y, 0, cellCount / columns);
  const auto count = static_cast<std::size_t>(columns * rows);
  for (std::size_t i = 0; i < count; ++i) {
    frame_[i].Char.UnicodeChar = consoleCharacter(cells[i].character);
    frame_[i].Attributes = cells[i].attribute;
  }
  SMALL_RECT rect = toRect(region);
  if (WriteConsoleOutputW(drawing_, frame_.data(),
                          COORD{static_cast<SHORT>(columns), static_cast<SHORT>(rows)},
                          COORD{bufferCoord.x, bufferCoord.y}, &rect)) {
    region = {rect.Left, rect.Top, rect.Right, rect.Bottom};
  }
}

// The block goes into an 80 x 50 screen of the picture, as the exact view
// writes it into a buffer of that size (`region` narrowed just the same),
// and the window shows the whole of it in the fitted view, however small
// the console kept its buffer.
void WindowsConsole::writeFitted(const Cell* cells, BufferCoord bufferSize, BufferCoord bufferCoord,
                                 WriteRegion& region) {
  writeBlock(picture_, cells, bufferSize, bufferCoord, region);
  const Blitter& blitter = blitterFor(View::fitted, Glyphs::halfBlocks);
  const Viewport& shown = viewport_;
  for (int row = 0; row < shown.rows; ++row) {
    for (int column = 0; column < shown.columns; ++column) {
      frame_[static_cast<std::size_t>(row * shown.columns + column)] =
          toRecord(blitter.draw(picture_, shown.viewRow + row, shown.viewColumn + column));
    }
  }
  const auto left = static_cast<SHORT>(window_.left + shown.consoleColumn);
  const auto top = static_cast<SHORT>(window_.top + shown.consoleRow);
  SMALL_RECT rect{left, top, static_cast<SHORT>(left + shown.columns - 1),
                  static_cast<SHORT>(top + shown.rows - 1)};
  WriteConsoleOutputW(drawing_, frame_.data(),
                      COORD{static_cast<SHORT>(shown.columns), static_cast<SHORT>(shown.rows)},
                      COORD{0, 0}, &rect);
}

KeyPress WindowsConsole::pollKey() {
  if (const auto repeat = keys_.takeRepeat()) return *repeat;
  DWORD waiting = 0;
  while (GetNumberOfConsoleInputEvents(input_, &waiting) && waiting > 0) {
    INPUT_RECORD record{};
    DWORD read = 0;
    if (!ReadConsoleInputW(input_, &record, 1, &read) || read == 0) break;
    // The window is read again before the next frame is drawn.
    if (record.EventType == WINDOW_BUFFER_SIZE_EVENT) windowChanged_ = true;
    if (record.EventType != KEY_EVENT) continue;
    const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
    const auto press = keys_.decode({.keyDown = key.bKeyDown != FALSE,
                                     .virtualKey = key.wVirtualKeyCode,
                                     .scanCode = key.wVirtualScanCode,
                                     .character = static_cast<char16_t>(key.uChar.UnicodeChar),
                                     .repeatCount = key.wRepeatCount});
    if (press) return *press;
  }
  return {};
}

void WindowsConsole::restore() noexcept {
  if (!open_) return;
  open_ = false;
  runConsoleRestore();
  if (ownBuffer_ != nullptr) CloseHandle(ownBuffer_);
  if (openedOriginal_) CloseHandle(original_);
  ownBuffer_ = nullptr;
  openedOriginal_ = false;
  drawing_ = output_;
}

}  // namespace vantrel
