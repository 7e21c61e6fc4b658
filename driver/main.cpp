// vantrel: a text-mode demo. Takes the console, plays the show, gives the
// console back as it found it.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "audio/built_in_track.hpp"
#include "audio/music_file.hpp"
#include "audio/sound_system.hpp"
#include "driver/command_line.hpp"
#include "driver/run_demo.hpp"
#include "platform/system_console.hpp"

namespace {

constexpr int misuseExitStatus = 2;

// Answers --help, --version and a misuse; nullopt when the show is to run.
std::optional<int> answerWithoutShow(const vantrel::CommandLine& line) {
  using Action = vantrel::CommandLine::Action;
  const std::string_view usage = vantrel::usageText();
  switch (line.action) {
    case Action::help:
      std::fwrite(usage.data(), 1, usage.size(), stdout);
      return 0;
    case Action::version:
      std::printf("vantrel %s\n", VANTREL_VERSION);
      return 0;
    case Action::misuse:
      std::fprintf(stderr, "vantrel: %s\n", line.problem.c_str());
      std::fwrite(usage.data(), 1, usage.size(), stderr);
      return misuseExitStatus;
    case Action::run:
      break;
  }
  return std::nullopt;
}

// Closes the sound device and ends the sound layer's threads before the
// process ends, so that none of them is inside the sound library then: under
// wine, a process that ended while its PulseAudio driver's threads ran could
// crash on the way out. A sound server that has stopped answering can hold a
// close for ever, so the close has half a second; after that the process ends
// regardless.
void closeSound(std::unique_ptr<vantrel::SoundSystem> sound) {
  auto closed = std::make_shared<std::promise<void>>();
  std::future<void> closing = closed->get_future();
  std::thread([sound = std::move(sound), closed]() mutable {
    sound.reset();
    closed->set_value();
  }).detach();
  closing.wait_for(std::chrono::milliseconds(500));
}

}  // namespace

int main(int argc, char** argv) {
  using namespace vantrel;
  const std::vector<std::string_view> arguments(argv + 1, argv + argc);
  const CommandLine line = parseCommandLine(arguments);
  if (const std::optional<int> status = answerWithoutShow(line)) return *status;

  // The user's own music is checked before the terminal is taken, so a
  // mistyped name is said plainly instead of showing silent, empty bars.
  std::string musicFile = musicFileName;
  if (!line.musicFile.empty()) {
    const std::filesystem::path path = std::filesystem::absolute(line.musicFile);
    if (const std::string why = whyMusicCannotPlay(path); !why.empty()) {
      std::fprintf(stderr, "vantrel: cannot play %s: %s\n", line.musicFile.c_str(), why.c_str());
      return misuseExitStatus;
    }
    musicFile = path.string();
  }

  SystemConsole system = openSystemConsole(line.console);
  if (!system.console) return reportNoConsole(system);
  SoundOptions soundOptions;
  soundOptions.builtInMusic = builtInTrack();
  soundOptions.silencePacedByCaller = true;  // the frame loop pumps it
  auto sound = std::make_unique<SoundSystem>(std::move(soundOptions));
  const int status =
      runDemo({*system.console, *system.clock, *sound, musicFile.c_str(), line.seed});
  closeSound(std::move(sound));
  endProcess(*system.console, status);
}
