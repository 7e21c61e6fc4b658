// vantrel: a text-mode demo. Takes the console, plays the show, gives the
// console back as it found it.

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

  SystemConsole system = openSystemConsole();
  if (!system.console) return reportNoConsole(system);
  // The audio layer lives until the process ends; its threads are never joined.
  static SoundSystem sound;
  const int status = runDemo({*system.console, *system.clock, sound, musicFile.c_str()});
  endProcess(*system.console, status);
}
