// The show's frame code for the browser: the page hands in the table of the
// bars with the music file it was made from, and asks for frames; everything
// drawn is computed here, by the same code as the native demo, so the page
// shows the very same cells.

#include <emscripten/emscripten.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audio/track_analysis.hpp"
#include "driver/demo.hpp"
#include "picture/console_picture.hpp"
#include "web/bar_table.hpp"

namespace vantrel {

namespace {

struct WebShow {
  Demo demo;
  // The spectrum the bars are drawn from: rebuilt from the table's heights
  // for each frame, silence while there is no table.
  SpectrumArray spectrum{};
  std::optional<BarTable> bars;
  // What the page hands in, until vantrel_bars_ready reads it.
  std::vector<std::uint8_t> incomingTable;
  std::vector<std::uint8_t> incomingMusicFile;
  std::string barsProblem;
  bool ended = false;
  // Red, green, blue and opaque alpha a pixel, as a canvas's ImageData
  // holds them, so the page hands the memory to the canvas as it is.
  std::vector<std::uint32_t> picture =
      std::vector<std::uint32_t>(screenPixelWidth * screenPixelHeight);
  // The cells the picture shows; none until it is first drawn.
  CellScreen pictured;
  bool pictureDrawn = false;
  // The cells drawn anew by the last paint: the first and last row (from 0)
  // and column (from 1) of the rectangle around them, or all 0 when none were.
  std::array<std::int32_t, 4> changedCells{};
};

// A console colour as one RGBA pixel in memory (WebAssembly is little-endian).
constexpr std::uint32_t rgbaPixel(Rgb colour) {
  const auto channel = [](std::uint8_t value, unsigned shift) {
    return static_cast<std::uint32_t>(value) << shift;
  };
  return channel(colour.red, 0) | channel(colour.green, 8) | channel(colour.blue, 16) | 0xFF000000U;
}

void drawCell(const Cell& cell, const GlyphTable& glyphTable, std::uint32_t* topLeft) {
  const std::uint32_t foreground = rgbaPixel(consolePalette[cell.attribute & 0x0FU]);
  const std::uint32_t background = rgbaPixel(consolePalette[(cell.attribute >> 4U) & 0x0FU]);
  const int code = glyphCode(cell);
  for (int y = 0; y < glyphPixelHeight; ++y) {
    std::uint32_t* pixel = topLeft + y * screenPixelWidth;
    for (int x = 0; x < glyphPixelWidth; ++x) {
      pixel[x] = glyphPixelLit(glyphTable, code, x, y) ? foreground : background;
    }
  }
}

// Brings the frame tool's picture of the cells up to date, pixel for pixel,
// drawing only the cells that differ from those it shows, and notes the
// rectangle around them.
void paintChanges(WebShow& web) {
  const CellScreen& cells = web.demo.cellScreen;
  std::int32_t top = -1;
  std::int32_t bottom = -1;
  std::int32_t left = screenColumns + 1;
  std::int32_t right = 0;
  for (int row = 0; row < screenRows; ++row) {
    for (int column = 1; column <= screenColumns; ++column) {
      const int index = cellIndex(row, column);
      if (web.pictureDrawn && cells[index] == web.pictured[index]) continue;
      web.pictured[index] = cells[index];
      drawCell(cells[index], web.demo.glyphTable,
               web.picture.data() + row * glyphPixelHeight * screenPixelWidth +
                   (column - 1) * glyphPixelWidth);
      if (top < 0) top = row;
      bottom = row;
      left = std::min(left, column);
      right = std::max(right, column);
    }
  }
  web.changedCells = top < 0 ? std::array<std::int32_t, 4>{} : std::array{top, left, bottom, right};
  web.pictureDrawn = true;
}

// One show per page; start() makes it anew.
std::unique_ptr<WebShow> show;

}  // namespace

}  // namespace vantrel

using vantrel::show;

extern "C" {

// Starts a show: the message and font, the particles spawned from `seed` and
// warmed up, empty bars until a table arrives. Keeps the table already read.
EMSCRIPTEN_KEEPALIVE void vantrel_start(std::uint32_t seed) {
  std::optional<vantrel::BarTable> bars;
  if (show) bars = std::move(show->bars);
  show = std::make_unique<vantrel::WebShow>();
  show->bars = std::move(bars);
  vantrel::prepareScroller(show->demo);
  vantrel::prepareParticles(show->demo, seed);
  show->demo.spectrum = show->spectrum.data();
}

// Room for the table of the bars, `bytes` long, for the page to fill before
// calling vantrel_bars_ready.
EMSCRIPTEN_KEEPALIVE std::uint8_t* vantrel_bar_table_buffer(std::uint32_t bytes) {
  show->incomingTable.assign(bytes, 0);
  return show->incomingTable.data();
}

// Room for the music file the page plays, `bytes` long: the table must have
// been made from it.
EMSCRIPTEN_KEEPALIVE std::uint8_t* vantrel_music_file_buffer(std::uint32_t bytes) {
  show->incomingMusicFile.assign(bytes, 0);
  return show->incomingMusicFile.data();
}

// Reads the table handed in. Null when the bars now follow it; otherwise why
// not (a few words), and the bars stay empty.
EMSCRIPTEN_KEEPALIVE const char* vantrel_bars_ready() {
  show->bars =
      vantrel::readBarTable(show->incomingTable, show->incomingMusicFile, show->barsProblem);
  show->incomingTable = {};
  show->incomingMusicFile = {};
  return show->bars ? nullptr : show->barsProblem.c_str();
}

// Frames of one pass of the music as the native demo decodes it (0 without
// a table): a browser's own decoding of the same file should come to as many.
EMSCRIPTEN_KEEPALIVE std::uint32_t vantrel_music_frames() {
  return show->bars ? show->bars->musicFrames : 0;
}

// Draws frame `frame` (from 1) with the bars as they stand in the music then.
// Returns 0 once the message has run out (that frame is not shown).
EMSCRIPTEN_KEEPALIVE int vantrel_draw_frame(int frame) {
  if (show->ended) return 0;
  if (show->bars) {
    const std::int64_t block = vantrel::blockDeliveredBy(vantrel::musicSecondsAtFrame(frame));
    vantrel::spectrumOfBarHeights(show->bars->heightsAfterBlock(block), show->spectrum);
  }
  show->ended = vantrel::drawFrame(show->demo) == vantrel::FrameOutcome::messageEnded;
  return show->ended ? 0 : 1;
}

// The 4000 cells, each a 16-bit character and a 16-bit attribute.
EMSCRIPTEN_KEEPALIVE const vantrel::Cell* vantrel_cells() {
  return show->demo.cellScreen.data();
}

// The cells drawn as the frame tool draws its pictures: 640 x 600 pixels,
// 8 x 12 a cell, in the 16 console colours, four bytes (red, green, blue,
// alpha 255) a pixel, row by row from the top. Stays in place for the show.
EMSCRIPTEN_KEEPALIVE const std::uint32_t* vantrel_picture() {
  return show->picture.data();
}

// Brings the picture up to the cells last drawn, the whole of it after a
// start. Returns the rectangle of cells whose pixels changed: its top row
// (from 0), left column (from 1), bottom row and right column; all 0 when
// none did.
EMSCRIPTEN_KEEPALIVE const std::int32_t* vantrel_paint_changes() {
  vantrel::paintChanges(*show);
  return show->changedCells.data();
}

}  // extern "C"
