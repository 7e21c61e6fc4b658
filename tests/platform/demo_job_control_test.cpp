// The real demo on a pseudo-terminal, run as the foreground job of a small
// job-control shell, the way a person runs it: stopped and continued, ended
// while stopped in the background, and ended while its terminal has stopped
// reading. The test reads what the terminal receives into a real terminal
// emulator (libvterm).

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "shared_terminal_state.hpp"
#include "support/sanitizers.hpp"
#include "terminal_emulator.hpp"

extern char** environ;

namespace vantrel {
namespace {

using namespace std::chrono_literals;
using testing::givenBackAsFound;
using testing::SharedTerminalState;
using testing::TerminalEmulator;

// What the shell tells the test, one record per event.
struct Report {
  enum Kind : int { started, stopped, ended } kind = started;
  int value = 0;  // started: the demo's pid; stopped: the signal; ended: the wait status
};

// Commands the shell takes while the demo is stopped.
constexpr char foreground = 'f';        // give it the terminal and continue it (fg)
constexpr char terminateStopped = 't';  // SIGTERM then SIGCONT, terminal kept (kill %1)
constexpr char background = 'b';        // continue it, terminal kept (bg); then await fg

// The shell: leads a session on the pseudo-terminal, runs the demo as its
// foreground job, takes the terminal back whenever the job stops, and
// reports. Only system calls here: it runs in a child of a threaded process.
[[noreturn]] void runShell(int terminal, int reports, int commands, char* const* argv,
                           char* const* envp) {
  ::signal(SIGTTOU, SIG_IGN);  // a shell may take the terminal back from the background
  ::signal(SIGHUP, SIG_IGN);   // and outlives its terminal long enough to report
  ::setsid();
  ::ioctl(terminal, TIOCSCTTY, 0);
  int ready[2];
  if (::pipe(ready) != 0) _exit(120);
  const pid_t demo = ::fork();
  if (demo == 0) {
    ::signal(SIGTTOU, SIG_DFL);
    ::signal(SIGHUP, SIG_DFL);
    ::setpgid(0, 0);
    char go = 0;
    if (::read(ready[0], &go, 1) != 1) _exit(121);
    for (int fd = 0; fd < 3; ++fd) ::dup2(terminal, fd);
    ::execve(argv[0], argv, envp);
    _exit(127);
  }
  ::setpgid(demo, demo);
  ::tcsetpgrp(terminal, demo);
  if (::write(ready[1], "g", 1) != 1) _exit(122);
  const auto send = [reports](Report report) {
    if (::write(reports, &report, sizeof report) != sizeof report) _exit(123);
  };
  send({Report::started, demo});
  for (;;) {
    int status = 0;
    if (::waitpid(demo, &status, WUNTRACED) < 0) {
      if (errno == EINTR) continue;
      _exit(124);
    }
    if (!WIFSTOPPED(status)) {
      send({Report::ended, status});
      _exit(0);
    }
    ::tcsetpgrp(terminal, ::getpgrp());
    send({Report::stopped, WSTOPSIG(status)});
    char command = 0;
    if (::read(commands, &command, 1) != 1) _exit(125);
    if (command == background) {
      ::kill(-demo, SIGCONT);
      if (::read(commands, &command, 1) != 1) _exit(126);
    }
    if (command == foreground) ::tcsetpgrp(terminal, demo);
    if (command == terminateStopped) ::kill(-demo, SIGTERM);
    ::kill(-demo, SIGCONT);
  }
}

class ShellSession {
 public:
  explicit ShellSession(bool readTerminal = true) {
    near_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    ::grantpt(near_);
    ::unlockpt(near_);
    far_ = ::open(::ptsname(near_), O_RDWR | O_NOCTTY);
    winsize size{};
    size.ws_col = 80;
    size.ws_row = 50;
    ::ioctl(near_, TIOCSWINSZ, &size);
    found_ = SharedTerminalState::of(far_);
    int reports[2];
    int commands[2];
    EXPECT_EQ(::pipe(reports), 0);
    EXPECT_EQ(::pipe(commands), 0);
    reports_ = reports[0];
    commands_ = commands[1];

    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
      if (std::strncmp(*entry, "SDL_AUDIODRIVER=", 16) != 0) environment.emplace_back(*entry);
    }
    environment.emplace_back("SDL_AUDIODRIVER=none");  // no sound device, silent real-time music
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string program = VANTREL_BINARY;
    std::array<char*, 2> argv{program.data(), nullptr};

    shell_ = ::fork();
    if (shell_ == 0) {
      ::close(near_);
      runShell(far_, reports[1], commands[0], argv.data(), envp.data());
    }
    ::close(reports[1]);
    ::close(commands[0]);
    if (readTerminal) startReading();
    const std::optional<Report> started = nextReport(5s);
    EXPECT_TRUE(started && started->kind == Report::started);
    demo_ = started ? started->value : -1;
  }
  ~ShellSession() {
    if (demo_ > 0) ::kill(demo_, SIGKILL);
    ::kill(shell_, SIGKILL);
    ::waitpid(shell_, nullptr, 0);
    stop_ = true;
    if (reader_.joinable()) reader_.join();
    if (near_ >= 0) ::close(near_);
    ::close(far_);
    ::close(reports_);
    ::close(commands_);
  }
  ShellSession(const ShellSession&) = delete;
  ShellSession& operator=(const ShellSession&) = delete;

  pid_t demo() const { return demo_; }
  const termios& foundModes() const { return found_.modes; }
  termios modes() const { return SharedTerminalState::of(far_).modes; }
  // The shell's terminal is as the shell had it before the demo started.
  ::testing::AssertionResult givenBack() const {
    return givenBackAsFound(found_, SharedTerminalState::of(far_));
  }
  // Closes the terminal, as closing its window does.
  void hangUp() {
    stop_ = true;
    if (reader_.joinable()) reader_.join();
    ::close(std::exchange(near_, -1));
  }
  void setModes(const termios& modes) { ::tcsetattr(far_, TCSANOW, &modes); }
  // Stops or restarts the terminal's output, as flow control does.
  void pauseOutput(bool paused) { ::tcflow(far_, paused ? TCOOFF : TCOON); }
  void type(std::string_view keys) {
    ASSERT_EQ(::write(near_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
  }
  void command(char what) { ASSERT_EQ(::write(commands_, &what, 1), 1); }
  // Reads what the terminal receives as it comes, or, with a `pace`, at most
  // `bytesPerTick` every `pace`, as a slow terminal takes it. Answers the
  // start-up probe with `answers`, as the terminal that gave them would.
  void startReading(std::string_view answers = {}, std::size_t bytesPerTick = 65536,
                    std::chrono::milliseconds pace = 0ms) {
    ::fcntl(near_, F_SETFL, ::fcntl(near_, F_GETFL) | O_NONBLOCK);
    reader_ = std::thread([this, answers = std::string(answers), bytesPerTick, pace] {
      std::vector<char> chunk(bytesPerTick);
      bool answered = answers.empty();
      while (!stop_) {
        pollfd readable{near_, POLLIN, 0};
        ::poll(&readable, 1, 5);
        if (pace > 0ms) std::this_thread::sleep_for(pace);
        const std::lock_guard lock(mutex_);
        for (ssize_t count; (count = ::read(near_, chunk.data(), chunk.size())) > 0;) {
          received_.append(chunk.data(), static_cast<std::size_t>(count));
          if (pace > 0ms) break;
        }
        if (!answered && received_.find("\x1b[c") != std::string::npos) {
          answered = ::write(near_, answers.data(), answers.size()) > 0;
        }
      }
    });
  }
  // The terminal's text area in pixels, as it tells its programs.
  void setPixels(int width, int height) {
    winsize size{};
    ::ioctl(near_, TIOCGWINSZ, &size);
    size.ws_xpixel = static_cast<unsigned short>(width);
    size.ws_ypixel = static_cast<unsigned short>(height);
    ::ioctl(near_, TIOCSWINSZ, &size);
  }
  // Everything received since the last call.
  std::string takeOutput() {
    const std::lock_guard lock(mutex_);
    return std::exchange(received_, {});
  }
  std::optional<Report> nextReport(std::chrono::milliseconds limit) {
    pollfd readable{reports_, POLLIN, 0};
    if (::poll(&readable, 1, static_cast<int>(limit.count())) <= 0) return std::nullopt;
    Report report;
    if (::read(reports_, &report, sizeof report) != sizeof report) return std::nullopt;
    if (report.kind == Report::ended) demo_ = -1;
    return report;
  }

 private:
  int near_ = -1;
  int far_ = -1;
  int reports_ = -1;
  int commands_ = -1;
  pid_t shell_ = -1;
  pid_t demo_ = -1;
  SharedTerminalState found_;
  std::mutex mutex_;
  std::string received_;
  std::atomic<bool> stop_{false};
  std::thread reader_;
};

// Feeds the session's output to `terminal` until `shows` holds, at most `limit`.
template <typename Condition>
bool waitUntil(ShellSession& session, TerminalEmulator& terminal, std::string& seen,
               Condition shows, std::chrono::milliseconds limit = 5s) {
  const auto end = std::chrono::steady_clock::now() + limit;
  do {
    const std::string bytes = session.takeOutput();
    terminal.feed(bytes);
    seen += bytes;
    if (shows()) return true;
    std::this_thread::sleep_for(10ms);
  } while (std::chrono::steady_clock::now() < end);
  return false;
}

// Waits for the demo to take the terminal, then stops it with `signal`;
// true once the shell reports it stopped.
bool showThenStop(ShellSession& session, TerminalEmulator& terminal, std::string& seen,
                  int signal) {
  if (!waitUntil(session, terminal, seen, [&] { return terminal.alternateScreen; })) return false;
  ::kill(session.demo(), signal);
  const std::optional<Report> stopped = session.nextReport(3s);
  return stopped && stopped->kind == Report::stopped;
}

bool endedWith(const std::optional<Report>& report, int exitStatus) {
  return report && report->kind == Report::ended && WIFEXITED(report->value) &&
         WEXITSTATUS(report->value) == exitStatus;
}

TEST(DemoJobControl, StopGivesTheTerminalBackAndContinueTakesItAgain) {
  ShellSession session;
  TerminalEmulator terminal(80, 50);
  std::string seen;
  ASSERT_TRUE(waitUntil(session, terminal, seen, [&] { return terminal.alternateScreen; }));
  std::this_thread::sleep_for(300ms);

  ::kill(session.demo(), SIGTSTP);
  const std::optional<Report> stopped = session.nextReport(3s);
  ASSERT_TRUE(stopped && stopped->kind == Report::stopped);
  EXPECT_EQ(stopped->value, SIGTSTP);
  seen.clear();
  waitUntil(
      session, terminal, seen, [] { return false; }, 200ms);
  EXPECT_FALSE(terminal.alternateScreen);
  EXPECT_TRUE(terminal.cursorVisible);
  EXPECT_NE(seen.find("\x1b[?25h"), std::string::npos) << "the give-back shows the cursor itself";
  EXPECT_TRUE(session.givenBack());

  seen.clear();
  session.command(foreground);
  EXPECT_TRUE(waitUntil(session, terminal, seen, [&] {
    return terminal.alternateScreen && !terminal.cursorVisible &&
           seen.find("\x1b[2J") != std::string::npos;
  })) << "taken again and repainted in full";
  EXPECT_EQ(session.modes().c_lflag & (ICANON | ECHO), 0U) << "raw again";

  session.type("\x1b");
  EXPECT_TRUE(endedWith(session.nextReport(3s), 0)) << "Esc after the resume ends it";
  EXPECT_TRUE(session.givenBack());
}

// Continued in the background, the demo leaves the terminal to the shell
// and draws nothing; brought to the foreground, it takes it again.
TEST(DemoJobControl, ContinuedInTheBackgroundItLeavesTheTerminalAlone) {
  ShellSession session;
  TerminalEmulator terminal(80, 50);
  std::string seen;
  ASSERT_TRUE(showThenStop(session, terminal, seen, SIGTSTP));
  waitUntil(
      session, terminal, seen, [] { return false; }, 200ms);
  seen.clear();
  session.command(background);
  waitUntil(
      session, terminal, seen, [] { return false; }, 500ms);
  EXPECT_FALSE(terminal.alternateScreen);
  EXPECT_EQ(seen, "") << "nothing drawn over the shell";
  EXPECT_FALSE(session.nextReport(0ms)) << "neither stopped nor ended";
  session.command(foreground);
  EXPECT_TRUE(waitUntil(session, terminal, seen, [&] {
    return terminal.alternateScreen && seen.find("\x1b[2J") != std::string::npos;
  }));
  session.type("\x1b");
  EXPECT_TRUE(endedWith(session.nextReport(3s), 0));
  EXPECT_TRUE(session.givenBack());
}

// A stop the demo is not asked about (SIGSTOP), and a shell that leaves the
// terminal in line mode: on the resume the demo puts its own modes back.
TEST(DemoJobControl, AResumeAfterSigstopInLineModeStillReadsKeys) {
  ShellSession session;
  TerminalEmulator terminal(80, 50);
  std::string seen;
  ASSERT_TRUE(showThenStop(session, terminal, seen, SIGSTOP));
  termios lineMode = session.foundModes();
  lineMode.c_lflag |= ICANON | ECHO;
  session.setModes(lineMode);
  session.command(foreground);
  seen.clear();
  EXPECT_TRUE(waitUntil(session, terminal, seen,
                        [&] { return seen.find("\x1b[2J") != std::string::npos; }));
  session.type("\x1b");
  EXPECT_TRUE(endedWith(session.nextReport(3s), 0));
}

TEST(DemoJobControl, SigtermToAStoppedBackgroundJobEndsIt) {
  ShellSession session;
  TerminalEmulator terminal(80, 50);
  std::string seen;
  ASSERT_TRUE(showThenStop(session, terminal, seen, SIGTSTP));
  session.command(terminateStopped);
  const std::optional<Report> ended = session.nextReport(1s);
  ASSERT_TRUE(ended) << "no report within a second";
  ASSERT_EQ(ended->kind, Report::ended) << "stopped again instead of ending";
  EXPECT_TRUE(WIFSIGNALED(ended->value) && WTERMSIG(ended->value) == SIGTERM);
  EXPECT_TRUE(session.givenBack());
}

TEST(DemoJobControl, SigtermEndsItWhileTheTerminalHasStoppedReading) {
  ShellSession session(false);
  std::this_thread::sleep_for(1500ms);  // frames fill the terminal's queue; writes block
  ::kill(session.demo(), SIGTERM);
  const std::optional<Report> ended = session.nextReport(1s);
  ASSERT_TRUE(ended) << "still running a second after SIGTERM";
  EXPECT_TRUE(WIFSIGNALED(ended->value) && WTERMSIG(ended->value) == SIGTERM);
  EXPECT_TRUE(session.givenBack()) << "the give-back's writes gave up on a full terminal";
  // When the terminal reads again, the give-back is there to be read.
  session.startReading();
  TerminalEmulator terminal(80, 50);
  std::string seen;
  waitUntil(
      session, terminal, seen, [&] { return seen.find("\x1b[?1049l") != std::string::npos; }, 2s);
  EXPECT_NE(seen.find("\x1b[?1049l"), std::string::npos);
}

// A stop while the terminal has stopped reading (a stalled ssh session, a
// paused pane): the blocked frame write gives way, the give-back's bounded
// write gives up on the full terminal, and the demo stops; once the terminal
// reads again, `fg` takes it again and repaints.
TEST(DemoJobControl, AStopWhileTheTerminalHasStoppedReadingStopsAtOnce) {
  ShellSession session(false);
  std::this_thread::sleep_for(1500ms);  // frames fill the terminal's queue; writes block
  ::kill(session.demo(), SIGTSTP);
  const std::optional<Report> stopped = session.nextReport(1s);
  ASSERT_TRUE(stopped) << "still running a second after SIGTSTP";
  ASSERT_EQ(stopped->kind, Report::stopped);
  EXPECT_TRUE(session.givenBack()) << "the shell's modes, though the screen could not be sent";
  session.startReading();
  TerminalEmulator terminal(80, 50);
  std::string seen;
  waitUntil(
      session, terminal, seen, [] { return false; }, 300ms);
  seen.clear();
  session.command(foreground);
  EXPECT_TRUE(waitUntil(session, terminal, seen, [&] {
    return terminal.alternateScreen && seen.find("\x1b[2J") != std::string::npos;
  })) << "taken again and repainted in full";
  session.type("\x1b");
  EXPECT_TRUE(endedWith(session.nextReport(3s), 0));
  EXPECT_TRUE(session.givenBack());
}

// kitty's answers to the start-up probe: it draws images, in 10 x 19 cells.
constexpr std::string_view kittyAnswers =
    "\x1bP>|kitty(0.26.5)\x1b\\\x1b[6;19;10t\x1b_Gi=31;OK\x1b\\\x1b[1;2R\x1b[?62;c";

// A terminal that draws images but takes only 1 KB every 20 ms (50 KB/s, a
// twelfth of the pixel view's frames at the show's pace): the frames it cannot
// take are skipped, the show goes on at its own pace, Esc still ends it, and
// the end says how many frames the terminal showed.
TEST(DemoJobControl, ASlowTerminalIsShownFewerFramesWhileTheShowKeepsItsPace) {
  ShellSession session(false);
  session.setPixels(800, 950);
  session.startReading(kittyAnswers, 1024, 20ms);
  std::this_thread::sleep_for(3s);
  session.type("\x1b");
  const std::optional<Report> ended = session.nextReport(5s);
  ASSERT_TRUE(ended) << "Esc waited on the slow terminal";
  EXPECT_TRUE(endedWith(ended, 0));
  std::string seen;
  TerminalEmulator terminal(80, 50);
  waitUntil(
      session, terminal, seen, [&] { return seen.find("frames drawn") != std::string::npos; }, 10s);
  const std::size_t at = seen.find("showed ");
  ASSERT_NE(at, std::string::npos) << "no word of skipped frames";
  int shown = 0;
  int drawn = 0;
  ASSERT_EQ(std::sscanf(seen.c_str() + at, "showed %d of the %d frames", &shown, &drawn), 2);
  EXPECT_NE(seen.find("\x1b_Ga=T,f=100"), std::string::npos) << "the pixel view";
  EXPECT_GE(drawn, 2 * shown) << "the frames waited for the terminal";
  EXPECT_GT(shown, 0);
}

// A terminal whose output is paused (flow control, as Ctrl+S pauses one)
// takes nothing, and throwing its queue away makes no room: the give-back's
// writes must give up within their limit, and SIGTERM end the demo at once.
TEST(DemoJobControl, SigtermEndsItWhileTheTerminalsOutputIsPaused) {
#ifdef VANTREL_UNDER_TSAN
  GTEST_SKIP() << "ThreadSanitizer holds the SIGTERM handler until the paused write returns";
#endif
  ShellSession session;
  TerminalEmulator terminal(80, 50);
  std::string seen;
  ASSERT_TRUE(waitUntil(session, terminal, seen, [&] { return terminal.alternateScreen; }));
  session.pauseOutput(true);
  std::this_thread::sleep_for(300ms);
  ::kill(session.demo(), SIGTERM);
  // The give-back's writes give up after 250 ms; 3 s leaves room for a
  // sanitizer's slow exit on a busy machine, and is far short of a write
  // that waits for the terminal.
  const std::optional<Report> ended = session.nextReport(3s);
  session.pauseOutput(false);
  ASSERT_TRUE(ended) << "still running 3 s after SIGTERM";
  EXPECT_TRUE(WIFSIGNALED(ended->value) && WTERMSIG(ended->value) == SIGTERM);
  EXPECT_TRUE(session.givenBack());
}

TEST(DemoJobControl, ClosingTheTerminalEndsTheDemoAtOnce) {
  ShellSession session;
  TerminalEmulator terminal(80, 50);
  std::string seen;
  ASSERT_TRUE(waitUntil(session, terminal, seen, [&] { return terminal.alternateScreen; }));
  session.hangUp();
  const std::optional<Report> ended = session.nextReport(1s);
  ASSERT_TRUE(ended) << "still running a second after its terminal closed";
  EXPECT_EQ(ended->kind, Report::ended);
}

}  // namespace
}  // namespace vantrel
