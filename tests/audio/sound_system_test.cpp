#include "audio/sound_system.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "audio/audio_backend.hpp"
#include "audio_fixtures.hpp"

namespace vantrel {
namespace {

using namespace std::chrono_literals;
using testing::ScratchFolder;

SoundOptions silentIn(const ScratchFolder& folder) {
  return {.openDevice = false, .musicFolders = {folder.path()}, .builtInMusic = {}};
}

// The frame loop's side of the sharing: the spectrum read in place on
// another thread while the audio thread refreshes it (clean under
// ThreadSanitizer), at one address from before the output opens.
TEST(SoundSystem, SpectrumIsReadOnAnotherThreadWhileTheMusicPlays) {
  ScratchFolder folder;
  testing::writeSineMp3(folder / "BlueNoise.mp3", 44100, 2, testing::binFrequency(60), 2.0);
  SoundSystem sound(silentIn(folder));
  const SpectrumEntry* early = sound.soundGetSpectrum();
  ASSERT_TRUE(sound.soundInit(44100, 64, 0));
  ASSERT_TRUE(sound.soundSetUnitActive(sound.soundSpectrumUnit(), 1));
  SoundStream* stream = sound.soundOpenStream("BlueNoise.mp3", 64, 0, 0);
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(sound.soundPlayStream(-1, stream), 0);
  const SpectrumEntry* spectrum = sound.soundGetSpectrum();
  EXPECT_EQ(spectrum, early);

  float heard = 0.0F;
  std::thread reader([&] {
    const auto giveUp = std::chrono::steady_clock::now() + 20s;  // a guard, not a goal
    while (heard < 0.4F && std::chrono::steady_clock::now() < giveUp) {
      float loudest = 0.0F;
      for (int k = 1; k <= 240; ++k) loudest = std::max(loudest, readEntry(spectrum, k));
      if (loudest == readEntry(spectrum, 60)) heard = loudest;
      std::this_thread::sleep_for(1ms);
    }
  });
  reader.join();
  EXPECT_GE(heard, 0.4F);
}

// The loudest of the first 240 entries, or 0 where all are silent.
int loudestEntry(const SpectrumEntry* spectrum) {
  int loudest = 0;
  for (int k = 1; k <= 240; ++k) {
    if (readEntry(spectrum, k) > (loudest == 0 ? 0.0F : readEntry(spectrum, loudest))) loudest = k;
  }
  return loudest;
}

// Paced by its caller, the silent output delivers nothing on its own, and
// plays from memory the file it read when the stream opened.
TEST(SoundSystem, SilencePacedByTheCallerPlaysWhenPumpedFromTheFileReadAtOpening) {
  ScratchFolder folder;
  testing::writeSineMp3(folder / "BlueNoise.mp3", 44100, 2, testing::binFrequency(60), 2.0);
  SoundOptions options = silentIn(folder);
  options.silencePacedByCaller = true;
  SoundSystem sound(options);
  ASSERT_TRUE(sound.soundInit(44100, 64, 0));
  ASSERT_TRUE(sound.soundSetUnitActive(sound.soundSpectrumUnit(), 1));
  SoundStream* stream = sound.soundOpenStream("BlueNoise.mp3", 64, 0, 0);
  ASSERT_NE(stream, nullptr);
  std::filesystem::remove(folder / "BlueNoise.mp3");
  EXPECT_EQ(sound.soundPlayStream(-1, stream), 0);
  const SpectrumEntry* spectrum = sound.soundGetSpectrum();
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(loudestEntry(spectrum), 0) << "music delivered with nobody pumping";
  const auto giveUp = std::chrono::steady_clock::now() + 20s;  // a guard, not a goal
  while (loudestEntry(spectrum) != 60 && std::chrono::steady_clock::now() < giveUp) {
    sound.soundPump();
    std::this_thread::sleep_for(5ms);
  }
  EXPECT_EQ(loudestEntry(spectrum), 60);
}

TEST(SoundSystem, RefusesWhatItCannotDoAndStaysSilent) {
  ScratchFolder folder;
  testing::writeSineMp3(folder / "BlueNoise.mp3", 44100, 2, 440.0, 0.5);
  SoundSystem sound(silentIn(folder));
  SoundStream* stream = sound.soundOpenStream("BlueNoise.mp3", 64, 0, 0);
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(sound.soundPlayStream(-1, stream), -1) << "no output open yet";
  EXPECT_FALSE(sound.soundInit(22050, 64, 0));
  EXPECT_FALSE(sound.soundSetUnitActive(sound.soundSpectrumUnit() + 1, 1));
  ASSERT_TRUE(sound.soundInit(44100, 64, 0));
  EXPECT_EQ(sound.soundPlayStream(-1, nullptr), -1);
  EXPECT_EQ(sound.soundPlayStream(-1, stream), 0);
  EXPECT_EQ(sound.soundPlayStream(-1, stream), -1) << "one stream at a time";
  EXPECT_EQ(sound.soundOpenStream(nullptr, 64, 0, 0), nullptr);
}

}  // namespace
}  // namespace vantrel
