// Converting decoded PCM of any rate and channel count to 44100 Hz stereo.

#include "audio/pcm_rate_converter.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace vantrel {
namespace {

// Converts `source` in chunks of `chunk` frames and finishes the stream.
std::vector<PcmSample> convertAll(const std::vector<PcmSample>& source, int rate, int channels,
                                  std::size_t chunk) {
  PcmRateConverter converter;
  converter.reset(rate, channels);
  const std::size_t frames = source.size() / static_cast<std::size_t>(channels);
  std::vector<PcmSample> out;
  std::vector<PcmSample> piece(converter.maxOutputFrames(chunk) * pcmChannels);
  for (std::size_t at = 0; at < frames; at += chunk) {
    const std::size_t count = std::min(chunk, frames - at);
    const std::size_t made = converter.convert(
        source.data() + at * static_cast<std::size_t>(channels), count, piece.data());
    EXPECT_LE(made, converter.maxOutputFrames(count));
    out.insert(out.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(made * 2));
  }
  const std::size_t made = converter.finish(piece.data());
  out.insert(out.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(made * 2));
  return out;
}

std::vector<PcmSample> ramp(std::size_t samples) {
  std::vector<PcmSample> values(samples);
  for (std::size_t i = 0; i < samples; ++i) {
    values[i] = static_cast<PcmSample>(static_cast<int>(i * 37 % 60000) - 30000);
  }
  return values;
}

TEST(PcmRateConverter, CopiesStereoAt44100Hz) {
  const std::vector<PcmSample> source = ramp(2 * 1000);
  EXPECT_EQ(convertAll(source, 44100, 2, 333), source);
}

TEST(PcmRateConverter, GivesEachChannelTheMonoSample) {
  const std::vector<PcmSample> mono{5, -7, 32767, -32768};
  EXPECT_EQ(convertAll(mono, 44100, 1, 3),
            (std::vector<PcmSample>{5, 5, -7, -7, 32767, 32767, -32768, -32768}));
}

TEST(PcmRateConverter, DoublesHalfTheRateWithMidpointsBetweenFrames) {
  const std::vector<PcmSample> mono{0, 100, -100, 7};
  EXPECT_EQ(
      convertAll(mono, 22050, 1, 4),
      (std::vector<PcmSample>{0, 0, 50, 50, 100, 100, 0, 0, -100, -100, -47, -47, 7, 7, 7, 7}));
}

TEST(PcmRateConverter, LengthIsExactAndTheSameHoweverTheSourceIsCut) {
  for (const int rate : {8000, 11025, 22050, 32000, 48000}) {
    SCOPED_TRACE(rate);
    const std::vector<PcmSample> source = ramp(2 * 12345);
    const std::vector<PcmSample> whole = convertAll(source, rate, 2, 12345);
    const std::size_t expected =
        (12345ULL * 44100 + static_cast<unsigned>(rate) - 1) / static_cast<unsigned>(rate);
    EXPECT_EQ(whole.size(), expected * 2);
    EXPECT_EQ(convertAll(source, rate, 2, 1), whole);
    EXPECT_EQ(convertAll(source, rate, 2, 577), whole);
  }
}

}  // namespace
}  // namespace vantrel
