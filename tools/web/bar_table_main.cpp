// vantrel-bar-table MUSIC TABLE: writes the table of the bars (web/bar_table.hpp)
// for the whole show with the music file MUSIC, as the native demo analyses
// it: its own decoder (encoder delay and padding trimmed), its own spectrum.

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "audio/track_analysis.hpp"
#include "driver/demo.hpp"
#include "web/bar_table.hpp"

namespace {

std::vector<std::uint8_t> fileBytes(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The last block that any frame of the whole show reads its bars after.
std::int64_t lastBlockOfTheShow() {
  const auto demo = std::make_unique<vantrel::Demo>();
  vantrel::prepareScroller(*demo);
  const int lastFrame = vantrel::wholeShowFrames(demo->scroller);
  return vantrel::blockDeliveredBy(vantrel::musicSecondsAtFrame(lastFrame));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: vantrel-bar-table MUSIC TABLE\n", stderr);
    return 2;
  }
  const std::vector<std::uint8_t> music = fileBytes(argv[1]);
  vantrel::TrackAnalysis track{vantrel::decodeWholeTrack(music)};
  if (!track.hasAudio()) {
    std::fprintf(stderr, "vantrel-bar-table: no playable audio in '%s'\n", argv[1]);
    return 1;
  }
  const vantrel::BarTable table = vantrel::barTableOf(track, lastBlockOfTheShow());
  const std::vector<std::uint8_t> file = vantrel::barTableFile(table, music);
  std::ofstream out(argv[2], std::ios::binary);
  out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  if (!out.flush()) {
    std::fprintf(stderr, "vantrel-bar-table: cannot write '%s'\n", argv[2]);
    return 1;
  }
  return 0;
}
