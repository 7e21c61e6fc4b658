// What presenting a frame costs on a terminal: bytes sent and CPU time per
// frame of the terminal renderer over a run of the demo's own frames, beside
// a naive full redraw of the same frames (every cell, its colours and its
// character, every frame), and of the pixel view in each protocol and scale.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "audio/spectrum.hpp"
#include "driver/demo.hpp"
#include "platform/code_page_437.hpp"
#include "platform/terminal/pixel_presenter.hpp"
#include "platform/terminal/terminal_io.hpp"
#include "platform/terminal/terminal_renderer.hpp"

namespace vantrel {
namespace {

constexpr int frameCount = 1500;  // 15 to 25 seconds of the demo

// A spectrum that moves like music: a falling slope with a few peaks that
// come and go at their own pace.
void fillSpectrum(SpectrumArray& spectrum, int frame) {
  for (int entry = 0; entry < spectrumSize; ++entry) {
    const double slope = 0.09 / (1.0 + entry / 20.0);
    const double beat = 0.5 + 0.5 * std::sin(frame * 0.21 + entry * 0.07);
    const double shimmer = 0.5 + 0.5 * std::sin(frame * 0.53 + entry * 1.3);
    spectrum[static_cast<std::size_t>(entry)].store(
        static_cast<float>(slope * (0.4 + 0.4 * beat + 0.2 * shimmer)), std::memory_order_relaxed);
  }
}

// The demo's first frames, drawn once with a fixed seed.
const std::vector<CellScreen>& demoFrames() {
  static const std::vector<CellScreen> frames = [] {
    auto spectrum = std::make_unique<SpectrumArray>();
    auto demo = std::make_unique<Demo>();
    prepareScroller(*demo);
    prepareParticles(*demo, 20240601);
    demo->spectrum = spectrum->data();
    std::vector<CellScreen> drawn;
    drawn.reserve(frameCount);
    for (int frame = 0; frame < frameCount; ++frame) {
      fillSpectrum(*spectrum, frame);
      if (drawFrame(*demo) == FrameOutcome::messageEnded) break;
      drawn.push_back(demo->cellScreen);
    }
    return drawn;
  }();
  return frames;
}

// Every cell of every frame, each with a cursor move at the start of its row
// and both its colours.
class NaiveRenderer {
 public:
  NaiveRenderer() { buffer_.reserve(TerminalRenderer::capacity); }

  std::string_view render(const CellScreen& screen) {
    buffer_.clear();
    for (int row = 0; row < screenRows; ++row) {
      buffer_ += "\x1b[" + std::to_string(row + 1) + "H";
      for (int column = 1; column <= screenColumns; ++column) {
        const Cell cell = screen[cellIndex(row, column)];
        buffer_ += "\x1b[" + std::to_string(foreground(cell.attribute & 0xF)) + ";" +
                   std::to_string(background((cell.attribute >> 4) & 0xF)) + "m";
        const Utf8Glyph& glyph = codePage437Utf8[cell.character & 0xFF];
        buffer_.append(glyph.bytes.data(), glyph.length);
      }
    }
    return buffer_;
  }

 private:
  static int ansi(int colour) { return ((colour & 1) << 2) | (colour & 2) | ((colour & 4) >> 2); }
  static int foreground(int colour) { return ((colour & 8) != 0 ? 90 : 30) + ansi(colour & 7); }
  static int background(int colour) { return ((colour & 8) != 0 ? 100 : 40) + ansi(colour & 7); }

  std::string buffer_;
};

template <class Renderer>
void presentFrames(benchmark::State& state, Renderer& renderer) {
  const std::vector<CellScreen>& frames = demoFrames();
  const int sink = open("/dev/null", O_WRONLY);
  std::size_t frame = 0;
  double bytes = 0;
  double writes = 0;
  for (auto _ : state) {
    const std::string_view output = renderer.render(frames[frame]);
    if (!output.empty()) {
      writeAll(sink, output);
      ++writes;
    }
    bytes += static_cast<double>(output.size());
    frame = (frame + 1) % frames.size();
  }
  close(sink);
  state.counters["bytes_per_frame"] = benchmark::Counter(bytes, benchmark::Counter::kAvgIterations);
  state.counters["writes_per_frame"] =
      benchmark::Counter(writes, benchmark::Counter::kAvgIterations);
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}

void BM_PresentFrame(benchmark::State& state) {
  TerminalRenderer renderer;
  presentFrames(state, renderer);
}
BENCHMARK(BM_PresentFrame)->Unit(benchmark::kMicrosecond)->Iterations(frameCount * 4);

// The same renderer made to repaint every frame whole: what the damage
// tracking saves, apart from the cheaper colour and cursor encoding.
class RepaintingRenderer {
 public:
  std::string_view render(const CellScreen& screen) {
    renderer_.resize({screenColumns, screenRows});
    return renderer_.render(screen);
  }

 private:
  TerminalRenderer renderer_;
};

void BM_PresentFrameRepaintAll(benchmark::State& state) {
  RepaintingRenderer renderer;
  presentFrames(state, renderer);
}
BENCHMARK(BM_PresentFrameRepaintAll)->Unit(benchmark::kMicrosecond)->Iterations(frameCount * 4);

void BM_PresentFrameNaive(benchmark::State& state) {
  NaiveRenderer renderer;
  presentFrames(state, renderer);
}
BENCHMARK(BM_PresentFrameNaive)->Unit(benchmark::kMicrosecond)->Iterations(frameCount * 4);

}  // namespace
}  // namespace vantrel

namespace vantrel {
namespace {

// The pixel view placed at the top left, at a scale.
class PlacedPixels {
 public:
  PlacedPixels(ImageProtocol protocol, int scale) : presenter_(protocol) {
    presenter_.place({scale, 0, 0, {10, 20}});
  }
  std::string_view render(const CellScreen& screen) { return presenter_.render(screen); }

 private:
  PixelPresenter presenter_;
};

// Arguments: 0 for kitty's protocol, 1 for sixel; the scale.
void BM_PresentFramePixels(benchmark::State& state) {
  PlacedPixels presenter(state.range(0) == 0 ? ImageProtocol::kitty : ImageProtocol::sixel,
                         static_cast<int>(state.range(1)));
  presentFrames(state, presenter);
}
BENCHMARK(BM_PresentFramePixels)
    ->ArgNames({"sixel", "scale"})
    ->Args({0, 1})
    ->Args({0, 2})
    ->Args({1, 1})
    ->Args({1, 2})
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(frameCount);

}  // namespace
}  // namespace vantrel
