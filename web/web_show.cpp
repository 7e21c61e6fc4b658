// The show's frame code for the browser: the page hands in the decoded music
// and asks for frames; everything drawn is computed here, by the same code as
// the native demo, so the page shows the very same cells.

#include <emscripten/emscripten.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "audio/track_analysis.hpp"
#include "driver/demo.hpp"
#include "tools/frames/console_picture.hpp"

namespace vantrel {

namespace {

struct WebShow {
  Demo demo;
  SpectrumArray spectrum{};
  std::vector<PcmSample> incomingMusic;
  std::unique_ptr<TrackAnalysis> track;
  bool ended = false;
  frames::RgbImage picture{frames::screenPixelWidth, frames::screenPixelHeight};
};

// One show per page; start() makes it anew.
std::unique_ptr<WebShow> show;

}  // namespace

}  // namespace vantrel

using vantrel::show;

extern "C" {

// Starts a show: the message and font, the particles spawned from `seed` and
// warmed up, silence until music arrives. Keeps the music already handed in.
EMSCRIPTEN_KEEPALIVE void vantrel_start(std::uint32_t seed) {
  std::unique_ptr<vantrel::TrackAnalysis> track;
  if (show) track = std::move(show->track);
  show = std::make_unique<vantrel::WebShow>();
  show->track = std::move(track);
  vantrel::prepareScroller(show->demo);
  vantrel::prepareParticles(show->demo, seed);
  show->demo.spectrum = show->spectrum.data();
}

// Room for `frames` interleaved stereo 16-bit frames at 44.1 kHz, for the
// page to fill before calling vantrel_music_ready.
EMSCRIPTEN_KEEPALIVE std::int16_t* vantrel_music_buffer(std::uint32_t frames) {
  show->incomingMusic.assign(static_cast<std::size_t>(frames) * vantrel::pcmChannels, 0);
  return show->incomingMusic.data();
}

// The music handed in becomes what the bars show.
EMSCRIPTEN_KEEPALIVE void vantrel_music_ready() {
  show->track = std::make_unique<vantrel::TrackAnalysis>(std::move(show->incomingMusic));
  show->incomingMusic = {};
}

// Draws frame `frame` (from 1) with the spectrum of the music as it stands
// then. Returns 0 once the message has run out (that frame is not shown).
EMSCRIPTEN_KEEPALIVE int vantrel_draw_frame(int frame) {
  if (show->ended) return 0;
  if (show->track) show->track->spectrumAt(vantrel::musicSecondsAtFrame(frame), show->spectrum);
  show->ended = vantrel::drawFrame(show->demo) == vantrel::FrameOutcome::messageEnded;
  return show->ended ? 0 : 1;
}

// The 4000 cells, each a 16-bit character and a 16-bit attribute.
EMSCRIPTEN_KEEPALIVE const vantrel::Cell* vantrel_cells() {
  return show->demo.cellScreen.data();
}

// The cells drawn as the frame tool draws its pictures: 640 x 600 pixels,
// 8 x 12 a cell, in the 16 console colours, three bytes (red, green, blue)
// a pixel, row by row from the top.
EMSCRIPTEN_KEEPALIVE const std::uint8_t* vantrel_picture() {
  vantrel::frames::drawCellScreen(show->demo.cellScreen, show->demo.glyphTable, show->picture);
  return show->picture.data();
}

}  // extern "C"
