#pragma once
// Giving the Windows console back exactly as it was found, on every way out:
// the normal end, the console's close, log-off and shut-down events, and a
// crash (an unhandled exception or abort).
//
// The console's event handler, the crash filter and the abort handler receive
// nothing that could lead them to the console, so they work from the one
// armed record kept here; nothing else is global. The record is filled before
// the console is touched, so giving it back allocates nothing.

#include <windows.h>

#include <string>

namespace vantrel {

// What the demo found, and whether it made a screen buffer of its own.
struct ConsoleRestore {
  HANDLE input = nullptr;
  HANDLE original = nullptr;   // the screen buffer that was active
  bool madeOwnBuffer = false;  // made a buffer of its own to show instead
  DWORD inputMode = 0;
  CONSOLE_CURSOR_INFO cursor{};
  CONSOLE_SCREEN_BUFFER_INFO screen{};
  std::wstring title;
  bool inputModeValid = false;
  bool cursorValid = false;
  bool screenValid = false;
  bool titleValid = false;
};

// Reads what the console looks like now through `input` and `original`.
ConsoleRestore captureConsole(HANDLE input, HANDLE original);

// Makes the original buffer active again and puts back its size, window and
// cursor (where they differ from what was found), the title and the input
// mode; drops the keys typed during the show, which were meant for the demo.
void giveConsoleBack(const ConsoleRestore& restore) noexcept;

// The console's events, as the system delivers them: Ctrl+C and Ctrl+Break
// are answered as handled (ignored, like any key but Esc); close, log-off and
// shut-down give the console back and leave the ending to the system.
BOOL WINAPI answerConsoleEvent(DWORD event);

// Remembers `restore` and installs the console event handler, the crash
// filter and the abort handler. Call before changing the console.
void armConsoleRestore(const ConsoleRestore& restore);

// Gives the console back if it is still armed (waiting for a handler that is
// doing so right now) and removes the handlers. Safe to call more than once.
void runConsoleRestore() noexcept;

}  // namespace vantrel
