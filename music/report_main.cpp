// vantrel-track-report: whether a track fits the show, figure by figure,
// measured on the decoded file as the demo plays it; and a spectrogram of it.
//
//   vantrel-track-report TRACK.mp3                   exit 0: every goal met, 1: not
//   vantrel-track-report TRACK.mp3 --spectrogram OUT.png
//
// tools/make-track runs it after every render; ./test reruns it on
// the committed track.

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "music/score.hpp"
#include "music/spectrogram.hpp"
#include "music/track_report.hpp"

namespace {

constexpr const char* usage = "usage: vantrel-track-report TRACK.mp3 [--spectrogram OUT.png]\n";

int drawSpectrogram(const vantrel::TrackAnalysis& track, const char* path) {
  std::vector<std::int64_t> starts;
  for (const vantrel::compose::Section& section : vantrel::compose::trackForm) {
    if (section.first > 0) starts.push_back(section.first * vantrel::compose::barFrames);
  }
  std::string error;
  if (!vantrel::compose::writeSpectrogram(path, track.frames(), starts, error)) {
    std::fprintf(stderr, "vantrel-track-report: cannot write %s: %s\n", path, error.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const bool spectrogram = argc == 4 && std::string_view(argv[2]) == "--spectrogram";
  if ((argc != 2 && !spectrogram) || argv[1][0] == '-') {
    std::fputs(usage, stderr);
    return 2;
  }
  vantrel::TrackAnalysis track(argv[1]);
  if (!track.hasAudio()) {
    std::fprintf(stderr, "vantrel-track-report: no audio in %s\n", argv[1]);
    return 1;
  }
  if (spectrogram) return drawSpectrogram(track, argv[3]);
  const std::vector<vantrel::compose::Figure> figures = vantrel::compose::reportOn(track);
  std::printf("%s\n", argv[1]);
  vantrel::compose::printReport(stdout, figures);
  return vantrel::compose::allGoalsMet(figures) ? 0 : 1;
}
