#include "platform/windows/windows_console.hpp"

#include <algorithm>

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

// Answers Ctrl+C and Ctrl+Break as handled, so neither ends the demo.
BOOL WINAPI ignoreBreakKeys(DWORD controlType) {
  return controlType == CTRL_C_EVENT || controlType == CTRL_BREAK_EVENT ? TRUE : FALSE;
}

std::wstring toWide(std::string_view text) {
  if (text.empty()) return {};
  const int length =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(std::max(length, 0)), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

std::wstring consoleTitle() {
  // GetConsoleTitleW gives no length up front; 1024 covers any title a user sets.
  std::wstring title(1024, L'\0');
  const DWORD length = GetConsoleTitleW(title.data(), static_cast<DWORD>(title.size()));
  title.resize(length);
  return title;
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

}  // namespace

bool resizeConsole(HANDLE output, SHORT columns, SHORT rows) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(output, &info)) return false;
  // The window must always fit inside the buffer: shrink the window to what
  // both the old and the new buffer hold, resize the buffer, then grow the
  // window to the new size, as far as the screen allows.
  const SHORT windowWidth = static_cast<SHORT>(info.srWindow.Right - info.srWindow.Left + 1);
  const SHORT windowHeight = static_cast<SHORT>(info.srWindow.Bottom - info.srWindow.Top + 1);
  const SMALL_RECT common{0, 0, static_cast<SHORT>(std::min(windowWidth, columns) - 1),
                          static_cast<SHORT>(std::min(windowHeight, rows) - 1)};
  SetConsoleWindowInfo(output, TRUE, &common);
  const bool resized = SetConsoleScreenBufferSize(output, COORD{columns, rows}) != FALSE;

  if (!GetConsoleScreenBufferInfo(output, &info)) return resized;
  const COORD largest = GetLargestConsoleWindowSize(output);
  auto fit = [](SHORT wanted, SHORT buffer, SHORT screen) {
    SHORT size = std::min(wanted, buffer);
    if (screen > 0) size = std::min(size, screen);
    return static_cast<SHORT>(std::max<SHORT>(size, 1) - 1);
  };
  const SMALL_RECT window{0, 0, fit(columns, info.dwSize.X, largest.X),
                          fit(rows, info.dwSize.Y, largest.Y)};
  SetConsoleWindowInfo(output, TRUE, &window);
  return resized;
}

WindowsConsole::WindowsConsole(HANDLE input, HANDLE output) : input_(input), output_(output) {}

WindowsConsole::~WindowsConsole() {
  restore();
}

void WindowsConsole::openWindow() {
  saved_.inputModeValid = GetConsoleMode(input_, &saved_.inputMode) != FALSE;
  saved_.cursorValid = GetConsoleCursorInfo(output_, &saved_.cursor) != FALSE;
  saved_.screenValid = GetConsoleScreenBufferInfo(output_, &saved_.screen) != FALSE;
  saved_.title = consoleTitle();
  saved_.titleValid = true;
  // Raw input: no Ctrl+C processing, no line editing, no echo. Ctrl+C then
  // arrives as the key with character 3; the handler catches Ctrl+Break.
  SetConsoleMode(input_, 0);
  SetConsoleCtrlHandler(ignoreBreakKeys, TRUE);
  // Wine's console starts reading its terminal only once the input has been
  // peeked at or waited on (counting the events is not enough); peek once.
  INPUT_RECORD ignored{};
  DWORD peeked = 0;
  PeekConsoleInputW(input_, &ignored, 1, &peeked);
  open_ = true;
}

void WindowsConsole::setWindowRows(int rows) {
  resizeConsole(output_, static_cast<SHORT>(screenColumns),
                static_cast<SHORT>(std::clamp(rows, 1, 999)));
}

// The console is the picture: it stays where the system put it.
void WindowsConsole::placeWindow(int, int) {}

void WindowsConsole::setWindowTitle(std::string_view title) {
  SetConsoleTitleW(toWide(title).c_str());
}

void WindowsConsole::hideCursor() {
  CONSOLE_CURSOR_INFO cursor{};
  if (!GetConsoleCursorInfo(output_, &cursor)) cursor.dwSize = 25;
  cursor.bVisible = FALSE;
  SetConsoleCursorInfo(output_, &cursor);
}

void WindowsConsole::writeCells(const Cell* cells, BufferCoord bufferSize, BufferCoord bufferCoord,
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
  if (WriteConsoleOutputW(output_, frame_.data(),
                          COORD{static_cast<SHORT>(columns), static_cast<SHORT>(rows)},
                          COORD{bufferCoord.x, bufferCoord.y}, &rect)) {
    region = {rect.Left, rect.Top, rect.Right, rect.Bottom};
  }
}

KeyPress WindowsConsole::pollKey() {
  DWORD waiting = 0;
  while (GetNumberOfConsoleInputEvents(input_, &waiting) && waiting > 0) {
    INPUT_RECORD record{};
    DWORD read = 0;
    if (!ReadConsoleInputW(input_, &record, 1, &read) || read == 0) break;
    if (record.EventType != KEY_EVENT) continue;
    const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
    const auto press = keys_.decode({.keyDown = key.bKeyDown != FALSE,
                                     .virtualKey = key.wVirtualKeyCode,
                                     .scanCode = key.wVirtualScanCode,
                                     .character = static_cast<char16_t>(key.uChar.UnicodeChar)});
    if (press) return *press;
  }
  return {};
}

void WindowsConsole::restore() noexcept {
  if (!open_) return;
  open_ = false;
  if (saved_.screenValid) {
    resizeConsole(output_, saved_.screen.dwSize.X, saved_.screen.dwSize.Y);
    SetConsoleWindowInfo(output_, TRUE, &saved_.screen.srWindow);
    SetConsoleCursorPosition(output_, saved_.screen.dwCursorPosition);
  }
  if (saved_.titleValid) SetConsoleTitleW(saved_.title.c_str());
  if (saved_.cursorValid) SetConsoleCursorInfo(output_, &saved_.cursor);
  if (saved_.inputModeValid) SetConsoleMode(input_, saved_.inputMode);
  SetConsoleCtrlHandler(ignoreBreakKeys, FALSE);
}

}  // namespace vantrel
