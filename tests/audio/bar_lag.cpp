// vantrel-bar-lag: how far the spectrum bars trail (or lead) the sound.
//
//   vantrel-bar-lag DEMO MUSIC_FOLDER SINK
//
// Runs DEMO in a pseudo-terminal of 80 x 50 inside MUSIC_FOLDER, whose
// BlueNoise.mp3 is silence and then a loud burst, while recording SINK's
// monitor on a PulseAudio server. Two moments on the monotonic clock:
// - the sound: the recording's first loud frame, at the time its chunk was
//   read, less the server's reported recording latency and the frames
//   that follow it in the chunk;
// - the bars: the first time the demo writes a bar cell (U+2502) to the
//   terminal, which it never draws over silence.
// Prints one line: the lag in ms (positive: the bars come after the sound),
// and exits 0; exit 1 when either moment is not seen within 20 s.
//
//   vantrel-bar-lag --listen SINK
//
// Only records, for a show played elsewhere (a browser page): prints
// "listening" once the recording runs, then "sound at T" with T the sound's
// moment in milliseconds since 1970 on the system clock, which a page's
// performance.timeOrigin + performance.now() also counts; exit 1 when no
// sound is heard within 20 s.

#include <poll.h>
#include <pty.h>
#include <pulse/error.h>
#include <pulse/simple.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int rate = 44100;
constexpr std::size_t chunkFrames = 128;  // 2.9 ms: the resolution of a read's time
constexpr int loud = 3276;                // a tenth of full scale
constexpr std::string_view barCell = "\u2502";
constexpr auto giveUpAfter = std::chrono::seconds(20);

std::atomic<std::int64_t> soundAt{-1};  // steady clock ticks; -1: not yet
std::atomic<bool> stopRecording{false};

std::int64_t ticksOf(Clock::time_point time) {
  return time.time_since_epoch().count();
}

void record(const std::string& sink) {
  const pa_sample_spec format{PA_SAMPLE_S16LE, rate, 2};
  pa_buffer_attr attributes{};
  attributes.maxlength = static_cast<std::uint32_t>(-1);
  attributes.fragsize = static_cast<std::uint32_t>(chunkFrames * 4);
  int error = 0;
  const std::string monitor = sink + ".monitor";
  pa_simple* stream = pa_simple_new(nullptr, "vantrel-bar-lag", PA_STREAM_RECORD, monitor.c_str(),
                                    "bar lag", &format, nullptr, &attributes, &error);
  if (stream == nullptr) {
    std::fprintf(stderr, "vantrel-bar-lag: cannot record %s: %s\n", monitor.c_str(),
                 pa_strerror(error));
    return;
  }
  std::vector<std::int16_t> chunk(chunkFrames * 2);
  while (!stopRecording.load() && soundAt.load() < 0) {
    if (pa_simple_read(stream, chunk.data(), chunk.size() * 2, &error) < 0) break;
    const Clock::time_point readAt = Clock::now();
    const pa_usec_t latency = pa_simple_get_latency(stream, &error);
    for (std::size_t frame = 0; frame < chunkFrames; ++frame) {
      if (std::abs(chunk[2 * frame]) < loud && std::abs(chunk[2 * frame + 1]) < loud) continue;
      const auto after = std::chrono::microseconds(
          latency + static_cast<pa_usec_t>((chunkFrames - frame) * 1000000 / rate));
      soundAt.store(ticksOf(readAt - after));
      break;
    }
  }
  pa_simple_free(stream);
}

// Runs the demo on a new pseudo-terminal; returns its pid and the master side.
pid_t startDemo(const char* demo, const char* folder, int& terminal) {
  winsize size{};
  size.ws_row = 50;
  size.ws_col = 80;
  const pid_t pid = forkpty(&terminal, nullptr, nullptr, &size);
  if (pid == 0) {
    if (chdir(folder) != 0) _exit(127);
    setenv("TERM", "xterm-256color", 1);
    execl(demo, demo, static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

// Reads the demo's output until the first bar cell; returns when it came, or
// nothing after giveUpAfter.
std::int64_t watchForBars(int terminal) {
  const Clock::time_point deadline = Clock::now() + giveUpAfter;
  std::string tail;
  char bytes[65536];
  while (Clock::now() < deadline) {
    pollfd ready{terminal, POLLIN, 0};
    if (poll(&ready, 1, 50) <= 0) continue;
    const ssize_t got = read(terminal, bytes, sizeof bytes);
    const Clock::time_point readAt = Clock::now();
    if (got <= 0) return -1;
    tail.append(bytes, static_cast<std::size_t>(got));
    if (tail.find(barCell) != std::string::npos) return ticksOf(readAt);
    tail.erase(0, tail.size() > 2 ? tail.size() - 2 : 0);  // a cell split between reads
  }
  return -1;
}

// Keeps reading the output so the demo never blocks on a full terminal.
void drain(int terminal, std::chrono::milliseconds period) {
  const Clock::time_point until = Clock::now() + period;
  char bytes[65536];
  while (Clock::now() < until) {
    pollfd ready{terminal, POLLIN, 0};
    if (poll(&ready, 1, 20) > 0 && read(terminal, bytes, sizeof bytes) <= 0) return;
  }
}

// The steady clock's `ticks` on the system clock, in ms since 1970.
double systemMilliseconds(std::int64_t ticks) {
  const auto offset =
      std::chrono::system_clock::now().time_since_epoch() - Clock::now().time_since_epoch();
  const auto at = Clock::duration(ticks) + offset;
  return std::chrono::duration<double, std::milli>(at).count();
}

int listen(const std::string& sink) {
  std::thread recorder(record, sink);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the recording is running
  std::printf("listening\n");
  std::fflush(stdout);
  const Clock::time_point deadline = Clock::now() + giveUpAfter;
  while (soundAt.load() < 0 && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  stopRecording.store(true);
  recorder.join();
  if (soundAt.load() < 0) {
    std::printf("no measurement: no sound was heard\n");
    return 1;
  }
  std::printf("sound at %.3f\n", systemMilliseconds(soundAt.load()));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string_view(argv[1]) == "--listen") return listen(argv[2]);
  if (argc != 4) {
    std::fprintf(stderr, "usage: vantrel-bar-lag DEMO MUSIC_FOLDER SINK | --listen SINK\n");
    return 2;
  }
  std::thread recorder(record, std::string(argv[3]));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the recording is running
  int terminal = -1;
  const pid_t demo = startDemo(argv[1], argv[2], terminal);
  if (demo < 0) return 2;
  const std::int64_t barsAt = watchForBars(terminal);
  // The sound may be read a little after the bars are seen.
  for (int wait = 0; wait < 100 && soundAt.load() < 0; ++wait)
    drain(terminal, std::chrono::milliseconds(20));
  stopRecording.store(true);
  const char escape = '\x1b';
  if (write(terminal, &escape, 1) != 1) kill(demo, SIGTERM);
  drain(terminal, std::chrono::milliseconds(500));
  kill(demo, SIGTERM);
  waitpid(demo, nullptr, 0);
  recorder.join();
  const std::int64_t sound = soundAt.load();
  if (barsAt < 0 || sound < 0) {
    std::printf("no measurement: %s\n", barsAt < 0 ? "no bars were drawn" : "no sound was heard");
    return 1;
  }
  const double lagMs =
      static_cast<double>(barsAt - sound) * Clock::period::num * 1000.0 / Clock::period::den;
  std::printf("bars %s the sound by %.1f ms\n", lagMs >= 0 ? "trail" : "lead", std::abs(lagMs));
  return 0;
}
