#include "platform/windows/console_restore.hpp"

#include <atomic>
#include <csignal>

#include "platform/windows/console_size.hpp"

namespace vantrel {

namespace {

enum RestoreState : int { idle, armed, restoring, restored };

// The record the handlers work from, and what they replaced.
struct ArmedRestore {
  ConsoleRestore restore;
  std::atomic<int> state{idle};
  std::atomic<DWORD> restoringThread{0};
  bool handlersInstalled = false;
  LPTOP_LEVEL_EXCEPTION_FILTER previousCrashFilter = nullptr;
  void (*previousAbortHandler)(int) = SIG_DFL;
};

ArmedRestore armedRestore;

// A handler that is giving the console back gets this long before the
// process ends without it; a stuck console must not keep the process alive.
constexpr int restoreWaitMilliseconds = 2000;

bool sameRect(const SMALL_RECT& a, const SMALL_RECT& b) {
  return a.Left == b.Left && a.Top == b.Top && a.Right == b.Right && a.Bottom == b.Bottom;
}

// Puts back the size, window and cursor position of the original buffer.
// With a buffer of our own they are as they were, and nothing is sent.
void giveScreenBack(const ConsoleRestore& restore) {
  const CONSOLE_SCREEN_BUFFER_INFO& saved = restore.screen;
  CONSOLE_SCREEN_BUFFER_INFO now{};
  if (!GetConsoleScreenBufferInfo(restore.original, &now)) return;
  if (now.dwSize.X != saved.dwSize.X || now.dwSize.Y != saved.dwSize.Y) {
    resizeConsole(restore.original, saved.dwSize.X, saved.dwSize.Y);
  }
  if (!sameRect(now.srWindow, saved.srWindow)) {
    SetConsoleWindowInfo(restore.original, TRUE, &saved.srWindow);
  }
  if (now.dwCursorPosition.X != saved.dwCursorPosition.X ||
      now.dwCursorPosition.Y != saved.dwCursorPosition.Y) {
    SetConsoleCursorPosition(restore.original, saved.dwCursorPosition);
  }
}

// Gives back if nobody has yet. If another thread is giving back right now,
// waits for it (a while) so the process does not end half way through; the
// thread doing it returns at once should it get here again (a crash inside).
void restoreOnce() noexcept {
  int expected = armed;
  const DWORD self = GetCurrentThreadId();
  if (armedRestore.state.compare_exchange_strong(expected, restoring)) {
    armedRestore.restoringThread.store(self);
    giveConsoleBack(armedRestore.restore);
    armedRestore.state.store(restored);
    return;
  }
  if (armedRestore.restoringThread.load() == self) return;
  for (int waited = 0; armedRestore.state.load() == restoring && waited < restoreWaitMilliseconds;
       ++waited) {
    Sleep(1);
  }
}

// A crash: give the console back, then let the crash take its course (the
// filter that was there before, or the system's report and end).
LONG WINAPI restoreOnCrash(EXCEPTION_POINTERS* exception) {
  restoreOnce();
  const LPTOP_LEVEL_EXCEPTION_FILTER previous = armedRestore.previousCrashFilter;
  return previous != nullptr ? previous(exception) : EXCEPTION_CONTINUE_SEARCH;
}

// abort(), which std::terminate calls: give back, then abort as before.
void restoreOnAbort(int signalNumber) {
  restoreOnce();
  std::signal(signalNumber, SIG_DFL);
  std::raise(signalNumber);
}

void installHandlers() {
  SetConsoleCtrlHandler(answerConsoleEvent, TRUE);
  armedRestore.previousCrashFilter = SetUnhandledExceptionFilter(restoreOnCrash);
  armedRestore.previousAbortHandler = std::signal(SIGABRT, restoreOnAbort);
  armedRestore.handlersInstalled = true;
}

void removeHandlers() {
  if (!armedRestore.handlersInstalled) return;
  SetConsoleCtrlHandler(answerConsoleEvent, FALSE);
  SetUnhandledExceptionFilter(armedRestore.previousCrashFilter);
  std::signal(SIGABRT, armedRestore.previousAbortHandler == SIG_ERR
                           ? SIG_DFL
                           : armedRestore.previousAbortHandler);
  armedRestore.handlersInstalled = false;
}

}  // namespace

ConsoleRestore captureConsole(HANDLE input, HANDLE original) {
  ConsoleRestore restore;
  restore.input = input;
  restore.original = original;
  restore.inputModeValid = GetConsoleMode(input, &restore.inputMode) != FALSE;
  restore.cursorValid = GetConsoleCursorInfo(original, &restore.cursor) != FALSE;
  restore.screenValid = GetConsoleScreenBufferInfo(original, &restore.screen) != FALSE;
  // GetConsoleTitleW gives no length up front; 1024 covers any title a user sets.
  restore.title.assign(1024, L'\0');
  const DWORD length =
      GetConsoleTitleW(restore.title.data(), static_cast<DWORD>(restore.title.size()));
  restore.title.resize(length);
  restore.titleValid = true;
  return restore;
}

void giveConsoleBack(const ConsoleRestore& restore) noexcept {
  if (restore.madeOwnBuffer) SetConsoleActiveScreenBuffer(restore.original);
  if (restore.screenValid) giveScreenBack(restore);
  if (restore.titleValid) SetConsoleTitleW(restore.title.c_str());
  if (restore.cursorValid) SetConsoleCursorInfo(restore.original, &restore.cursor);
  if (restore.inputModeValid) SetConsoleMode(restore.input, restore.inputMode);
  FlushConsoleInputBuffer(restore.input);
}

BOOL WINAPI answerConsoleEvent(DWORD event) {
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) return TRUE;
  // The system ends the process once the handlers return (or after a grace
  // period); the frame loop may draw on meanwhile, into a buffer nobody sees.
  restoreOnce();
  return FALSE;
}

void armConsoleRestore(const ConsoleRestore& restore) {
  armedRestore.restore = restore;
  armedRestore.restoringThread.store(0);
  armedRestore.state.store(armed);
  if (!armedRestore.handlersInstalled) installHandlers();
}

void runConsoleRestore() noexcept {
  restoreOnce();
  armedRestore.state.store(idle);
  removeHandlers();
}

}  // namespace vantrel
