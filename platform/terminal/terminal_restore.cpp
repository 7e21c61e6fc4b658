#include "platform/terminal/terminal_restore.hpp"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/terminal/terminal_io.hpp"

namespace vantrel {

namespace {

// Signals that ask the process to end, the fatal ones, the resize and job
// control.
constexpr std::array endingSignals = {SIGTERM, SIGHUP, SIGQUIT, SIGINT, SIGSEGV,
                                      SIGBUS,  SIGFPE, SIGILL,  SIGABRT};
constexpr std::array handledSignals = {SIGTERM, SIGHUP,  SIGQUIT, SIGINT,  SIGSEGV,
                                       SIGBUS,  SIGFPE,  SIGILL,  SIGABRT, SIGWINCH,
                                       SIGTSTP, SIGTTIN, SIGTTOU, SIGCONT};

// taken: the demo has the terminal; suspended: given back while stopped;
// restoring: being given back for good, or for a stop; restored: for good.
enum RestoreState : int { idle, taken, suspended, restoring, restored };

// How long a restore may spend writing to a terminal that does not read,
// and how long a second ending signal waits for the first one's restore.
constexpr long restoreWriteLimitMs = 250;
constexpr long secondSignalWaitMs = 300;

// Room for the take-over: title push, alternate screen, size, title, cursor.
constexpr std::size_t takeOverCapacity = 512;

// The record the signal handlers work from. A handler receives nothing but
// the signal number, so this is the one place they can find it.
struct SignalRestore {
  TerminalRestore restore;
  std::array<char, takeOverCapacity> takeOver{};
  std::atomic<std::size_t> takeOverLength{0};
  std::atomic<std::size_t> reassertFrom{0};  // what follows the title push
  std::atomic<int> state{idle};
  std::atomic<bool> resized{false};
  std::atomic<bool> resumed{false};
  std::atomic<int> stopRequest{0};
  // The thread that draws: a stop is its to carry out, whichever thread the
  // signal came to.
  pthread_t drawingThread{};
  bool handlersInstalled = false;
  std::array<struct sigaction, handledSignals.size()> previousActions{};
};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free &&
                  std::atomic<std::size_t>::is_always_lock_free,
              "signal handlers may only touch lock-free atomics");

SignalRestore signalRestore;

// The fatal handlers run here, so a stack overflow can still restore.
alignas(16) std::array<char, 64 * 1024> alternateStack;

long millisecondsSince(const timespec& start) noexcept {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1'000'000;
}

// Writes `bytes` without ever blocking for long: a terminal that has stopped
// reading (a stalled ssh session, a paused pane) gets what fits within the
// limit, and the process goes on. `discardWhenFull`: if the terminal's queue
// is full, the frame output waiting in it is thrown away to make room (it
// would only be drawn on a screen about to be left). Async-signal-safe.
void writeBriefly(int fd, std::string_view bytes, bool discardWhenFull) noexcept {
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  timespec start{};
  ::clock_gettime(CLOCK_MONOTONIC, &start);
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(written));
      continue;
    }
    if (written < 0 && errno == EINTR) continue;
    const bool full = written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    if (full && discardWhenFull) {
      ::tcflush(fd, TCOFLUSH);
      discardWhenFull = false;
      continue;
    }
    if (!full || millisecondsSince(start) >= restoreWriteLimitMs) break;
    pollfd ready{fd, POLLOUT, 0};
    ::poll(&ready, 1, 10);
  }
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags);
}

// Sets the terminal's modes even from the background, where a mode change
// would otherwise stop the process with SIGTTOU.
void setModes(int fd, const termios& modes) noexcept {
  sigset_t ttou;
  sigemptyset(&ttou);
  sigaddset(&ttou, SIGTTOU);
  sigset_t previous;
  ::pthread_sigmask(SIG_BLOCK, &ttou, &previous);
  while (::tcsetattr(fd, TCSANOW, &modes) != 0 && errno == EINTR) {
  }
  ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

// `forGood`: the process is ending, so frame output that a terminal which
// has stopped reading still holds may be discarded to make room.
void giveTerminalBack(const TerminalRestore& restore, bool forGood) noexcept {
  writeBriefly(restore.outputFd, restore.view(), forGood);
  if (!restore.haveModes) return;
  setModes(restore.inputFd, restore.savedModes);
  // Keys typed during the demo and never read would otherwise spill into the shell.
  ::tcflush(restore.inputFd, TCIFLUSH);
}

// Restores for good if nobody has yet. If a restore is under way (another
// thread's, or the one this signal interrupted), waits a little for it and
// then lets the caller end the process anyway.
void restoreOnce() noexcept {
  int expected = taken;
  if (signalRestore.state.compare_exchange_strong(expected, restoring)) {
    giveTerminalBack(signalRestore.restore, true);
    signalRestore.state.store(restored);
    return;
  }
  expected = suspended;
  if (signalRestore.state.compare_exchange_strong(expected, restored)) return;
  timespec start{};
  ::clock_gettime(CLOCK_MONOTONIC, &start);
  while (signalRestore.state.load() == restoring && millisecondsSince(start) < secondSignalWaitMs) {
  }
  // The give-back was being extended, not carried out: carry it out now.
  expected = taken;
  if (signalRestore.state.compare_exchange_strong(expected, restoring)) {
    giveTerminalBack(signalRestore.restore, true);
    signalRestore.state.store(restored);
  }
}

// Ending and fatal signals: restore, then let the signal do what it would
// have done without us, so the exit status tells the truth. The raised
// signal lands as the handler returns (a fault that returns here re-faults
// the same way).
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
  signalRestore.resized.store(true);
}

// A stop sent to the process may come to any thread (the sound library's
// own, say); it is passed on to the drawing thread, so that a frame write
// blocked there on a terminal that has stopped reading is interrupted too.
void onStop(int signalNumber) {
  const int savedErrno = errno;
  signalRestore.stopRequest.store(signalNumber);
  if (!::pthread_equal(::pthread_self(), signalRestore.drawingThread)) {
    ::pthread_kill(signalRestore.drawingThread, signalNumber);
  }
  errno = savedErrno;
}

void onContinue(int) {
  signalRestore.resumed.store(true);
}

template <std::size_t count>
bool isOneOf(int signalNumber, const std::array<int, count>& signals) {
  return std::find(signals.begin(), signals.end(), signalNumber) != signals.end();
}

struct sigaction actionFor(int signalNumber) {
  struct sigaction action {};
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_ONSTACK | SA_RESTART;
  if (isOneOf(signalNumber, endingSignals)) {
    // A second ending signal may interrupt the first one's restore.
    action.sa_handler = onEndingSignal;
    action.sa_flags |= SA_NODEFER;
  } else if (signalNumber == SIGWINCH) {
    action.sa_handler = onResize;
  } else if (signalNumber == SIGCONT) {
    action.sa_handler = onContinue;
  } else {
    action.sa_handler = onStop;
    // A read or a mode change from the background raises SIGTTIN or SIGTTOU
    // again on every restart, and a write to a terminal that has stopped
    // reading would hold a SIGTSTP until it reads again: let them fail with
    // EINTR so the frame loop can stop the process instead.
    action.sa_flags &= ~SA_RESTART;
  }
  return action;
}

void installHandlers() {
  stack_t stack{};
  stack.ss_sp = alternateStack.data();
  stack.ss_size = alternateStack.size();
  ::sigaltstack(&stack, nullptr);
  for (std::size_t slot = 0; slot < handledSignals.size(); ++slot) {
    const struct sigaction action = actionFor(handledSignals[slot]);
    ::sigaction(handledSignals[slot], &action, &signalRestore.previousActions[slot]);
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

sigset_t signalSet(std::initializer_list<int> signals) {
  sigset_t set;
  sigemptyset(&set);
  for (int signalNumber : signals) sigaddset(&set, signalNumber);
  return set;
}

// Stops the process the way `stopSignal` would have without our handler.
// In an orphaned process group the system does not stop it; it goes on.
void stopAsTheSignalWould(int stopSignal) noexcept {
  struct sigaction ours {};
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  ::sigaction(stopSignal, &fallback, &ours);
  ::raise(stopSignal);
  ::sigaction(stopSignal, &ours, nullptr);
}

bool inForeground(int fd) noexcept {
  return ::tcgetpgrp(fd) == ::getpgrp();
}

// After a resume in the foreground: the whole take-over again if the
// terminal was given back, else only the modes and screen (a SIGSTOP gave
// the shell the terminal without asking us).
void takeTerminalAgain() noexcept {
  const TerminalRestore& restore = signalRestore.restore;
  if (!inForeground(restore.inputFd)) return;
  const std::string_view takeOver(signalRestore.takeOver.data(),
                                  signalRestore.takeOverLength.load());
  int expected = suspended;
  if (signalRestore.state.compare_exchange_strong(expected, restoring)) {
    writeAll(restore.outputFd, takeOver);
  } else if (expected == taken) {
    // Without pushing the title again: it was never popped.
    writeAll(restore.outputFd,
             takeOver.substr(std::min(signalRestore.reassertFrom.load(), takeOver.size())));
  } else {
    return;
  }
  if (restore.haveModes) setModes(restore.inputFd, restore.takenModes);
  signalRestore.state.store(taken);
  signalRestore.resized.store(true);
}

}  // namespace

void TerminalRestore::appendBytes(std::string_view text) {
  const std::size_t count = std::min(text.size(), bytes.size() - length);
  if (count == 0) return;  // an empty view may have no data at all
  std::memcpy(bytes.data() + length, text.data(), count);
  length += count;
}

void armTerminalRestore(const TerminalRestore& restore) {
  signalRestore.restore = restore;
  signalRestore.takeOverLength.store(0);
  signalRestore.reassertFrom.store(0);
  signalRestore.resized.store(false);
  signalRestore.resumed.store(false);
  signalRestore.stopRequest.store(0);
  signalRestore.drawingThread = ::pthread_self();
  signalRestore.state.store(taken);
  if (!signalRestore.handlersInstalled) installHandlers();
}

void extendGiveBack(std::string_view opening, std::string_view closing) noexcept {
  const sigset_t handled = signalSet({SIGTERM, SIGHUP, SIGQUIT, SIGINT, SIGTSTP, SIGTTIN, SIGTTOU});
  sigset_t previousMask;
  ::pthread_sigmask(SIG_BLOCK, &handled, &previousMask);
  int expected = taken;
  if (signalRestore.state.compare_exchange_strong(expected, restoring)) {
    TerminalRestore& restore = signalRestore.restore;
    const std::array<char, sizeof restore.bytes> armed = restore.bytes;
    const std::size_t armedLength = restore.length;
    restore.length = 0;
    restore.appendBytes(opening);
    restore.appendBytes({armed.data(), armedLength});
    restore.appendBytes(closing);
    signalRestore.state.store(taken);
  }
  ::pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
}

void recordTakeOver(std::string_view bytes, TakeOverPart part) {
  const std::size_t length = signalRestore.takeOverLength.load();
  const std::size_t count = std::min(bytes.size(), takeOverCapacity - length);
  std::memcpy(signalRestore.takeOver.data() + length, bytes.data(), count);
  signalRestore.takeOverLength.store(length + count);
  if (part == TakeOverPart::titlePush && length == 0) signalRestore.reassertFrom.store(count);
}

void serviceJobControl() noexcept {
  if (const int stopSignal = signalRestore.stopRequest.exchange(0); stopSignal != 0) {
    // An ending signal meanwhile finds the terminal given back or being given back.
    int expected = taken;
    if (signalRestore.state.compare_exchange_strong(expected, restoring)) {
      giveTerminalBack(signalRestore.restore, false);
      signalRestore.state.store(suspended);
    }
    stopAsTheSignalWould(stopSignal);
    signalRestore.resumed.store(true);
  }
  if (signalRestore.resumed.exchange(false)) takeTerminalAgain();
}

bool stopPending() noexcept {
  return signalRestore.stopRequest.load() != 0;
}

bool terminalTaken() noexcept {
  return signalRestore.state.load() == taken;
}

void runTerminalRestore() noexcept {
  // Keep this thread's own handlers out while it restores; a signal that
  // comes meanwhile is handled (and ends the process) once it is done.
  const sigset_t handled =
      signalSet({SIGTERM, SIGHUP, SIGQUIT, SIGINT, SIGWINCH, SIGTSTP, SIGTTIN, SIGTTOU, SIGCONT});
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
