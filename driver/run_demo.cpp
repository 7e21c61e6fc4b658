#include "driver/run_demo.hpp"

#include <cstdint>
#include <memory>

#include "driver/demo.hpp"
#include "driver/frame_wait.hpp"
#include "driver/presentation.hpp"

namespace vantrel {

namespace {

void setUpWindow(Console& console) {
  console.openWindow();
  console.setWindowRows(screenRows);
  console.placeWindow(32767, 32767);
  console.setWindowTitle(windowTitle);
  console.hideCursor();
}

void openAudio(SoundSystem& sound) {
  sound.soundInit(44100, 64, 0);
  sound.soundSetUnitActive(sound.soundSpectrumUnit(), 1);
}

const SpectrumEntry* startMusic(SoundSystem& sound, const char* musicFile) {
  SoundStream* musicStream = sound.soundOpenStream(musicFile, 64, 0, 0);
  sound.soundPlayStream(-1, musicStream);
  return sound.soundGetSpectrum();
}

}  // namespace

int runDemo(DemoPlatform platform) {
  // The only allocation of the run: everything the frames draw from.
  const auto demo = std::make_unique<Demo>();
  prepareScroller(*demo);
  setUpWindow(platform.console);
  Presentation presentation{.console = &platform.console};
  openAudio(platform.sound);
  prepareParticles(*demo, platform.seed.value_or(particleSeed(platform.clock.timeOfDay())));
  demo->spectrum = startMusic(platform.sound, platform.musicFile);

  for (;;) {
    // Without a sound device, the music due by now is delivered silently
    // here, on the wake-up the frame has anyway.
    platform.sound.soundPump();
    if (drawFrame(*demo) == FrameOutcome::messageEnded) return demoExitStatus;
    presentScreen(presentation, demo->cellScreen);
    if (platform.console.pollKey().isEscape()) return demoExitStatus;
    if (platform.console.gone()) return consoleGoneExitStatus;
    waitForFrame(platform.clock);
  }
}

}  // namespace vantrel
