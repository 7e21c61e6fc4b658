// vantrel-track-wav MP3 WAV: decodes MP3 with the audio layer's decoder (the
// demo's own, encoder delay and padding trimmed) and writes every frame to
// WAV, 44.1 kHz stereo 16-bit.

#include <cstdio>

#include "audio/track_analysis.hpp"
#include "music/wav_file.hpp"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: vantrel-track-wav MP3 WAV\n", stderr);
    return 2;
  }
  const std::vector<vantrel::PcmSample> frames = vantrel::decodeWholeTrack(argv[1]);
  if (frames.empty()) {
    std::fprintf(stderr, "vantrel-track-wav: no playable audio in '%s'\n", argv[1]);
    return 1;
  }
  if (!vantrel::compose::writeStereoWav(argv[2], frames)) {
    std::fprintf(stderr, "vantrel-track-wav: cannot write '%s'\n", argv[2]);
    return 1;
  }
  return 0;
}
