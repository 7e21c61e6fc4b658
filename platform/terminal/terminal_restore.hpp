#pragma once
// Giving a terminal back exactly as it was found, on every way out: the
// normal end, the signals that ask a process to end, and the fatal ones; and
// giving it back for a while when the shell stops the demo (Ctrl+Z from a
// shell's `kill -TSTP`, or a read or mode change from the background), then
// taking it again when the demo is continued in the foreground.
//
// Everything the restore needs (the saved termios and the bytes that undo
// the screen changes) is prepared before the terminal is touched, so a
// signal handler can do it with async-signal-safe calls alone, and without
// blocking for long on a terminal that has stopped reading. Signal handlers
// reach only this one armed record; nothing else is global.

#include <termios.h>

#include <array>
#include <cstddef>
#include <string_view>

namespace vantrel {

struct TerminalRestore {
  int inputFd = -1;
  int outputFd = -1;
  bool haveModes = false;
  termios savedModes{};  // the terminal's own modes
  termios takenModes{};  // the modes the demo runs the terminal in
  std::array<char, 256> bytes{};
  std::size_t length = 0;

  void appendBytes(std::string_view text);
  std::string_view view() const { return {bytes.data(), length}; }
};

// Remembers `restore` and installs the handlers: SIGTERM, SIGHUP, SIGQUIT and
// SIGINT restore and then end the process with that signal (a second one
// ends it even while the first is restoring); SIGSEGV, SIGBUS, SIGFPE, SIGILL
// and SIGABRT restore and then take their default action, on a stack of
// their own so a stack overflow restores too; SIGWINCH raises the repaint
// notice; SIGTSTP, SIGTTIN, SIGTTOU and SIGCONT are noted for
// serviceJobControl. Call before changing the terminal.
void armTerminalRestore(const TerminalRestore& restore);

// Adds to the armed give-back: `opening` before its bytes, `closing` after
// them (what only the probe's answers tell, such as an image to delete).
// Signals are kept out meanwhile; one that comes to another thread waits.
void extendGiveBack(std::string_view opening, std::string_view closing) noexcept;

// Adds `bytes` to what taking the terminal over sends, so a resume can send
// it all again. Call as each part of the take-over is sent. The title push,
// which only a give-back undoes, comes first.
enum class TakeOverPart { titlePush, screen };
void recordTakeOver(std::string_view bytes, TakeOverPart part = TakeOverPart::screen);

// On the thread that draws, between frames: if a stop was asked for, gives
// the terminal back, stops the process as the signal would have, and once it
// is continued in the foreground takes the terminal again (modes, screen,
// title, cursor) and raises the repaint notice.
void serviceJobControl() noexcept;

// A stop is waiting for serviceJobControl.
bool stopPending() noexcept;

// True while the demo has the terminal: not while stopped, or continued in
// the background, with the terminal given back to the shell.
bool terminalTaken() noexcept;

// Gives the terminal back if it is still armed, and puts the signal handlers
// that were there before back. Safe to call more than once, from any thread.
void runTerminalRestore() noexcept;

// True once for every burst of SIGWINCH, and after every resume, since the
// last call: the terminal must be measured and repainted in full.
bool takeResizeNotice() noexcept;

}  // namespace vantrel
