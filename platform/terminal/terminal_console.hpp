#pragma once
// The demo's console on a POSIX terminal.

#include "platform/console.hpp"

namespace vantrel {

class TerminalConsole final : public Console {
 public:
  void openWindow() override {}
  void setWindowRows(int) override {}
  void placeWindow(int, int) override {}
  void setWindowTitle(std::string_view) override {}
  void hideCursor() override {}
  void writeCells(const Cell*, BufferCoord, BufferCoord, WriteRegion&) override {}
  KeyPress pollKey() override { return {}; }
  void restore() noexcept override {}
};

}  // namespace vantrel
