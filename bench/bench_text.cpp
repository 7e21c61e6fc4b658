// The text subsystem's costs: decoding the font at start-up and one frame of
// the scroller.

#include <benchmark/benchmark.h>

#include "text/glyph_table.hpp"
#include "text/message.hpp"
#include "text/scroller.hpp"

namespace vantrel {
namespace {

void BM_LoadGlyphTable(benchmark::State& state) {
  GlyphTable table{};
  for (auto _ : state) {
    loadGlyphTable(table);
    benchmark::DoNotOptimize(table);
  }
}
BENCHMARK(BM_LoadGlyphTable);

// One scroller frame, averaged over the moving and the still frames; the
// message restarts before it runs out.
void BM_DrawScroller(benchmark::State& state) {
  GlyphTable table{};
  loadGlyphTable(table);
  Scroller scroller;
  CellScreen screen;
  const auto restart = [&] {
    scroller = Scroller{};
    scroller.scrollText = buildScrollText();
    scroller.scrollLength = static_cast<std::int32_t>(scroller.scrollText.size());
    scroller.scrollPos = 1;
    initScroller(scroller, table);
  };
  restart();
  for (auto _ : state) {
    if (drawScroller(scroller, table, screen) == ScrollerStatus::messageEnded) restart();
    benchmark::DoNotOptimize(screen);
  }
}
BENCHMARK(BM_DrawScroller);

}  // namespace
}  // namespace vantrel
