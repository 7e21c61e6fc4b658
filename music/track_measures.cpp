#include "music/track_measures.hpp"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "music/dsp.hpp"
#include "music/liveliness.hpp"

namespace vantrel::compose {

namespace {

struct MeterDeleter {
  void operator()(ebur128_state* state) const { ebur128_destroy(&state); }
};
using Meter = std::unique_ptr<ebur128_state, MeterDeleter>;

Meter meterOf(std::span<const PcmSample> frames, int mode) {
  Meter meter(ebur128_init(pcmChannels, pcmRate, mode));
  if (meter) ebur128_add_frames_short(meter.get(), frames.data(), frames.size() / pcmChannels);
  return meter;
}

double decibelsOf(double linear) {
  return 20.0 * std::log10(std::max(linear, 1e-10));
}

// The louder channel's peak, read by `peakOf` (sample or true peak).
double loudestChannel(ebur128_state* meter, int (*peakOf)(ebur128_state*, unsigned, double*)) {
  double loudest = 0.0;
  for (unsigned channel = 0; channel < pcmChannels; ++channel) {
    double peak = 0.0;
    peakOf(meter, channel, &peak);
    loudest = std::max(loudest, peak);
  }
  return decibelsOf(loudest);
}

}  // namespace

Loudness measureLoudness(std::span<const PcmSample> frames) {
  const Meter meter = meterOf(frames, EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_TRUE_PEAK);
  Loudness loudness;
  if (!meter) return loudness;
  ebur128_loudness_global(meter.get(), &loudness.integrated);
  ebur128_loudness_range(meter.get(), &loudness.range);
  loudness.truePeak = loudestChannel(meter.get(), ebur128_true_peak);
  loudness.samplePeak = loudestChannel(meter.get(), ebur128_sample_peak);
  return loudness;
}

double stretchLoudness(std::span<const PcmSample> frames, FrameSpan stretch) {
  const auto first = static_cast<std::size_t>(std::max<std::int64_t>(stretch.first, 0));
  const std::size_t end =
      std::min(frames.size() / pcmChannels,
               first + static_cast<std::size_t>(std::max<std::int64_t>(stretch.count, 0)));
  if (end <= first) return -HUGE_VAL;
  const Meter meter =
      meterOf(frames.subspan(first * pcmChannels, (end - first) * pcmChannels), EBUR128_MODE_I);
  double loudness = -HUGE_VAL;
  if (meter) ebur128_loudness_global(meter.get(), &loudness);
  return loudness;
}

int clippedSamples(std::span<const PcmSample> frames) {
  constexpr double nearlyFull = 0.999 * 32768.0;
  return static_cast<int>(std::count_if(frames.begin(), frames.end(), [](PcmSample sample) {
    return std::abs(static_cast<double>(sample)) >= nearlyFull;
  }));
}

namespace {

// The mono signal through two Butterworth high-passes at 250 Hz and two
// low-passes at 2 kHz: fourth order on each side.
std::vector<float> chordBand(std::span<const PcmSample> frames) {
  constexpr double butterworth = std::numbers::sqrt2 / 2.0;
  std::array<Filter, 4> stages;
  stages[0].tune(250.0, butterworth);
  stages[1].tune(250.0, butterworth);
  stages[2].tune(2000.0, butterworth);
  stages[3].tune(2000.0, butterworth);
  std::vector<float> band(frames.size() / pcmChannels);
  for (std::size_t i = 0; i < band.size(); ++i) {
    double value = (frames[2 * i] + frames[2 * i + 1]) / 65536.0;
    value = stages[1].highPass(stages[0].highPass(value));
    value = stages[3].lowPass(stages[2].lowPass(value));
    band[i] = static_cast<float>(value);
  }
  return band;
}

double correlation(std::span<const float> a, std::span<const float> b) {
  double ab = 0.0;
  double aa = 0.0;
  double bb = 0.0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    ab += static_cast<double>(a[i]) * b[i];
    aa += static_cast<double>(a[i]) * a[i];
    bb += static_cast<double>(b[i]) * b[i];
  }
  return aa > 0.0 && bb > 0.0 ? ab / std::sqrt(aa * bb) : 0.0;
}

}  // namespace

Repetition worstRepetition(std::span<const PcmSample> frames, std::int64_t barFrames, int firstBar,
                           int bars) {
  const std::vector<float> band = chordBand(frames);
  const auto length = static_cast<std::size_t>(barFrames);
  const auto barOf = [&](int bar) {
    return std::span<const float>(band).subspan(static_cast<std::size_t>(bar) * length, length);
  };
  const auto barsInTrack = static_cast<int>(band.size() / length);
  Repetition worst{-1.0, firstBar, 0};
  for (int bar = firstBar; bar < std::min(firstBar + bars, barsInTrack); ++bar) {
    for (int earlier = 0; earlier < bar; ++earlier) {
      const double r = correlation(barOf(bar), barOf(earlier));
      if (r > worst.correlation) worst = {r, bar, earlier};
    }
  }
  return worst;
}

namespace {

constexpr double binHz = static_cast<double>(pcmRate) / static_cast<double>(analysisSize);

// The spectrum entries of the bars whose middle lies in 3-10 kHz: column c
// averages entries 3c-2 to 3c, so columns 24 to 77.
constexpr std::size_t highBandFirst = 3 * 24 - 2;
constexpr std::size_t highBandLast = 3 * 77;

double highBandLevel(const SpectrumArray& spectrum) {
  double power = 0.0;
  for (std::size_t k = highBandFirst; k <= highBandLast; ++k) {
    const double magnitude = spectrum[k].load(std::memory_order_relaxed);
    power += magnitude * magnitude;
  }
  // Silence counts as -100 dB rather than minus infinity.
  return 10.0 * std::log10(power / (highBandLast - highBandFirst + 1) + 1e-10);
}

double standardDeviation(const std::vector<double>& values) {
  if (values.empty()) return 0.0;
  double mean = 0.0;
  for (double v : values) mean += v;
  mean /= static_cast<double>(values.size());
  double squares = 0.0;
  for (double v : values) squares += (v - mean) * (v - mean);
  return std::sqrt(squares / static_cast<double>(values.size()));
}

// The level (dB) of the band of entries from `lowHz` to `highHz`, by power.
double bandLevel(const std::vector<double>& meanPower, double lowHz, double highHz) {
  double power = 0.0;
  int entries = 0;
  for (std::size_t k = 0; k < meanPower.size(); ++k) {
    const double hz = static_cast<double>(k) * binHz;
    if (hz < lowHz || hz >= highHz) continue;
    power += meanPower[k];
    ++entries;
  }
  return 10.0 * std::log10(power / std::max(entries, 1) + 1e-20);
}

// The least-squares line through the levels of the sixth-octave bands from
// 2 to 10 kHz, against their octave.
double slopePerOctave(const std::vector<double>& meanPower) {
  constexpr int bands = 15;  // centres 2 kHz x 2^(i/6): 2.0 to 10.1 kHz
  double sx = 0.0, sy = 0.0, sxx = 0.0, sxy = 0.0;
  for (int i = 0; i < bands; ++i) {
    const double octave = i / 6.0;
    const double centre = 2000.0 * std::exp2(octave);
    const double level =
        bandLevel(meanPower, centre / std::exp2(1.0 / 12), centre * std::exp2(1.0 / 12));
    sx += octave;
    sy += level;
    sxx += octave * octave;
    sxy += octave * level;
  }
  return (bands * sxy - sx * sy) / (bands * sxx - sx * sx);
}

}  // namespace

SpectrumShapeTally::SpectrumShapeTally() : meanPower_(spectrumSize, 0.0) {}

void SpectrumShapeTally::add(const SpectrumArray& spectrum) {
  levels_.push_back(highBandLevel(spectrum));
  for (std::size_t k = 0; k < meanPower_.size(); ++k) {
    const double magnitude = spectrum[k].load(std::memory_order_relaxed);
    meanPower_[k] += magnitude * magnitude;
  }
}

SpectrumShape SpectrumShapeTally::result() const {
  return {standardDeviation(levels_), slopePerOctave(meanPower_)};
}

SpectrumShape measureSpectrumShape(const TrackAnalysis& track, double seconds, double interval) {
  SpectrumShapeTally tally;
  forEachReading(track, seconds, interval, [&](const SpectrumArray& s) { tally.add(s); });
  return tally.result();
}

}  // namespace vantrel::compose
