// vantrel: a text-mode demo. Takes the console, plays the show, gives the
// console back as it found it.

#include "audio/sound_system.hpp"
#include "driver/run_demo.hpp"
#include "platform/system_console.hpp"

int main() {
  using namespace vantrel;
  SystemConsole system = openSystemConsole();
  if (!system.console) return reportNoConsole(system);
  // The audio layer lives until the process ends; its threads are never joined.
  static SoundSystem sound;
  const int status = runDemo({*system.console, *system.clock, sound});
  endProcess(*system.console, status);
}
