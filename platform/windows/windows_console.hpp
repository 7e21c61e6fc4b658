#pragma once
// The demo's console on Windows: a screen buffer of the demo's own in the
// process's console, sized to the picture and written with one
// WriteConsoleOutputW call per frame; the user's buffer is made active again
// at the end, so their text comes back as it was.
//
// A console window that shows less than 80 x 50 (Windows Terminal keeps its
// own size whatever the buffer's) gets the fitted view: the whole picture at
// half height, in the full and half blocks that every console font has,
// placed in the window as the terminal layer places it. The window's size is
// read after the set-up and again whenever the console reports a change.

#include <windows.h>

#include <array>

#include "platform/cell_blitters.hpp"
#include "platform/console.hpp"
#include "platform/console_options.hpp"
#include "platform/view_placement.hpp"
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
  WindowsConsole(HANDLE input, HANDLE output, ConsoleOptions options = {},
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
  // The view the frames are drawn in, for the window's size at the last frame.
  View view() const { return view_; }

 private:
  void holdOriginalBuffer();
  void takeOwnScreenBuffer();
  void readVisibleWindow();
  void clearWindow();
  void writeExact(const Cell* cells, BufferCoord bufferSize, BufferCoord bufferCoord,
                  WriteRegion& region);
  void writeFitted(const Cell* cells, BufferCoord bufferSize, BufferCoord bufferCoord,
                   WriteRegion& region);

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
  ConsoleOptions options_;
  // What the window shows, as last read; a console whose report cannot be
  // true is taken to show all 80 x 50 from the buffer's top left.
  VisibleWindow window_{0, 0, screenColumns, screenRows};
  View view_ = View::exact;
  Viewport viewport_{};
  bool windowChanged_ = false;  // the console reported a new size
  bool repaint_ = true;         // the window is cleared before the next frame
  // The console's 80 x 50 screen buffer, as the frames wrote it, for the fitted view.
  CellScreen picture_{};
  // The frame in the console's own records; filled in place every frame.
  std::array<CHAR_INFO, cellCount> frame_{};
};

}  // namespace vantrel
