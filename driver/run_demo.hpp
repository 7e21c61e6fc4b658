#pragma once
// The demo from start to end: start-up, then the frame loop until Esc or
// the end of the message.

#include <cstdint>
#include <optional>
#include <string_view>

#include "audio/sound_system.hpp"
#include "platform/clock.hpp"
#include "platform/console.hpp"

namespace vantrel {

inline constexpr std::string_view windowTitle =
    "Vantrel                                                                                    "
    "Copy me!  I want to travel.";
static_assert(windowTitle.size() == 118);

inline constexpr const char* musicFileName = "BlueNoise.mp3";
inline constexpr int demoExitStatus = 0;
// The console went away during the show (its window was closed).
inline constexpr int consoleGoneExitStatus = 1;

struct DemoPlatform {
  Console& console;
  Clock& clock;
  SoundSystem& sound;
  // The music: a bare name is looked for where the track is installed, a
  // path is taken as it is.
  const char* musicFile = musicFileName;
  // The particles' seed; without one it comes from the clock.
  std::optional<std::uint32_t> seed = std::nullopt;
};

// Runs the start-up and the frame loop. Returns the exit status when the demo
// ends (Esc after a presented frame, the message used up before one, or the
// console gone); the caller ends the process with it.
int runDemo(DemoPlatform platform);

}  // namespace vantrel
