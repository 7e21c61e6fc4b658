// The shipped track through the Windows decoder (the Audio Compression
// Manager), against the Linux host's own decoder: the same length, and music
// in the spectrum.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>

#include "audio/track_analysis.hpp"
#include "audio_fixtures.hpp"
#include "support/wine_host.hpp"

namespace vantrel {
namespace {

// Frames of a 16-bit PCM WAV file as lame writes it (a plain 44-byte header).
std::size_t wavFrames(const std::filesystem::path& wav) {
  const std::vector<char> bytes = testing::readBytes(wav);
  if (bytes.size() < 44) return 0;
  const auto channels = static_cast<std::size_t>(static_cast<unsigned char>(bytes[22]));
  return (bytes.size() - 44) / (2 * std::max<std::size_t>(channels, 1));
}

TEST(ShippedTrack, DecodesToTheHostDecodersLengthWithMusicInTheSpectrum) {
  const std::filesystem::path track{VANTREL_SHIPPED_TRACK};
  if (!std::filesystem::exists(track)) GTEST_SKIP() << "no track shipped yet at " << track;

  testing::ScratchFolder folder;
  const std::filesystem::path wav = folder / "decoded.wav";
  const auto trackOnHost = testing::hostPath(track);
  const auto wavOnHost = testing::hostPath(wav);
  ASSERT_TRUE(trackOnHost && wavOnHost) << "the Windows tests run under wine";
  const std::string command = "lame --quiet --decode '" + *trackOnHost + "' '" + *wavOnHost + "'";
  ASSERT_EQ(testing::runHostCommand(command), 0) << command;
  const std::size_t expected = wavFrames(wav);
  ASSERT_GT(expected, 44100U) << "the host decoded less than a second";

  TrackAnalysis analysis(track);
  EXPECT_EQ(analysis.frameCount(), expected);

  int secondsWithMusic = 0;
  for (double seconds = 1.0; seconds < static_cast<double>(expected) / pcmRate; seconds += 5.0) {
    SpectrumArray spectrum{};
    analysis.spectrumAt(seconds, spectrum);
    const bool heard = std::any_of(spectrum.begin() + 1, spectrum.begin() + 241,
                                   [](const SpectrumEntry& entry) { return entry.load() > 0.0F; });
    secondsWithMusic += heard ? 1 : 0;
  }
  EXPECT_GT(secondsWithMusic, 0);
}

}  // namespace
}  // namespace vantrel
