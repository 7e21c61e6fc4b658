#pragma once
// Giving a terminal back exactly as it was found, on every way out: the
// normal end, the signals that ask a process to end, and the fatal ones.
//
// Everything the restore needs (the saved termios and the bytes that undo
// the screen changes) is prepared before the terminal is touched, so a
// signal handler can do it with async-signal-safe calls alone. Signal
// handlers reach only this one armed record; nothing else is global.

#include <termios.h>

#include <array>
#include <cstddef>
#include <string_view>

namespace vantrel {

struct TerminalRestore {
  int inputFd = -1;
  int outputFd = -1;
  bool haveModes = false;
  termios savedModes{};
  std::array<char, 160> bytes{};
  std::size_t length = 0;

  void appendBytes(std::string_view text);
  std::string_view view() const { return {bytes.data(), length}; }
};

// Remembers `restore` and installs the handlers: SIGTERM, SIGHUP, SIGQUIT and
// SIGINT restore and then end the process with that signal; SIGSEGV, SIGBUS,
// SIGFPE, SIGILL and SIGABRT restore and then take their default action;
// SIGWINCH raises the resize notice. Call before changing the terminal.
void armTerminalRestore(const TerminalRestore& restore);

// Gives the terminal back if it is still armed, and puts the signal handlers
// that were there before back. Safe to call more than once, from any thread.
void runTerminalRestore() noexcept;

// True once for every burst of SIGWINCH since the last call.
bool takeResizeNotice() noexcept;

}  // namespace vantrel
