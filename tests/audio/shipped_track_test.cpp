// The track vantrel ships: built into the program byte for byte, its length,
// its seamless repeat, that the live layer playing the built-in copy and the
// offline analysis of the file agree on it, and how lively it makes the bars.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "audio/audio_backend.hpp"
#include "audio/built_in_track.hpp"
#include "audio/music_feed.hpp"
#include "audio/track_analysis.hpp"
#include "music/liveliness.hpp"
#include "music/score.hpp"

namespace vantrel {
namespace {

const std::filesystem::path shippedTrack{VANTREL_SHIPPED_TRACK};

// Decoding the whole track takes a moment; the tests share one decode.
TrackAnalysis& track() {
  static TrackAnalysis decoded(shippedTrack);
  return decoded;
}

TEST(ShippedTrack, IsBuiltInByteForByte) {
  std::ifstream in(shippedTrack, std::ios::binary);
  const std::vector<char> file{std::istreambuf_iterator<char>(in), {}};
  const std::span<const std::uint8_t> builtIn = builtInTrack();
  ASSERT_EQ(builtIn.size(), file.size());
  EXPECT_TRUE(std::equal(builtIn.begin(), builtIn.end(), file.begin(),
                         [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); }));
}

TEST(ShippedTrack, DecodesToItsFullLength) {
  ASSERT_TRUE(track().hasAudio()) << shippedTrack;
  EXPECT_EQ(track().frameCount(), static_cast<std::size_t>(compose::trackFrames));
}

// No click where the end meets the start: the step between the last frame
// and the first is no bigger than the steps just around it.
TEST(ShippedTrack, RepeatsWithoutAClick) {
  const auto length = static_cast<std::int64_t>(track().frameCount());
  const std::int64_t seamBlock = length / static_cast<std::int64_t>(blockFrames);
  std::vector<PcmSample> around(4 * blockFrames * pcmChannels);
  for (std::size_t b = 0; b < 4; ++b) {
    track().copyBlock(seamBlock - 2 + static_cast<std::int64_t>(b),
                      around.data() + b * blockFrames * pcmChannels);
  }
  const auto seam =
      static_cast<std::size_t>(length - (seamBlock - 2) * static_cast<std::int64_t>(blockFrames));
  const auto step = [&](std::size_t frame, int channel) {
    const auto at = [&](std::size_t f) {
      return around[f * pcmChannels + static_cast<std::size_t>(channel)];
    };
    return std::abs(at(frame) - at(frame - 1));
  };
  for (int channel = 0; channel < pcmChannels; ++channel) {
    int largestNearby = 0;
    for (std::size_t f = seam - 400; f < seam + 400; ++f) {
      if (f != seam) largestNearby = std::max(largestNearby, step(f, channel));
    }
    EXPECT_LE(step(seam, channel), largestNearby) << "channel " << channel;
  }
}

// The live fill routine, round the end of the track and into its repeat,
// leaves exactly the spectrum the offline analysis gives for each block.
TEST(ShippedTrack, LiveLayerAndOfflineAnalysisAgreeRoundTheRepeat) {
  std::unique_ptr<PcmDecoder> decoder = makeDecoder();
  ASSERT_TRUE(decoder->openBytes(builtInTrack()));
  RepeatingTrack repeating(std::move(decoder));
  SpectrumArray live{};
  MusicFeed feed(live);
  feed.attach(&repeating);
  feed.setAnalysing(true);
  SpectrumArray offline{};
  std::vector<PcmSample> block(blockFrames * pcmChannels);
  std::vector<PcmSample> expected(blockFrames * pcmChannels);
  const auto blocks = static_cast<std::int64_t>(track().frameCount() / blockFrames) + 40;
  for (std::int64_t b = 0; b < blocks; ++b) {
    feed.fill(block.data(), blockFrames);
    track().copyBlock(b, expected.data());
    ASSERT_EQ(block, expected) << "block " << b;
    if (b % 97 != 0 && b < blocks - 40) continue;  // spot checks, then every block past the seam
    track().spectrumAfterBlock(b, offline);
    for (std::size_t k = 0; k < offline.size(); ++k) {
      ASSERT_EQ(live[k].load(), offline[k].load()) << "block " << b << " entry " << k;
    }
  }
}

TEST(ShippedTrack, MakesTheBarsLively) {
  const double seconds = static_cast<double>(track().frameCount()) / pcmRate;
  const compose::Liveliness figures = compose::measureLiveliness(track(), seconds);
  std::printf("%s", compose::describe(figures).c_str());
  EXPECT_GE(figures.wideFrames, 0.6);
  EXPECT_GE(figures.medianBar, 3);
  EXPECT_LE(figures.medianBar, 20);
  EXPECT_LE(figures.fullBars, 0.03);
  EXPECT_GE(figures.lowColumns(), 0.3);
  EXPECT_GE(figures.highColumns(), 0.3);
  EXPECT_LE(figures.firstColumnFull, 0.05);
}

}  // namespace
}  // namespace vantrel
