#include "platform/terminal/terminal_restore.hpp"

#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/terminal/terminal_io.hpp"

namespace vantrel {

namespace {

// Signals that ask the process to end, the fatal ones, and the resize.
constexpr std::array handledSignals = {SIGTERM, SIGHUP, SIGQUIT, SIGINT,  SIGSEGV,
                                       SIGBUS,  SIGFPE, SIGILL,  SIGABRT, SIGWINCH};

enum RestoreState : int { idle, armed, restoring, restored };

// The record the signal handlers work from. A handler receives nothing but
// the signal number, so this is the one place they can find it.
struct SignalRestore {
  TerminalRestore restore;
  std::atomic<int> state{idle};
  std::atomic<bool> resized{false};
  bool handlersInstalled = false;
  std::array<struct sigaction, handledSignals.size()> previousActions{};
};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "signal handlers may only touch lock-free atomics");

SignalRestore signalRestore;

void giveTerminalBack(const TerminalRestore& restore) noexcept {
  writeAll(restore.outputFd, restore.view());
  if (!restore.haveModes) return;
  // At once rather than after the output drains: a terminal that has stopped
  // reading must not keep the process from ending.
  ::tcsetattr(restore.inputFd, TCSANOW, &restore.savedModes);
  // Keys typed during the demo and never read would otherwise spill into the shell.
  ::tcflush(restore.inputFd, TCIFLUSH);
}

// Restores if nobody has yet; if another thread is restoring right now, waits
// for it so the process does not end half way through.
void restoreOnce() noexcept {
  int expected = armed;
  if (signalRestore.state.compare_exchange_strong(expected, restoring)) {
    giveTerminalBack(signalRestore.restore);
    signalRestore.state.store(restored);
    return;
  }
  while (signalRestore.state.load() == restoring) {
  }
}

// Ending and fatal signals: restore, then let the signal do what it would
// have done without us, so the exit status tells the truth. The signal is
// blocked while this runs, so the raised one lands as the handler returns
// (a fault that returns here re-faults the same way).
void onEndingSignal(int signalNumber) {
  const int savedErrno = errno;
  restoreOnce();
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  ::sigaction(signalNumber, &fallback, nullptr);
  ::raise(signalNumber);
  errno = savedErrno;
}

void onResize(int) {
  const int savedErrno = errno;
  signalRestore.resized.store(true);
  errno = savedErrno;
}

sigset_t handledSignalSet() {
  sigset_t set;
  sigemptyset(&set);
  for (int signalNumber : handledSignals) sigaddset(&set, signalNumber);
  return set;
}

void installHandlers() {
  struct sigaction action {};
  // One handler at a time: an ending signal waits while a fatal one restores.
  action.sa_mask = handledSignalSet();
  action.sa_flags = SA_RESTART;
  for (std::size_t slot = 0; slot < handledSignals.size(); ++slot) {
    const int signalNumber = handledSignals[slot];
    action.sa_handler = signalNumber == SIGWINCH ? onResize : onEndingSignal;
    ::sigaction(signalNumber, &action, &signalRestore.previousActions[slot]);
  }
  signalRestore.handlersInstalled = true;
}

void reinstallPreviousHandlers() {
  if (!signalRestore.handlersInstalled) return;
  for (std::size_t slot = 0; slot < handledSignals.size(); ++slot) {
    ::sigaction(handledSignals[slot], &signalRestore.previousActions[slot], nullptr);
  }
  signalRestore.handlersInstalled = false;
}

}  // namespace

void TerminalRestore::appendBytes(std::string_view text) {
  const std::size_t count = std::min(text.size(), bytes.size() - length);
  std::memcpy(bytes.data() + length, text.data(), count);
  length += count;
}

void armTerminalRestore(const TerminalRestore& restore) {
  signalRestore.restore = restore;
  signalRestore.resized.store(false);
  signalRestore.state.store(armed);
  if (!signalRestore.handlersInstalled) installHandlers();
}

void runTerminalRestore() noexcept {
  // Keep this thread's own handlers out while it restores; a signal that
  // comes meanwhile is handled (and ends the process) once it is done.
  const sigset_t handled = handledSignalSet();
  sigset_t previousMask;
  ::pthread_sigmask(SIG_BLOCK, &handled, &previousMask);
  restoreOnce();
  signalRestore.state.store(idle);
  reinstallPreviousHandlers();
  ::pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
}

bool takeResizeNotice() noexcept {
  return signalRestore.resized.exchange(false);
}

}  // namespace vantrel
