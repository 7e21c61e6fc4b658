#pragma once
// The report on a decoded track: every figure that says whether it fits the
// show, each with its goal. make-track prints it after every render and the
// tests rerun it on the committed track.

#include <cstdio>
#include <string>
#include <vector>

#include "audio/track_analysis.hpp"

namespace vantrel::compose {

// The scroller's message ends the show in frame 5296, and a frame takes
// about 11 ms (drawing, then the frame wait of 10.01 ms).
inline constexpr int showFrames = 5296;
inline constexpr double showSeconds = showFrames * 0.011;

struct Figure {
  std::string name;
  std::string value;
  std::string goal;  // empty: shown for information, no goal
  bool met = true;
};

std::vector<Figure> reportOn(const TrackAnalysis& track);

bool allGoalsMet(const std::vector<Figure>& figures);

void printReport(std::FILE* out, const std::vector<Figure>& figures);

}  // namespace vantrel::compose
