#pragma once
// The demo's console on Windows: a screen buffer of the demo's own in the
// process's console, sized to the picture and written with one
// WriteConsoleOutputW call per frame; the user's buffer is made active again
// at the end, so their text comes back as it was.

#include <windows.h>

#include <array>

#include "platform/console.hpp"
#include "platform/windows/console_keys.hpp"
#include "platform/windows/console_restore.hpp"
#include "platform/windows/console_size.hpp"
#include "screen/cell_screen.hpp"

namespace vantrel {

// Makes a new screen buffer in the process's console; gives
// INVALID_HANDLE_VALUE when the console refuses one.
using ScreenBufferMaker = HANDLE (*)();
HANDLE makeConsoleScreenBuffer();

class WindowsConsole final : public Console {
 public:
  // `output` is the screen buffer that is active when the demo starts.
  WindowsConsole(HANDLE input, HANDLE output,
                 ScreenBufferMaker makeScreenBuffer = makeConsoleScreenBuffer);
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

  // The buffer the frames go to: the demo's own while the window is open,
  // the original one when the console refused a new buffer.
  HANDLE drawingBuffer() const { return drawing_; }
  bool drawsOnOwnBuffer() const { return ownBuffer_ != nullptr; }

 private:
  void holdOriginalBuffer();
  void takeOwnScreenBuffer();

  HANDLE input_;
  HANDLE output_;
  // The buffer that was active at the start, to make active again at the end.
  HANDLE original_ = nullptr;
  bool openedOriginal_ = false;
  HANDLE drawing_;
  HANDLE ownBuffer_ = nullptr;
  ScreenBufferMaker makeScreenBuffer_;
  bool open_ = false;
  ConsoleKeyDecoder keys_;
  // The frame in the console's own records; filled in place every frame.
  std::array<CHAR_INFO, cellCount> frame_{};
};

}  // namespace vantrel
