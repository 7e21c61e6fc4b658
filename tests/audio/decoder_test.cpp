// The platform decoder and the layer on real and damaged MP3 files.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <thread>

#include "audio/audio_backend.hpp"
#include "audio/music_feed.hpp"
#include "audio/sound_system.hpp"
#include "audio/track_analysis.hpp"
#include "audio_fixtures.hpp"

namespace vantrel {
namespace {

using testing::ScratchFolder;

bool allZero(const SpectrumEntry* spectrum) {
  return std::all_of(spectrum, spectrum + spectrumSize,
                     [](const SpectrumEntry& entry) { return entry.load() == 0.0F; });
}

int loudestEntry(const SpectrumArray& spectrum) {
  const auto loudest = std::max_element(
      spectrum.begin(), spectrum.end(),
      [](const SpectrumEntry& a, const SpectrumEntry& b) { return a.load() < b.load(); });
  return static_cast<int>(loudest - spectrum.begin());
}

TEST(Decoder, PlaysAStereoFileAtItsExactLength) {
  ScratchFolder folder;
  testing::writeSineMp3(folder / "tone.mp3", 44100, 2, testing::binFrequency(40), 2.0);
  TrackAnalysis track(folder / "tone.mp3");
  EXPECT_EQ(track.frameCount(), 88200U);
  SpectrumArray spectrum{};
  track.spectrumAt(1.0, spectrum);
  EXPECT_EQ(loudestEntry(spectrum), 40);
  EXPECT_NEAR(spectrum[40].load(), 0.5, 0.05);
}

TEST(Decoder, TurnsA22050HzMonoFileInto44100HzStereo) {
  ScratchFolder folder;
  testing::writeSineMp3(folder / "mono.mp3", 22050, 1, testing::binFrequency(32), 1.0);
  TrackAnalysis track(folder / "mono.mp3");
  EXPECT_EQ(track.frameCount(), 44100U);
  std::vector<PcmSample> block(blockFrames * pcmChannels);
  track.copyBlock(40, block.data());
  for (std::size_t frame = 0; frame < blockFrames; ++frame) {
    ASSERT_EQ(block[2 * frame], block[2 * frame + 1]);
  }
  SpectrumArray spectrum{};
  track.spectrumAt(0.5, spectrum);
  EXPECT_EQ(loudestEntry(spectrum), 32);
  EXPECT_NEAR(spectrum[32].load(), 0.5, 0.05);
}

// A damaged file found by fuzzing (the start of a track with a mangled
// frame): played again from the start, it must give the same samples, or
// every repeat of the music would sound different.
TEST(Decoder, ReadsADamagedTrackAlikeAfterARewind) {
#ifdef _WIN32
  GTEST_SKIP() << "the Windows decoder's own frame scan refuses this file outright";
#endif
  std::unique_ptr<PcmDecoder> decoder = makeDecoder();
  ASSERT_TRUE(decoder->open(VANTREL_AUDIO_TEST_DATA "/damaged-lame-start.mp3"));
  const auto readAll = [&decoder] {
    std::vector<PcmSample> samples;
    std::vector<PcmSample> chunk(4096 * pcmChannels);
    while (const std::size_t got = decoder->read(chunk.data(), 4096)) {
      samples.insert(samples.end(), chunk.begin(),
                     chunk.begin() + static_cast<std::ptrdiff_t>(got * pcmChannels));
    }
    return samples;
  };
  const std::vector<PcmSample> first = readAll();
  ASSERT_FALSE(first.empty());
  ASSERT_TRUE(decoder->rewind());
  EXPECT_EQ(readAll(), first);
}

std::vector<std::uint8_t> fileBytes(const std::filesystem::path& path) {
  const std::vector<char> bytes = testing::readBytes(path);
  return {bytes.begin(), bytes.end()};
}

// The built-in track is read from memory: every sample as from the file, the
// first pass and after a rewind, a damaged stream's resynchronising included.
TEST(Decoder, ReadsAFileInMemoryAsItReadsTheFile) {
  ScratchFolder folder;
  testing::writeSineMp3(folder / "tone.mp3", 22050, 1, 1000.0, 1.5);
  std::vector<std::filesystem::path> files{folder / "tone.mp3"};
#ifndef _WIN32
  files.emplace_back(VANTREL_AUDIO_TEST_DATA "/damaged-lame-start.mp3");
#endif
  for (const std::filesystem::path& file : files) {
    SCOPED_TRACE(file.filename().string());
    const std::vector<std::uint8_t> bytes = fileBytes(file);
    const std::vector<PcmSample> fromFile = decodeWholeTrack(file);
    ASSERT_FALSE(fromFile.empty());
    EXPECT_EQ(decodeWholeTrack(bytes), fromFile);
    std::unique_ptr<PcmDecoder> decoder = makeDecoder();
    ASSERT_TRUE(decoder->openBytes(bytes));
    std::vector<PcmSample> chunk(fromFile.size() + 4096 * pcmChannels);
    EXPECT_EQ(decoder->read(chunk.data(), chunk.size() / pcmChannels) * pcmChannels,
              fromFile.size());
    ASSERT_TRUE(decoder->rewind());
    const std::size_t again = decoder->read(chunk.data(), chunk.size() / pcmChannels);
    chunk.resize(again * pcmChannels);
    EXPECT_EQ(chunk, fromFile);
  }
  EXPECT_FALSE(makeDecoder()->openBytes({}));
}

// Bad music files, each in place of BlueNoise.mp3.
enum class Damage { missing, empty, randomBytes, renamedWav, truncated, corruptMiddle, folder };

struct BadFile {
  Damage damage;
  const char* name;
  bool hasAudio;  // part of it still plays
};

const BadFile badFiles[] = {
    {Damage::missing, "missing", false},
    {Damage::empty, "empty", false},
    {Damage::randomBytes, "random bytes", false},
    {Damage::renamedWav, "renamed WAV", false},
    {Damage::truncated, "truncated", true},
    {Damage::corruptMiddle, "corrupt middle", true},
    {Damage::folder, "folder", false},
};

std::filesystem::path makeBadFile(const ScratchFolder& folder, Damage damage) {
  const std::filesystem::path music = folder / "BlueNoise.mp3";
  const std::filesystem::path good = folder / "good.mp3";
  testing::writeSineMp3(good, 44100, 2, 1000.0, 3.0);
  std::vector<char> bytes = testing::readBytes(good);
  std::mt19937 random(7);
  switch (damage) {
    case Damage::missing:
      break;
    case Damage::empty:
      testing::writeBytes(music, {});
      break;
    case Damage::randomBytes:
      for (char& byte : bytes) byte = static_cast<char>(random());
      testing::writeBytes(music, bytes);
      break;
    case Damage::renamedWav:
      testing::writeWav(music, 44100, 2, testing::sineSamples(44100, 2, 1000.0, 1.0, 0.5));
      break;
    case Damage::truncated:
      bytes.resize(bytes.size() / 2);
      testing::writeBytes(music, bytes);
      break;
    case Damage::corruptMiddle:
      for (std::size_t i = bytes.size() / 2; i < bytes.size() / 2 + 2000; ++i) {
        bytes[i] = static_cast<char>(random());
      }
      testing::writeBytes(music, bytes);
      break;
    case Damage::folder:
      std::filesystem::create_directory(music);
      break;
  }
  std::filesystem::remove(good);
  return music;
}

// Through the whole layer, playing silently on its own thread: nothing
// crashes, nothing hangs, and a file without audio leaves the spectrum zero.
TEST(BadMusicFile, LeavesARunningLayerThatAnswersEveryCall) {
  for (const BadFile& bad : badFiles) {
    SCOPED_TRACE(bad.name);
    ScratchFolder folder;
    makeBadFile(folder, bad.damage);
    SoundSystem sound({.openDevice = false, .musicFolders = {folder.path()}, .builtInMusic = {}});
    EXPECT_TRUE(sound.soundInit(44100, 64, 0));
    EXPECT_TRUE(sound.soundSetUnitActive(sound.soundSpectrumUnit(), 1));
    SoundStream* stream = sound.soundOpenStream("BlueNoise.mp3", 64, 0, 0);
    EXPECT_EQ(stream != nullptr, bad.hasAudio);
    EXPECT_EQ(sound.soundPlayStream(-1, stream) == 0, bad.hasAudio);
    const SpectrumEntry* spectrum = sound.soundGetSpectrum();
    ASSERT_NE(spectrum, nullptr);
    if (!bad.hasAudio) {
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      EXPECT_TRUE(allZero(spectrum));
    }
  }
}

// The fill routine on the real decoder, past the damage and round the
// repeat several times: every block is complete and every value finite.
TEST(BadMusicFile, PlaysWhatItCanAndRepeatsIt) {
  for (const BadFile& bad : badFiles) {
    if (!bad.hasAudio) continue;
    SCOPED_TRACE(bad.name);
    ScratchFolder folder;
    const std::filesystem::path music = makeBadFile(folder, bad.damage);
    std::unique_ptr<PcmDecoder> decoder = makeDecoder();
    ASSERT_TRUE(decoder->open(music));
    RepeatingTrack track(std::move(decoder));
    SpectrumArray spectrum{};
    MusicFeed feed(spectrum);
    feed.attach(&track);
    feed.setAnalysing(true);
    std::vector<PcmSample> block(blockFrames * pcmChannels);
    int liveBlocks = 0;
    for (int n = 0; n < 1000; ++n) {  // about 11.6 s: round a 3 s file several times
      feed.fill(block.data(), blockFrames);
      bool live = false;
      for (const SpectrumEntry& entry : spectrum) {
        ASSERT_TRUE(std::isfinite(entry.load()));
        ASSERT_LE(entry.load(), 2.0F);
        live = live || entry.load() > 0.1F;
      }
      liveBlocks += live ? 1 : 0;
    }
    EXPECT_FALSE(track.silent());
    EXPECT_GT(liveBlocks, 800);
  }
}

// The tone the layer plays, by the loudest entry of its spectrum once it moves.
int loudestHeard(SoundSystem& sound, const char* name) {
  if (!sound.soundInit(44100, 64, 0) || !sound.soundSetUnitActive(sound.soundSpectrumUnit(), 1)) {
    return -1;
  }
  SoundStream* stream = sound.soundOpenStream(name, 64, 0, 0);
  if (stream == nullptr || sound.soundPlayStream(-1, stream) != 0) return -1;
  const SpectrumEntry* spectrum = sound.soundGetSpectrum();
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (allZero(spectrum) && std::chrono::steady_clock::now() < giveUp) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const auto loudest = std::max_element(
      spectrum, spectrum + spectrumSize,
      [](const SpectrumEntry& a, const SpectrumEntry& b) { return a.load() < b.load(); });
  return allZero(spectrum) ? 0 : static_cast<int>(loudest - spectrum);
}

// The built-in track stands in for a BlueNoise.mp3 that is not there (a
// folder of that name is not one), and only under that name; a file that is
// there, however damaged, is what plays, or nothing does.
TEST(BadMusicFile, IsPlayedAsItIsAndTheBuiltInTrackOnlyWhereThereIsNone) {
  ScratchFolder tones;
  testing::writeSineMp3(tones / "built-in.mp3", 44100, 2, testing::binFrequency(60), 1.0);
  const std::vector<std::uint8_t> builtIn = fileBytes(tones / "built-in.mp3");
  for (const BadFile& bad : badFiles) {
    SCOPED_TRACE(bad.name);
    ScratchFolder folder;
    makeBadFile(folder, bad.damage);
    const bool noFile = bad.damage == Damage::missing || bad.damage == Damage::folder;
    SoundSystem sound(
        {.openDevice = false, .musicFolders = {folder.path()}, .builtInMusic = builtIn});
    const int heard = loudestHeard(sound, "BlueNoise.mp3");
    if (noFile) {
      EXPECT_EQ(heard, 60);
    } else {
      EXPECT_NE(heard, 60) << "the built-in track behind the user's back";
      if (bad.hasAudio) {
        EXPECT_GT(heard, 0) << "the damaged file's own tone";
      }
    }
  }
  ScratchFolder empty;
  SoundSystem other({.openDevice = false, .musicFolders = {empty.path()}, .builtInMusic = builtIn});
  EXPECT_EQ(other.soundOpenStream("Other.mp3", 64, 0, 0), nullptr);
}

TEST(MusicFile, IsLookedForInEachFolderInTurn) {
  ScratchFolder first;
  ScratchFolder second;
  ScratchFolder third;
  std::filesystem::create_directory(first / "BlueNoise.mp3");  // a folder is not the file
  testing::writeBytes(second / "BlueNoise.mp3", {'x'});
  testing::writeBytes(third / "BlueNoise.mp3", {'y'});
  const std::vector<std::filesystem::path> folders{first.path(), second.path(), third.path()};
  EXPECT_EQ(locateMusicFile("BlueNoise.mp3", folders), second / "BlueNoise.mp3");
  EXPECT_EQ(locateMusicFile("Other.mp3", folders), std::filesystem::path{});
  EXPECT_EQ(locateMusicFile("", folders), std::filesystem::path{});
  EXPECT_EQ(locateMusicFile("music/BlueNoise.mp3", folders),
            std::filesystem::path{"music/BlueNoise.mp3"});
}

TEST(MusicFile, DefaultFolderIsTheCurrentOne) {
  EXPECT_EQ(defaultMusicFolders(), std::vector<std::filesystem::path>{"."});
}

}  // namespace
}  // namespace vantrel
