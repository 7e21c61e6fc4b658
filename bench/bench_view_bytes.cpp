// What each way of showing the picture costs in bytes over a whole show: the
// demo's 5295 frames with the shipped track's spectrum, rendered for an
// 80 x 50 terminal (the exact view) and an 80 x 24 one (the fitted view), in
// each colour mode. The counters are bytes per frame and the ratios the
// renderer is held to: direct colour against 16 colours, fitted against exact.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "audio/spectrum.hpp"
#include "driver/demo.hpp"
#include "frames/spectrum_feed.hpp"
#include "platform/terminal/terminal_renderer.hpp"

namespace vantrel {
namespace {

struct Way {
  const char* name;
  RenderStyle style;
  TerminalSize size;
};

const std::vector<Way> ways = {
    {"exact_16", {ViewChoice::bySize, Glyphs::blocks, ColourMode::ansi16}, {80, 50}},
    {"exact_256", {ViewChoice::bySize, Glyphs::blocks, ColourMode::palette256}, {80, 50}},
    {"exact_direct", {ViewChoice::bySize, Glyphs::blocks, ColourMode::direct}, {80, 50}},
    {"fitted_16", {ViewChoice::bySize, Glyphs::blocks, ColourMode::ansi16}, {80, 24}},
    {"fitted_direct", {ViewChoice::bySize, Glyphs::blocks, ColourMode::direct}, {80, 24}},
    {"exact_spaces_direct", {ViewChoice::bySize, Glyphs::spaces, ColourMode::direct}, {80, 50}},
};

// Bytes per frame of each way over one whole show of `seed`.
std::vector<double> wholeShowBytes(std::uint32_t seed, frames::SpectrumFeed& feed) {
  auto demo = std::make_unique<Demo>();
  auto spectrum = std::make_unique<SpectrumArray>();
  prepareScroller(*demo);
  prepareParticles(*demo, seed);
  demo->spectrum = spectrum->data();
  std::vector<std::unique_ptr<TerminalRenderer>> renderers;
  for (const Way& way : ways) {
    renderers.push_back(std::make_unique<TerminalRenderer>(way.style));
    renderers.back()->resize(way.size);
  }
  std::vector<double> bytes(ways.size());
  int frame = 0;
  for (;; ++frame) {
    feed.fill(musicSecondsAtFrame(frame + 1), *spectrum);
    if (drawFrame(*demo) == FrameOutcome::messageEnded) break;
    for (std::size_t way = 0; way < ways.size(); ++way) {
      bytes[way] += static_cast<double>(renderers[way]->render(demo->cellScreen).size());
    }
  }
  for (double& total : bytes) total /= frame;
  return bytes;
}

void BM_WholeShowBytes(benchmark::State& state) {
  std::string error;
  const std::unique_ptr<frames::SpectrumFeed> feed = frames::openMusicFeed(error);
  if (!feed) {
    state.SkipWithError(error.c_str());
    return;
  }
  std::vector<double> bytes;
  for (auto _ : state) bytes = wholeShowBytes(static_cast<std::uint32_t>(state.range(0)), *feed);
  for (std::size_t way = 0; way < ways.size(); ++way) state.counters[ways[way].name] = bytes[way];
  state.counters["direct_over_16"] = bytes[2] / bytes[0];
  state.counters["fitted_over_exact"] = bytes[4] / bytes[2];
  state.counters["fitted_16_over_exact_16"] = bytes[3] / bytes[0];
}
BENCHMARK(BM_WholeShowBytes)->Arg(1)->Arg(2)->Arg(3)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace vantrel
