#pragma once
// The demo's console on a POSIX terminal: raw keyboard, alternate screen,
// hidden cursor, the title, and the picture kept centred (or cut around its
// centre) as the terminal is resized. Everything is given back on restore,
// and on any signal that ends the process.

#include <unistd.h>

#include "platform/console.hpp"
#include "platform/terminal/key_decoder.hpp"
#include "platform/terminal/terminal_renderer.hpp"

namespace vantrel {

class TerminalConsole final : public Console {
 public:
  explicit TerminalConsole(int inputFd = STDIN_FILENO, int outputFd = STDOUT_FILENO);
  ~TerminalConsole() override;
  TerminalConsole(const TerminalConsole&) = delete;
  TerminalConsole& operator=(const TerminalConsole&) = delete;

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
  void send(std::string_view bytes);

  int inputFd_;
  int outputFd_;
  KeyDecoder keys_;
  TerminalRenderer renderer_;
  CellScreen screenBuffer_{};  // the console's 80 x 50 screen buffer
};

}  // namespace vantrel
