#include "music/track_report.hpp"

#include <algorithm>
#include <cmath>
#include <cstdarg>

#include "music/liveliness.hpp"
#include "music/score.hpp"
#include "music/track_measures.hpp"

namespace vantrel::compose {

namespace {

std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* pattern, ...) {
  char text[160];
  va_list values;
  va_start(values, pattern);
  std::vsnprintf(text, sizeof text, pattern, values);
  va_end(values);
  return text;
}

double secondsOf(std::int64_t frames) {
  return static_cast<double>(frames) / pcmRate;
}

FrameSpan framesOf(const Section& section) {
  return {section.first * barFrames, section.bars * barFrames};
}

void addLengthFigures(std::vector<Figure>& figures, const TrackAnalysis& track) {
  const auto frames = static_cast<std::int64_t>(track.frameCount());
  const double seconds = secondsOf(frames);
  figures.push_back({"length", format("%.2f s (the show: %.2f s)", seconds, showSeconds),
                     "within 1 s of the show", std::abs(seconds - showSeconds) <= 1.0});
  // The sections below are read at the score's bar times.
  figures.push_back({"frames",
                     format("%lld (the score: %lld)", static_cast<long long>(frames),
                            static_cast<long long>(trackFrames)),
                     "as the score", frames == trackFrames});
  figures.push_back({"final chord",
                     format("lands at %.2f s, rings to the end at %.2f s",
                            secondsOf(cadenceBar * barFrames), secondsOf(trackFrames)),
                     "", true});
}

void addLoudnessFigures(std::vector<Figure>& figures, const TrackAnalysis& track) {
  const std::vector<PcmSample>& frames = track.frames();
  const Loudness loudness = measureLoudness(frames);
  const int clipped = clippedSamples(frames);
  figures.push_back({"integrated loudness", format("%.1f LUFS", loudness.integrated), "-12 to -10",
                     loudness.integrated >= -12.0 && loudness.integrated <= -10.0});
  figures.push_back({"loudness range", format("%.1f LU", loudness.range), "5 to 8",
                     loudness.range >= 5.0 && loudness.range <= 8.0});
  figures.push_back({"true peak", format("%+.2f dBTP", loudness.truePeak), "at most -1.0",
                     loudness.truePeak <= -1.0});
  figures.push_back({"sample peak", format("%+.2f dBFS", loudness.samplePeak), "", true});
  figures.push_back({"samples at 0.999 or more", format("%d", clipped), "none", clipped == 0});

  const double main = stretchLoudness(frames, framesOf(sectionOf(Part::main)));
  for (const Section& section : trackForm) {
    const double level = stretchLoudness(frames, framesOf(section));
    Figure figure{std::string(section.name) + " loudness",
                  format("%.1f LUFS (%+.1f LU against the main part)", level, level - main), "",
                  true};
    if (section.part == Part::breakdown) {
      figure.goal = "at least 4 LU below the main part";
      figure.met = level <= main - 4.0;
    } else if (section.part == Part::finale) {
      figure.goal = "at least 1 LU above the main part";
      figure.met = level >= main + 1.0;
    }
    figures.push_back(figure);
  }
}

void addArrangementFigures(std::vector<Figure>& figures, const TrackAnalysis& track,
                           const SpectrumShape& shape) {
  const Section& finale = sectionOf(Part::finale);
  const Repetition repetition =
      worstRepetition(track.frames(), barFrames, finale.first, finale.bars);
  figures.push_back({"finale repetition (250 Hz - 2 kHz)",
                     format("%.3f, bar %d against bar %d (bars from 0)", repetition.correlation,
                            repetition.bar, repetition.earlierBar),
                     "at most 0.9 against any earlier bar", repetition.correlation <= 0.9});

  figures.push_back({"3-10 kHz bars' level over time",
                     format("%.1f dB standard deviation", shape.highBandSpread), "at least 6 dB",
                     shape.highBandSpread >= 6.0});
  figures.push_back({"spectral slope 2-10 kHz", format("%+.2f dB per octave", shape.slope),
                     "-2.5 or steeper", shape.slope <= -2.5});
}

void addLivelinessFigures(std::vector<Figure>& figures, const Liveliness& live) {
  figures.push_back({"readings with 60+ of 80 bars", format("%.1f%%", 100.0 * live.wideFrames),
                     "at least 60%", live.wideFrames >= 0.6});
  figures.push_back({"median bar that shows", format("%.0f cells", live.medianBar), "3 to 20",
                     live.medianBar >= 3 && live.medianBar <= 20});
  figures.push_back({"bars at full height", format("%.2f%%", 100.0 * live.fullBars), "at most 3%",
                     live.fullBars <= 0.03});
  figures.push_back({"least lively of columns 1-5", format("%.1f%%", 100.0 * live.lowColumns()),
                     "at least 30%", live.lowColumns() >= 0.3});
  figures.push_back({"least lively of columns 50-80", format("%.1f%%", 100.0 * live.highColumns()),
                     "at least 30%", live.highColumns() >= 0.3});
  figures.push_back({"column 1 at full height", format("%.2f%%", 100.0 * live.firstColumnFull),
                     "at most 5%", live.firstColumnFull <= 0.05});
}

}  // namespace

std::vector<Figure> reportOn(const TrackAnalysis& track) {
  // One pass through the track's spectrum readings serves both tallies.
  SpectrumShapeTally shape;
  LivelinessTally live;
  forEachReading(track, secondsOf(static_cast<std::int64_t>(track.frameCount())), 0.011,
                 [&](const SpectrumArray& spectrum) {
                   shape.add(spectrum);
                   live.add(spectrum);
                 });
  std::vector<Figure> figures;
  addLengthFigures(figures, track);
  addLoudnessFigures(figures, track);
  addArrangementFigures(figures, track, shape.result());
  addLivelinessFigures(figures, live.result());
  return figures;
}

bool allGoalsMet(const std::vector<Figure>& figures) {
  return std::all_of(figures.begin(), figures.end(), [](const Figure& f) { return f.met; });
}

void printReport(std::FILE* out, const std::vector<Figure>& figures) {
  for (const Figure& figure : figures) {
    const char* verdict = figure.goal.empty() ? "" : (figure.met ? "ok" : "MISSED");
    std::fprintf(out, "%-36s %-50s %-36s %s\n", figure.name.c_str(), figure.value.c_str(),
                 figure.goal.c_str(), verdict);
  }
  std::fprintf(out, "%s\n", allGoalsMet(figures) ? "all goals met" : "GOALS MISSED");
}

}  // namespace vantrel::compose
