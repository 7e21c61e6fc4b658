#include "music/liveliness.hpp"

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

void forEachReading(const TrackAnalysis& track, double seconds, double interval,
                    const std::function<void(const SpectrumArray&)>& visit) {
  SpectrumAnalyzer analyzer;
  SpectrumArray spectrum{};
  std::vector<PcmSample> block(blockFrames * pcmChannels);
  std::int64_t analysed = -1;  // the last block pushed through the analyser
  for (int reading = 0; reading * interval < seconds; ++reading) {
    const double frame = reading * interval * pcmRate;
    const auto due = static_cast<std::int64_t>(std::floor(frame / blockFrames));
    while (track.hasAudio() && analysed < due) {
      track.copyBlock(++analysed, block.data());
      analyzer.push(block.data(), blockFrames, spectrum);
    }
    visit(spectrum);
  }
}

void LivelinessTally::add(const SpectrumArray& spectrum) {
  int showingNow = 0;
  for (int column = 1; column <= barColumns; ++column) {
    const int height = barHeight(spectrum, column);
    if (height == 0) continue;
    ++showingNow;
    ++shown_[static_cast<std::size_t>(column - 1)];
    shownHeights_.push_back(height);
    full_ += height == fullBar ? 1 : 0;
    firstFull_ += column == 1 && height == fullBar ? 1 : 0;
  }
  wide_ += showingNow >= 60 ? 1 : 0;
  ++readings_;
}

Liveliness LivelinessTally::result() {
  Liveliness figures;
  figures.readings = readings_;
  const double readings = std::max(readings_, 1);
  figures.wideFrames = wide_ / readings;
  figures.fullBars = full_ / (readings * barColumns);
  figures.firstColumnFull = firstFull_ / readings;
  for (std::size_t c = 0; c < shown_.size(); ++c) figures.showing[c] = shown_[c] / readings;
  if (!shownHeights_.empty()) {
    const auto middle =
        shownHeights_.begin() + static_cast<std::ptrdiff_t>(shownHeights_.size() / 2);
    std::nth_element(shownHeights_.begin(), middle, shownHeights_.end());
    figures.medianBar = *middle;
  }
  return figures;
}

Liveliness measureLiveliness(const TrackAnalysis& track, double seconds, double interval) {
  LivelinessTally tally;
  forEachReading(track, seconds, interval, [&](const SpectrumArray& s) { tally.add(s); });
  return tally.result();
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
