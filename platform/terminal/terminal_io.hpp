#pragma once
// Plain reads and writes on a terminal's file descriptors.

#include <string_view>

#include "platform/terminal/terminal_renderer.hpp"

namespace vantrel {

// Writes all of `bytes`, however many calls the kernel needs, waiting while
// the terminal is slow rather than dropping or queueing anything. Safe in a
// signal handler. Returns false if the terminal has gone (errno says why),
// or if a signal interrupted the write and `abandon` says to give up.
bool writeAll(int fd, std::string_view bytes, bool (*abandon)() noexcept = nullptr) noexcept;

// True when a failed write or read's errno means the terminal is gone (its
// window closed, its session hung up), not just busy.
bool terminalGoneError(int error) noexcept;

// The terminal's size in cells and, where it tells, its text area's in pixels.
struct TerminalWindow {
  TerminalSize cells{0, 0};
  int pixelWidth = 0;
  int pixelHeight = 0;
};
// A zero size when it cannot tell.
TerminalWindow terminalWindowOf(int fd) noexcept;

}  // namespace vantrel
