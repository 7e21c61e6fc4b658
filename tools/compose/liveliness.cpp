#include "tools/compose/liveliness.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace vantrel::compose {

int barHeight(const SpectrumArray& spectrum, int column) {
  const auto first = static_cast<std::size_t>(3 * column - 2);
  const double mean = (static_cast<double>(spectrum[first].load(std::memory_order_relaxed)) +
                       spectrum[first + 1].load(std::memory_order_relaxed) +
                       spectrum[first + 2].load(std::memory_order_relaxed)) /
                      3.0;
  if (!std::isfinite(mean)) return fullBar;
  return static_cast<int>(std::clamp(std::floor(500.0 * mean), 0.0, static_cast<double>(fullBar)));
}

double Liveliness::lowColumns() const {
  return *std::min_element(showing.begin(), showing.begin() + 5);
}

double Liveliness::highColumns() const {
  return *std::min_element(showing.begin() + 49, showing.end());
}

Liveliness measureLiveliness(TrackAnalysis& track, double seconds, double interval) {
  Liveliness figures;
  SpectrumArray spectrum{};
  std::vector<int> shownHeights;
  int wide = 0;
  int full = 0;
  int firstFull = 0;
  std::array<int, barColumns> shown{};
  for (int reading = 0; reading * interval < seconds; ++reading) {
    track.spectrumAt(reading * interval, spectrum);
    int showingNow = 0;
    for (int column = 1; column <= barColumns; ++column) {
      const int height = barHeight(spectrum, column);
      if (height == 0) continue;
      ++showingNow;
      ++shown[static_cast<std::size_t>(column - 1)];
      shownHeights.push_back(height);
      full += height == fullBar ? 1 : 0;
      firstFull += column == 1 && height == fullBar ? 1 : 0;
    }
    wide += showingNow >= 60 ? 1 : 0;
    ++figures.readings;
  }
  const double readings = std::max(figures.readings, 1);
  figures.wideFrames = wide / readings;
  figures.fullBars = full / (readings * barColumns);
  figures.firstColumnFull = firstFull / readings;
  for (std::size_t c = 0; c < shown.size(); ++c) figures.showing[c] = shown[c] / readings;
  if (!shownHeights.empty()) {
    const auto middle = shownHeights.begin() + static_cast<std::ptrdiff_t>(shownHeights.size() / 2);
    std::nth_element(shownHeights.begin(), middle, shownHeights.end());
    figures.medianBar = *middle;
  }
  return figures;
}

bool meetsGoals(const Liveliness& figures) {
  return figures.wideFrames >= 0.6 && figures.medianBar >= 3 && figures.medianBar <= 20 &&
         figures.fullBars <= 0.03 && figures.lowColumns() >= 0.3 && figures.highColumns() >= 0.3 &&
         figures.firstColumnFull <= 0.05;
}

std::string describe(const Liveliness& figures) {
  char text[480];
  std::snprintf(text, sizeof text,
                "readings %d (one per 11 ms)\n"
                "frames with 60+ of 80 bars showing: %.1f%% (goal >= 60%%)\n"
                "median bar that shows: %.0f cells (goal 3-20)\n"
                "bars at full height: %.2f%% (goal <= 3%%)\n"
                "least lively of columns 1-5: %.1f%%, of columns 50-80: %.1f%% (goal >= 30%%)\n"
                "column 1 at full height: %.2f%% (goal <= 5%%)\n",
                figures.readings, 100.0 * figures.wideFrames, figures.medianBar,
                100.0 * figures.fullBars, 100.0 * figures.lowColumns(),
                100.0 * figures.highColumns(), 100.0 * figures.firstColumnFull);
  return text;
}

}  // namespace vantrel::compose
