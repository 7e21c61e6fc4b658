// vantrel-compose: renders vantrel's track, "Blue Noise", as a WAV file.
//
//   vantrel-compose OUT.wav
//
// tools/make-track runs it, encodes the WAV and reports on the result.

#include <cstdio>

#include "music/score.hpp"
#include "music/wav_file.hpp"

int main(int argc, char** argv) {
  if (argc != 2 || argv[1][0] == '-') {
    std::fputs("usage: vantrel-compose OUT.wav\n", stderr);
    return 2;
  }
  if (!vantrel::compose::writeStereoWav(argv[1], vantrel::compose::composeTrack())) {
    std::fprintf(stderr, "vantrel-compose: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
