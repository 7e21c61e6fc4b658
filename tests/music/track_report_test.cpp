// The report on the shipped track turns red when the track clips, drifts
// from the show's length, flattens its arc or repeats itself in the finale.

#include "music/track_report.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "music/score.hpp"

namespace vantrel::compose {
namespace {

const std::vector<PcmSample>& shippedFrames() {
  static const TrackAnalysis decoded(std::filesystem::path{VANTREL_SHIPPED_TRACK});
  return decoded.frames();
}

std::set<std::string> missedGoals(std::vector<PcmSample> frames) {
  TrackAnalysis track(std::move(frames));
  std::set<std::string> missed;
  for (const Figure& figure : reportOn(track)) {
    if (!figure.met) missed.insert(figure.name);
  }
  return missed;
}

std::size_t sampleOfBar(int bar) {
  return static_cast<std::size_t>(bar * barFrames) * pcmChannels;
}

// Copies `bars` bars from `from` over the bars from `to`.
void copyBars(std::vector<PcmSample>& frames, int from, int to, int bars) {
  std::copy(frames.begin() + static_cast<std::ptrdiff_t>(sampleOfBar(from)),
            frames.begin() + static_cast<std::ptrdiff_t>(sampleOfBar(from + bars)),
            frames.begin() + static_cast<std::ptrdiff_t>(sampleOfBar(to)));
}

TEST(TrackReport, ClippingTurnsThePeaksRed) {
  std::vector<PcmSample> louder = shippedFrames();
  for (PcmSample& sample : louder) {
    sample = static_cast<PcmSample>(std::clamp(2 * static_cast<int>(sample), -32768, 32767));
  }
  const std::set<std::string> missed = missedGoals(std::move(louder));
  EXPECT_TRUE(missed.contains("true peak"));
  EXPECT_TRUE(missed.contains("samples at 0.999 or more"));
  EXPECT_TRUE(missed.contains("integrated loudness"));
}

TEST(TrackReport, TwoBarsTooLongMissesTheShow) {
  std::vector<PcmSample> longer = shippedFrames();
  longer.insert(longer.end(), longer.begin() + static_cast<std::ptrdiff_t>(sampleOfBar(20)),
                longer.begin() + static_cast<std::ptrdiff_t>(sampleOfBar(22)));
  EXPECT_EQ(missedGoals(std::move(longer)), (std::set<std::string>{"length", "frames"}));
}

TEST(TrackReport, ABreakAsLoudAsTheMainPartFlattensTheArc) {
  std::vector<PcmSample> flat = shippedFrames();
  const Section& breakdown = sectionOf(Part::breakdown);
  copyBars(flat, sectionOf(Part::main).first, breakdown.first, breakdown.bars);
  EXPECT_TRUE(missedGoals(std::move(flat)).contains("break loudness"));
}

TEST(TrackReport, AFinaleThatRepeatsTheMainPartIsCaught) {
  std::vector<PcmSample> repeated = shippedFrames();
  const Section& finale = sectionOf(Part::finale);
  copyBars(repeated, sectionOf(Part::main).first, finale.first, finale.bars);
  const std::set<std::string> missed = missedGoals(std::move(repeated));
  EXPECT_TRUE(missed.contains("finale repetition (250 Hz - 2 kHz)"));
  EXPECT_TRUE(missed.contains("finale loudness"));
}

}  // namespace
}  // namespace vantrel::compose
