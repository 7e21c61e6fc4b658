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

}  // namespace

HANDLE makeConsoleScreenBuffer() {
  return CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, CONSOLE_TEXTMODE_BUFFER, nullptr);
}

WindowsConsole::WindowsConsole(HANDLE input, HANDLE output, ScreenBufferMaker makeScreenBuffer)
    : input_(input), output_(output), drawing_(output), makeScreenBuffer_(makeScreenBuffer) {}

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
  SetConsoleMode(input_, 0);
  takeOwnScreenBuffer();
  // Wine's console starts reading its terminal only once the input has been
  // peeked at or waited on (counting the events is not enough); peek once.
  INPUT_RECORD ignored{};
  DWORD peeked = 0;
  PeekConsoleInputW(input_, &ignored, 1, &peeked);
  open_ = true;
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

KeyPress WindowsConsole::pollKey() {
  if (const auto repeat = keys_.takeRepeat()) return *repeat;
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
