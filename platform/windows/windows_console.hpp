#pragma once
// The demo's console on Windows: the process's own console, sized to the
// picture, written with one WriteConsoleOutputW call per frame.

#include <windows.h>

#include <array>
#include <string>

#include "platform/console.hpp"
#include "platform/windows/console_keys.hpp"
#include "screen/cell_screen.hpp"

namespace vantrel {

// Sizes the screen buffer and the window of `output` to columns x rows, as
// far as the console allows (a screen too small keeps a smaller window and
// scrolls). Returns false when the buffer could not be given that size.
bool resizeConsole(HANDLE output, SHORT columns, SHORT rows);

class WindowsConsole final : public Console {
 public:
  WindowsConsole(HANDLE input, HANDLE output);
  ~WindowsConsole() override;
  WindowsConsole(const WindowsConsole&) = delete;
  WindowsConsole& operator=(const WindowsConsole&) = delete;

  void openWindow() override;
  void setWindowRows(int rows) override;
  void placeWindow(int x, int y) override;
  void setWindowTitle(std::string_view title) override;
  void hideCursor() override;
  void writeCells(const Cell* cells, BufferCoord bufferSize, BufferCoord bufferCoord,
                  WriteRegion& region) override;
  KeyPress pollKey() override;
  void restore() noexcept override;

 private:
  // What openWindow found, given back by restore.
  struct Saved {
    DWORD inputMode = 0;
    CONSOLE_CURSOR_INFO cursor{};
    CONSOLE_SCREEN_BUFFER_INFO screen{};
    std::wstring title;
    bool inputModeValid = false;
    bool cursorValid = false;
    bool screenValid = false;
    bool titleValid = false;
  };

  HANDLE input_;
  HANDLE output_;
  Saved saved_;
  bool open_ = false;
  ConsoleKeyDecoder keys_;
  // The frame in the console's own records; filled in place every frame.
  std::array<CHAR_INFO, cellCount> frame_{};
};

}  // namespace vantrel
