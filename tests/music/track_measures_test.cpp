// The track's measures against signals whose answers are known: the EBU's
// own test cases for loudness, range and true peak (Tech 3341 and 3342),
// and made-up tracks for repetition, the top bars' movement and the slope.

#include "music/track_measures.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

#include "music/liveliness.hpp"

namespace vantrel::compose {
namespace {

constexpr double rate = pcmRate;

std::vector<PcmSample> silence(double seconds) {
  return std::vector<PcmSample>(2 * static_cast<std::size_t>(seconds * rate), 0);
}

// Adds a sine to both channels of `frames` from `from` s to `to` s, in
// phase `phase` at `from`.
void addSine(std::vector<PcmSample>& frames, double hz, double dbfs, double from, double to,
             double phase = 0.0) {
  const double amplitude = 32768.0 * std::pow(10.0, dbfs / 20.0);
  const auto first = static_cast<std::size_t>(from * rate);
  for (std::size_t n = first; n < static_cast<std::size_t>(to * rate); ++n) {
    const double t = static_cast<double>(n - first) / rate;
    const double value = amplitude * std::sin(2.0 * std::numbers::pi * hz * t + phase);
    for (std::size_t c = 0; c < 2; ++c) {
      frames[2 * n + c] = static_cast<PcmSample>(
          std::clamp(std::lround(frames[2 * n + c] + value), -32768L, 32767L));
    }
  }
}

TEST(Loudness, MeetsTheEbuTestCases) {
  // Tech 3341 case 1: a stereo 1 kHz sine at -23 dBFS reads -23 LUFS.
  std::vector<PcmSample> tone = silence(20.0);
  addSine(tone, 1000.0, -23.0, 0.0, 20.0);
  EXPECT_NEAR(measureLoudness(tone).integrated, -23.0, 0.1);

  // Tech 3342 case 1: 20 s at -20 dBFS then 20 s at -30 dBFS: a range of 10 LU.
  std::vector<PcmSample> steps = silence(40.0);
  addSine(steps, 1000.0, -20.0, 0.0, 20.0);
  addSine(steps, 1000.0, -30.0, 20.0, 40.0);
  EXPECT_NEAR(measureLoudness(steps).range, 10.0, 1.0);
  EXPECT_NEAR(stretchLoudness(steps, {0, static_cast<std::int64_t>(20 * rate)}), -20.0, 0.1);
  EXPECT_NEAR(stretchLoudness(steps, {static_cast<std::int64_t>(20 * rate),
                                      static_cast<std::int64_t>(20 * rate)}),
              -30.0, 0.1);
}

// A sine at a quarter of the sampling rate, 45 degrees off the samples:
// every sample is 3 dB below the wave's crest, which only a true-peak meter sees.
TEST(Loudness, TruePeakSeesBetweenTheSamples) {
  std::vector<PcmSample> tone = silence(2.0);
  addSine(tone, rate / 4.0, -6.0, 0.0, 2.0, std::numbers::pi / 4.0);
  const Loudness loudness = measureLoudness(tone);
  EXPECT_NEAR(loudness.samplePeak, -9.0, 0.1);
  EXPECT_NEAR(loudness.truePeak, -6.0, 0.3);
}

TEST(ClippedSamples, CountsThoseAtOrAbove0999OfFullScale) {
  // 0.999 of full scale is 32735.2.
  const std::vector<PcmSample> frames{32735, -32735, 32736, -32736, 32767, -32768, 0, 100};
  EXPECT_EQ(clippedSamples(frames), 4);
  EXPECT_EQ(clippedSamples(silence(1.0)), 0);
}

// Bars made of tones: `inBand` between 300 Hz and 1.8 kHz, `outOfBand`
// between 4 and 8 kHz and below 100 Hz, each list of tones seeded.
class ToneBars : public ::testing::Test {
 protected:
  static constexpr double barSeconds = 1.0;

  void addTones(int bar, std::uint32_t seed, double lowHz, double highHz, double dbfs) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> hz(lowHz, highHz);
    std::uniform_real_distribution<double> phase(0.0, 2.0 * std::numbers::pi);
    for (int tone = 0; tone < 6; ++tone) {
      addSine(frames, hz(random), dbfs, bar * barSeconds, (bar + 1) * barSeconds, phase(random));
    }
  }
  void writeBar(int bar, std::uint32_t inBand, std::uint32_t outOfBand) {
    addTones(bar, inBand, 300.0, 1800.0, -30.0);
    addTones(bar, outOfBand, 4000.0, 8000.0, -20.0);  // louder than the band
    addTones(bar, outOfBand + 1000U, 30.0, 100.0, -20.0);
  }
  Repetition repetitionOfBar(int bar) const {
    return worstRepetition(frames, static_cast<std::int64_t>(barSeconds * rate), bar, 1);
  }

  std::vector<PcmSample> frames = silence(4 * barSeconds);
};

TEST_F(ToneBars, ABarRepeatedInTheBandIsFoundWhateverPlaysAroundIt) {
  writeBar(0, 1, 2);
  writeBar(1, 3, 4);
  writeBar(2, 1, 5);  // bar 0's chords, other highs and lows
  const Repetition repetition = repetitionOfBar(2);
  EXPECT_GT(repetition.correlation, 0.95);
  EXPECT_EQ(repetition.earlierBar, 0);
}

TEST_F(ToneBars, NewChordsOverTheSameHighsAndLowsAreNotARepeat) {
  writeBar(0, 1, 2);
  writeBar(1, 3, 4);
  writeBar(2, 6, 4);  // bar 1's highs and lows, chords of its own
  EXPECT_LT(repetitionOfBar(2).correlation, 0.3);
}

std::vector<PcmSample> whiteNoise(double seconds, double dbfs, std::uint32_t seed) {
  std::vector<PcmSample> frames = silence(seconds);
  std::mt19937 random(seed);
  std::normal_distribution<double> noise(0.0, 32768.0 * std::pow(10.0, dbfs / 20.0));
  for (PcmSample& sample : frames) {
    sample = static_cast<PcmSample>(std::clamp(std::lround(noise(random)), -32768L, 32767L));
  }
  return frames;
}

SpectrumShape shapeOf(std::vector<PcmSample> frames) {
  TrackAnalysis track(std::move(frames));
  return measureSpectrumShape(track, static_cast<double>(track.frameCount()) / rate);
}

TEST(SpectrumShape, SteadyNoiseIsFlatAndStill) {
  const SpectrumShape shape = shapeOf(whiteNoise(4.0, -20.0, 7));
  EXPECT_NEAR(shape.slope, 0.0, 0.5);
  EXPECT_LT(shape.highBandSpread, 1.5);
}

// Noise in hits of 30 ms every 120 ms, like a hat on every sixteenth.
TEST(SpectrumShape, GatedNoiseMovesTheTopBars) {
  std::vector<PcmSample> frames = whiteNoise(4.0, -20.0, 8);
  const auto hit = static_cast<std::size_t>(0.12 * rate);
  for (std::size_t n = 0; n < frames.size() / 2; ++n) {
    if (n % hit >= static_cast<std::size_t>(0.03 * rate)) frames[2 * n] = frames[2 * n + 1] = 0;
  }
  EXPECT_GE(shapeOf(std::move(frames)).highBandSpread, 6.0);
}

// Tones every 25 Hz from 1 to 12 kHz, their power falling as 1/f: pink in
// the spectrum's terms, 3 dB less for every octave up.
TEST(SpectrumShape, PinkSpectrumFallsThreeDecibelsAnOctave) {
  std::vector<double> mix(static_cast<std::size_t>(1.5 * rate), 0.0);
  std::mt19937 random(9);
  std::uniform_real_distribution<double> phase(0.0, 2.0 * std::numbers::pi);
  for (double hz = 1000.0; hz <= 12000.0; hz += 25.0) {
    const double amplitude = 30.0 * std::sqrt(1000.0 / hz);
    const double start = phase(random);
    const double step = 2.0 * std::numbers::pi * hz / rate;
    for (std::size_t n = 0; n < mix.size(); ++n) {
      mix[n] += amplitude * std::sin(start + step * static_cast<double>(n));
    }
  }
  std::vector<PcmSample> frames = silence(1.5);
  for (std::size_t n = 0; n < mix.size(); ++n) {
    frames[2 * n] = frames[2 * n + 1] = static_cast<PcmSample>(std::lround(mix[n]));
  }
  EXPECT_NEAR(shapeOf(std::move(frames)).slope, -3.0, 0.4);
}

// The one-pass reading gives, reading by reading, exactly what the audio
// layer's offline analysis gives for that moment, round the repeat too.
TEST(Liveliness, ReadingsInOnePassAreTheAnalysisAtEachMoment) {
  std::vector<PcmSample> frames = whiteNoise(0.6, -20.0, 10);
  addSine(frames, 440.0, -10.0, 0.2, 0.4);
  TrackAnalysis track(std::move(frames));
  SpectrumArray expected{};
  int reading = 0;
  forEachReading(track, 0.9, 0.011, [&](const SpectrumArray& spectrum) {
    track.spectrumAt(reading * 0.011, expected);
    for (std::size_t k = 0; k < spectrum.size(); ++k) {
      ASSERT_EQ(spectrum[k].load(), expected[k].load()) << "reading " << reading << " entry " << k;
    }
    ++reading;
  });
  EXPECT_EQ(reading, 82);
}

// A loud 60 Hz tone for the first second raises the bass bar to full
// height; a loud 200 Hz tone in the next second fills the second bar only.
TEST(Liveliness, CountsTheBassBarAtFullHeight) {
  std::vector<PcmSample> frames = silence(2.0);
  addSine(frames, 60.0, -6.0, 0.0, 1.0);
  addSine(frames, 200.0, -6.0, 1.0, 2.0);
  TrackAnalysis track(std::move(frames));
  const Liveliness figures = measureLiveliness(track, 2.0);
  EXPECT_NEAR(figures.firstColumnFull, 0.5, 0.03);
  EXPECT_FALSE(meetsGoals(figures));
}

}  // namespace
}  // namespace vantrel::compose
