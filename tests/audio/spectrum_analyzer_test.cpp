#include "audio/spectrum_analyzer.hpp"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace vantrel
