#include "audio/spectrum_analyzer.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <vector>

#include "audio_fixtures.hpp"

namespace vantrel {
namespace {

using testing::binFrequency;
using testing::sineSamples;

constexpr double fullScale = 32767.0 / 32768.0;

std::vector<std::int16_t> sine(int bin, std::size_t frames, double amplitude = fullScale) {
  return sineSamples(pcmRate, pcmChannels, binFrequency(bin), static_cast<double>(frames) / pcmRate,
                     amplitude);
}

void push(SpectrumAnalyzer& analyzer, const std::vector<std::int16_t>& samples,
          SpectrumArray& spectrum, std::size_t chunkFrames = blockFrames) {
  const std::size_t frames = samples.size() / pcmChannels;
  for (std::size_t done = 0; done < frames; done += chunkFrames) {
    analyzer.push(samples.data() + done * pcmChannels, std::min(chunkFrames, frames - done),
                  spectrum);
  }
}

float entry(const SpectrumArray& spectrum, int k) {
  return spectrum[static_cast<std::size_t>(k)].load();
}

TEST(SpectrumAnalyzer, FullScaleSineAtABinCentreReadsOneThereAndNothingFourBinsAway) {
  for (int bin : {5, 32, 100, 240, 400}) {
    SpectrumAnalyzer analyzer;
    SpectrumArray spectrum{};
    push(analyzer, sine(bin, 4 * blockFrames), spectrum);
    EXPECT_NEAR(entry(spectrum, bin), 1.0, 0.05) << "bin " << bin;
    EXPECT_LT(entry(spectrum, bin - 4), 0.01) << "bin " << bin;
    EXPECT_LT(entry(spectrum, bin + 4), 0.01) << "bin " << bin;
  }
}

// A tone between two bins is the case a wrong window gives away: flipped to
// 0.5 + 0.5 cos, the window still passes every bin-centred test, but its
// leakage four bins away is ten times the Hann window's.
TEST(SpectrumAnalyzer, AToneBetweenTwoBinsStaysInItsNeighbourhood) {
  constexpr double binWidth = static_cast<double>(pcmRate) / analysisSize;
  const std::vector<std::int16_t> tone =
      sineSamples(pcmRate, pcmChannels, 100.5 * binWidth,
                  static_cast<double>(4 * blockFrames) / pcmRate, fullScale);
  SpectrumAnalyzer analyzer;
  SpectrumArray spectrum{};
  push(analyzer, tone, spectrum);
  // Halfway between bins the Hann window reads 8/(3 pi), about 0.85, in both.
  EXPECT_NEAR(entry(spectrum, 100), 0.85, 0.03);
  EXPECT_NEAR(entry(spectrum, 101), 0.85, 0.03);
  for (int bin : {96, 105}) EXPECT_LT(entry(spectrum, bin), 0.01) << "bin " << bin;
}

TEST(SpectrumAnalyzer, SilenceReadsZeroEvenRightAfterSound) {
  SpectrumAnalyzer analyzer;
  SpectrumArray spectrum{};
  push(analyzer, sine(50, 4 * blockFrames), spectrum);
  push(analyzer, std::vector<std::int16_t>(analysisSize * pcmChannels, 0), spectrum);
  for (const SpectrumEntry& value : spectrum) EXPECT_EQ(value.load(), 0.0F);
}

TEST(SpectrumAnalyzer, RefreshesAfterEveryWholeBlockWhateverTheChunkSize) {
  const std::vector<std::int16_t> tone = sine(20, 3 * blockFrames, 0.5);
  const auto firstFrames = [&](std::size_t frames) {
    return std::vector<std::int16_t>(tone.begin(),
                                     tone.begin() + static_cast<std::ptrdiff_t>(frames * 2));
  };
  const auto equal = [](const SpectrumArray& a, const SpectrumArray& b) {
    for (std::size_t k = 0; k < a.size(); ++k) {
      if (a[k].load() != b[k].load()) return false;
    }
    return true;
  };
  SpectrumAnalyzer byBlocks;
  SpectrumArray afterTwoBlocks{};
  push(byBlocks, firstFrames(2 * blockFrames), afterTwoBlocks);
  SpectrumArray afterThreeBlocks{};
  push(byBlocks, std::vector<std::int16_t>(tone.begin() + 2 * blockFrames * 2, tone.end()),
       afterThreeBlocks);

  // In chunks of 100 frames, up to one frame short of the third block: the
  // spectrum is still the one after the second block.
  SpectrumAnalyzer byChunks;
  SpectrumArray spectrum{};
  push(byChunks, firstFrames(3 * blockFrames - 1), spectrum, 100);
  EXPECT_TRUE(equal(spectrum, afterTwoBlocks));
  // The last frame completes the block and refreshes it.
  byChunks.push(tone.data() + tone.size() - 2, 1, spectrum);
  EXPECT_TRUE(equal(spectrum, afterThreeBlocks));
}

// The spectrum never lags the output by more than the block being handed
// over: a tone that starts in a block already shows once that block is in.
TEST(SpectrumAnalyzer, AToneShowsInTheSpectrumOfTheBlockThatStartsIt) {
  SpectrumAnalyzer analyzer;
  SpectrumArray spectrum{};
  push(analyzer, std::vector<std::int16_t>(analysisSize * pcmChannels, 0), spectrum);
  push(analyzer, sine(64, blockFrames), spectrum);
  EXPECT_GT(entry(spectrum, 64), 0.4);
}

TEST(SpectrumAnalyzer, ResetForgetsWhatWasHeard) {
  SpectrumAnalyzer analyzer;
  SpectrumArray spectrum{};
  push(analyzer, sine(10, 3 * blockFrames), spectrum);
  analyzer.reset();
  push(analyzer, std::vector<std::int16_t>(blockFrames * pcmChannels, 0), spectrum);
  EXPECT_EQ(entry(spectrum, 10), 0.0F);
}

// The spectrum the bars read must be the same bits in every build, on every
// platform. The music here is made with integer arithmetic alone (a chord of
// sawtooth waves and noise from a linear congruential generator), so its
// samples are the same everywhere; the recorded checksum comes from a build
// checked against the definition of the transform, and GCC, Clang and the
// Windows build under wine all give it.
TEST(SpectrumAnalyzer, GivesTheRecordedBitsInEveryBuild) {
  std::vector<std::int16_t> music(64 * blockFrames * pcmChannels);
  std::uint32_t noise = 1;
  for (std::size_t i = 0; i < music.size(); ++i) {
    const auto t = static_cast<std::int32_t>(i / pcmChannels);
    const std::int32_t chord = (t * 37 % 1024) + (t * 59 % 1024) + (t * 83 % 1024) - 1536;
    noise = noise * 1664525U + 1013904223U;
    const auto hiss = static_cast<std::int32_t>(noise >> 24) - 128;
    music[i] = static_cast<std::int16_t>(chord * 12 + hiss * 16 * static_cast<std::int32_t>(i % 2));
  }
  SpectrumAnalyzer analyzer;
  SpectrumArray spectrum{};
  std::uint64_t checksum = 0xcbf29ce484222325ULL;
  for (std::size_t block = 0; block < 64; ++block) {
    analyzer.push(music.data() + block * blockFrames * pcmChannels, blockFrames, spectrum);
    for (const auto& value : spectrum) {
      checksum ^= std::bit_cast<std::uint32_t>(value.load());
      checksum *= 0x100000001b3ULL;
    }
  }
  EXPECT_EQ(checksum, 0xd52d6c40007c7c3ULL) << std::hex << checksum;
}

}  // namespace
}  // namespace vantrel
