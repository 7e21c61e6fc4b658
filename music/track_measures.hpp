#pragma once
// Measures of a decoded track that say whether it is mastered and arranged
// for the show: loudness, loudness range and true peak after EBU R128 (with
// libebur128), clipped samples, how closely the finale repeats earlier bars,
// how much the top bars move and how the top of the spectrum falls.

#include <cstdint>
#include <span>
#include <vector>

#include "audio/pcm_format.hpp"
#include "audio/track_analysis.hpp"

namespace vantrel::compose {

// A stretch of the track in frames.
struct FrameSpan {
  std::int64_t first = 0;
  std::int64_t count = 0;
};

struct Loudness {
  double integrated = 0;  // LUFS
  double range = 0;       // LU
  double truePeak = 0;    // dBTP, the higher of the two channels
  double samplePeak = 0;  // dBFS, the higher of the two channels
};

// `frames` interleaved stereo at 44.1 kHz.
Loudness measureLoudness(std::span<const PcmSample> frames);

// The integrated loudness (LUFS) of one stretch, measured on its own.
double stretchLoudness(std::span<const PcmSample> frames, FrameSpan stretch);

// Samples whose size is at least 0.999 of full scale: those an integer
// output plays clipped or as good as clipped.
int clippedSamples(std::span<const PcmSample> frames);

struct Repetition {
  double correlation = 0;  // the highest found
  int bar = 0;             // the bar of the later stretch
  int earlierBar = 0;      // the bar it correlates with
};

// Compares each bar in [firstBar, firstBar + bars) with every bar before it:
// the correlation of the mono signal, band-passed to 250 Hz - 2 kHz (where
// the chords and the melody sit), sample by sample over the bar.
Repetition worstRepetition(std::span<const PcmSample> frames, std::int64_t barFrames, int firstBar,
                           int bars);

struct SpectrumShape {
  double highBandSpread = 0;  // dB: standard deviation of the 3-10 kHz bars' level over time
  double slope = 0;           // dB per octave from 2 to 10 kHz, the whole track's average
};

// Gathers the spectrum's shape one reading at a time.
class SpectrumShapeTally {
 public:
  SpectrumShapeTally();
  void add(const SpectrumArray& spectrum);
  SpectrumShape result() const;

 private:
  std::vector<double> levels_;     // the 3-10 kHz bars' level of each reading, dB
  std::vector<double> meanPower_;  // per entry, summed over the readings
};

// Read like the bars read it: the audio layer's spectrum every `interval` s.
SpectrumShape measureSpectrumShape(const TrackAnalysis& track, double seconds,
                                   double interval = 0.011);

}  // namespace vantrel::compose
