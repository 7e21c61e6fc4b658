#pragma once
// How lively a track makes the demo's 80 spectrum bars, read with the audio
// layer's own analysis at the frame loop's pace (one reading every 11 ms).
// A bar is as high as the bars draw it: floor(500 x the mean of entries
// 3c-2, 3c-1 and 3c) cells, from 0 to 50.

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "audio/track_analysis.hpp"

namespace vantrel::compose {

inline constexpr int barColumns = 80;
inline constexpr int fullBar = 50;

struct Liveliness {
  int readings = 0;
  double wideFrames = 0;                     // share of readings with 60 or more bars showing
  double medianBar = 0;                      // median height of the bars that show
  double fullBars = 0;                       // share of all bars at full height
  std::array<double, barColumns> showing{};  // per column, share of readings it shows
  double firstColumnFull = 0;                // share of readings with the bass bar at full height
  double lowColumns() const;                 // the least lively of columns 1-5
  double highColumns() const;                // the least lively of columns 50-80
};

int barHeight(const SpectrumArray& spectrum, int column);

// Calls `visit` with the spectrum as the live layer holds it at 0, interval,
// 2 x interval, ... s up to `seconds`: what track.spectrumAt gives, worked
// out in one pass through the track, each block analysed once.
void forEachReading(const TrackAnalysis& track, double seconds, double interval,
                    const std::function<void(const SpectrumArray&)>& visit);

// Gathers the liveliness one reading at a time.
class LivelinessTally {
 public:
  void add(const SpectrumArray& spectrum);
  Liveliness result();

 private:
  int readings_ = 0;
  int wide_ = 0;
  int full_ = 0;
  int firstFull_ = 0;
  std::array<int, barColumns> shown_{};
  std::vector<int> shownHeights_;
};

Liveliness measureLiveliness(const TrackAnalysis& track, double seconds, double interval = 0.011);

// The goals: 60% wide frames, median 3-20 cells, at most 3% full bars,
// columns 1-5 and 50-80 each showing in 30% of readings, and column 1 at
// full height in at most 5% of readings.
bool meetsGoals(const Liveliness& figures);

std::string describe(const Liveliness& figures);

}  // namespace vantrel::compose
