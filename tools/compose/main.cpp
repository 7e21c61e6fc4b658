// vantrel-compose: renders vantrel's track, "Blue Noise", as a WAV file, or
// reports how lively an encoded track makes the spectrum bars.
//
//   vantrel-compose OUT.wav
//   vantrel-compose --measure TRACK.mp3
//
// tools/compose/make-track runs both around lame.

#include <cstdio>
#include <string_view>

#include "tools/compose/liveliness.hpp"
#include "tools/compose/score.hpp"
#include "tools/compose/wav_file.hpp"

namespace {

constexpr const char* usage =
    "usage: vantrel-compose OUT.wav | vantrel-compose --measure TRACK.mp3\n";

int measure(const char* path) {
  using namespace vantrel;
  TrackAnalysis track(path);
  if (!track.hasAudio()) {
    std::fprintf(stderr, "vantrel-compose: no audio in %s\n", path);
    return 1;
  }
  const double seconds = static_cast<double>(track.frameCount()) / pcmRate;
  const compose::Liveliness figures = compose::measureLiveliness(track, seconds);
  std::printf("%s: %.2f s\n%s%s\n", path, seconds, compose::describe(figures).c_str(),
              compose::meetsGoals(figures) ? "all goals met" : "GOALS NOT MET");
  return compose::meetsGoals(figures) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string_view(argv[1]) == "--measure") return measure(argv[2]);
  if (argc != 2 || argv[1][0] == '-') {
    std::fputs(usage, stderr);
    return 2;
  }
  if (!vantrel::compose::writeStereoWav(argv[1], vantrel::compose::composeTrack())) {
    std::fprintf(stderr, "vantrel-compose: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
