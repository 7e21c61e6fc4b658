// vantrel-pty-run: runs a program on a pseudo-terminal of its own, as a
// person would in a terminal window, and reports in one line how it ran:
// frames (counted by the synchronized-update opening that starts each),
// frame rate, frame intervals, CPU use, bytes per frame, peak memory, the
// time from the start to the first frame, and how it ended. Optionally
// presses Esc after some time or some frames.
//
// Usage: vantrel-pty-run [--seconds S] [--esc-after-frames N] [--timeout S]
//                        [--size COLUMNSxROWS] [--log FILE] -- PROGRAM [ARG...]

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using SteadyClock = std::chrono::steady_clock;

struct Options {
  std::optional<double> escAfterSeconds;
  std::optional<long> escAfterFrames;
  double timeoutSeconds = 300;
  int columns = 80;
  int rows = 50;
  std::string logPath;
  std::vector<char*> command;
};

[[noreturn]] void usage() {
  std::fputs(
      "usage: vantrel-pty-run [--seconds S] [--esc-after-frames N] [--timeout S]\n"
      "                       [--size COLUMNSxROWS] [--log FILE] -- PROGRAM [ARG...]\n",
      stderr);
  std::exit(2);
}

Options parseOptions(int argc, char** argv) {
  Options options;
  int index = 1;
  const auto value = [&]() -> const char* {
    if (index + 1 >= argc) usage();
    return argv[++index];
  };
  for (; index < argc; ++index) {
    const std::string_view option = argv[index];
    if (option == "--") break;
    if (option == "--seconds") {
      options.escAfterSeconds = std::atof(value());
    } else if (option == "--esc-after-frames") {
      options.escAfterFrames = std::atol(value());
    } else if (option == "--timeout") {
      options.timeoutSeconds = std::atof(value());
    } else if (option == "--size") {
      if (std::sscanf(value(), "%dx%d", &options.columns, &options.rows) != 2) usage();
    } else if (option == "--log") {
      options.logPath = value();
    } else {
      usage();
    }
  }
  for (++index; index < argc; ++index) options.command.push_back(argv[index]);
  if (options.command.empty()) usage();
  options.command.push_back(nullptr);
  return options;
}

double secondsSince(SteadyClock::time_point start) {
  return std::chrono::duration<double>(SteadyClock::now() - start).count();
}

// Finds frame openings in the output stream, even when a read splits one.
class FrameCounter {
 public:
  void feed(std::string_view bytes, double at) {
    carry_.append(bytes);
    for (std::size_t found; (found = carry_.find(opening_)) != std::string::npos;) {
      frameStarts_.push_back(at);
      carry_.erase(0, found + opening_.size());
    }
    if (carry_.size() >= opening_.size()) carry_.erase(0, carry_.size() - opening_.size() + 1);
  }
  const std::vector<double>& frameStarts() const { return frameStarts_; }

 private:
  static constexpr std::string_view opening_ = "\x1b[?2026h";
  std::string carry_;
  std::vector<double> frameStarts_;
};

double percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const auto rank = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
  return values[rank];
}

double cpuSeconds(const rusage& usage) {
  const auto seconds = [](timeval time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Run {
  int status = 0;
  rusage usage{};
  double wallSeconds = 0;
  long bytes = 0;
  bool escSent = false;
  bool timedOut = false;
  std::vector<double> frameStarts;
};

Run runOnPty(const Options& options) {
  winsize size{};
  size.ws_col = static_cast<unsigned short>(options.columns);
  size.ws_row = static_cast<unsigned short>(options.rows);
  int terminal = -1;
  const pid_t child = forkpty(&terminal, nullptr, nullptr, &size);
  if (child < 0) {
    std::perror("vantrel-pty-run: forkpty");
    std::exit(2);
  }
  if (child == 0) {
    ::execvp(options.command[0], options.command.data());
    std::perror("vantrel-pty-run: exec");
    _exit(127);
  }
  ::fcntl(terminal, F_SETFL, ::fcntl(terminal, F_GETFL) | O_NONBLOCK);
  std::ofstream log;
  if (!options.logPath.empty()) log.open(options.logPath, std::ios::binary);
  Run run;
  FrameCounter frames;
  const auto start = SteadyClock::now();
  char chunk[65536];
  for (;;) {
    pollfd readable{terminal, POLLIN, 0};
    ::poll(&readable, 1, 5);
    const double now = secondsSince(start);
    const ssize_t count = ::read(terminal, chunk, sizeof chunk);
    if (count > 0) {
      run.bytes += count;
      frames.feed({chunk, static_cast<std::size_t>(count)}, now);
      if (log.is_open()) log.write(chunk, count);
    }
    const bool escDue = (options.escAfterSeconds && now >= *options.escAfterSeconds) ||
                        (options.escAfterFrames &&
                         static_cast<long>(frames.frameStarts().size()) >= *options.escAfterFrames);
    if (escDue && !run.escSent) run.escSent = ::write(terminal, "\x1b", 1) == 1;
    if (now > options.timeoutSeconds && !run.timedOut) {
      run.timedOut = true;
      ::kill(-child, SIGKILL);  // the child leads a session: its whole group
    }
    if (count < 0 && errno != EAGAIN && errno != EINTR) break;  // EIO: the last holder closed it
    if (::wait4(child, &run.status, WNOHANG, &run.usage) == child) {
      run.wallSeconds = secondsSince(start);
      // Collect what is still in flight, for a moment: a process the child
      // left behind may go on writing.
      ::kill(-child, SIGKILL);
      while ((readable = {terminal, POLLIN, 0}, ::poll(&readable, 1, 50)) > 0 &&
             secondsSince(start) < run.wallSeconds + 1.0) {
        const ssize_t rest = ::read(terminal, chunk, sizeof chunk);
        if (rest <= 0) break;
        run.bytes += rest;
        frames.feed({chunk, static_cast<std::size_t>(rest)}, secondsSince(start));
        if (log.is_open()) log.write(chunk, rest);
      }
      run.frameStarts = frames.frameStarts();
      ::close(terminal);
      return run;
    }
  }
  ::wait4(child, &run.status, 0, &run.usage);
  run.wallSeconds = secondsSince(start);
  run.frameStarts = frames.frameStarts();
  ::close(terminal);
  return run;
}

std::string endingOf(const Run& run) {
  if (run.timedOut) return "timeout";
  if (WIFSIGNALED(run.status)) return std::string("signal-") + sigabbrev_np(WTERMSIG(run.status));
  return run.escSent ? "esc" : "self";
}

void report(const Run& run) {
  std::vector<double> intervals;
  const std::vector<double>& starts = run.frameStarts;
  for (std::size_t i = 1; i < starts.size(); ++i) {
    intervals.push_back((starts[i] - starts[i - 1]) * 1000.0);
  }
  const auto frameCount = static_cast<double>(starts.size());
  const double span = starts.size() > 1 ? starts.back() - starts.front() : 0;
  const int exitStatus = WIFEXITED(run.status) ? WEXITSTATUS(run.status) : -1;
  std::printf(
      "frames=%zu fps=%.1f interval_ms_median=%.2f interval_ms_p99=%.2f interval_ms_max=%.2f "
      "cpu_percent=%.1f bytes_per_frame=%.0f peak_rss_kb=%ld first_frame_ms=%.1f wall_s=%.2f "
      "exit=%d ending=%s\n",
      starts.size(), span > 0 ? (frameCount - 1) / span : 0.0, percentile(intervals, 0.5),
      percentile(intervals, 0.99), intervals.empty() ? 0.0 : percentile(intervals, 1.0),
      run.wallSeconds > 0 ? 100.0 * cpuSeconds(run.usage) / run.wallSeconds : 0.0,
      frameCount > 0 ? static_cast<double>(run.bytes) / frameCount : 0.0, run.usage.ru_maxrss,
      starts.empty() ? 0.0 : starts.front() * 1000.0, run.wallSeconds, exitStatus,
      endingOf(run).c_str());
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = parseOptions(argc, argv);
  const Run run = runOnPty(options);
  report(run);
  return run.timedOut ? 1 : 0;
}
