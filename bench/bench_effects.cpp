// The effects' per-frame costs: the ripple field (production and reference
// on the same particle states), one particle step, the spectrum bars.

#include <benchmark/benchmark.h>

#include <cstddef>
#include <random>
#include <vector>

#include "effects/particles.hpp"
#include "effects/ripple_field.hpp"
#include "effects/spectrum_bars.hpp"

namespace vantrel {
namespace {

// 64 successive frames of one run after the start-up's warm-up steps.
const std::vector<ParticleSystem>& frameStates() {
  static const std::vector<ParticleSystem> states = [] {
    std::vector<ParticleSystem> result;
    ParticleSystem system;
    initParticles(system, 20240601);
    for (int step = 0; step < 1000; ++step) stepParticles(system);
    for (int frame = 0; frame < 64; ++frame) {
      stepParticles(system);
      result.push_back(system);
    }
    return result;
  }();
  return states;
}

template <class Paint>
void paintFrames(benchmark::State& state, Paint paint) {
  const auto& states = frameStates();
  CellScreen screen;
  std::size_t frame = 0;
  for (auto _ : state) {
    const std::int32_t phase = frame % 2 == 0 ? -1 : 1;
    paint(states[frame % states.size()], phase, screen);
    benchmark::DoNotOptimize(screen.data());
    benchmark::ClobberMemory();
    ++frame;
  }
}

void BM_RippleField(benchmark::State& state) {
  const RipplePath path = fastestRipplePath();
  state.SetLabel(ripplePathName(path));
  paintFrames(state,
              [path](const ParticleSystem& particles, std::int32_t phase, CellScreen& screen) {
                paintRippleField(particles, phase, path, screen);
              });
}
BENCHMARK(BM_RippleField)->Unit(benchmark::kMicrosecond);

void BM_RippleFieldScalar(benchmark::State& state) {
  paintFrames(state, [](const ParticleSystem& particles, std::int32_t phase, CellScreen& screen) {
    paintRippleFieldScalar(particles, phase, screen);
  });
}
BENCHMARK(BM_RippleFieldScalar)->Unit(benchmark::kMicrosecond);

// Each vector path on its own, for machines that take a narrower one.
void BM_RippleFieldPath(benchmark::State& state) {
  const auto path = static_cast<RipplePath>(state.range(0));
  state.SetLabel(ripplePathName(path));
  if (!ripplePathSupported(path)) {
    state.SkipWithError("not supported by this build or processor");
    return;
  }
  paintFrames(state,
              [path](const ParticleSystem& particles, std::int32_t phase, CellScreen& screen) {
                paintRippleField(particles, phase, path, screen);
              });
}
BENCHMARK(BM_RippleFieldPath)
    ->Arg(static_cast<int>(RipplePath::sse2))
    ->Arg(static_cast<int>(RipplePath::avx2))
    ->Arg(static_cast<int>(RipplePath::avx512))
    ->Unit(benchmark::kMicrosecond);

void BM_StepParticles(benchmark::State& state) {
  ParticleSystem system = frameStates().front();
  for (auto _ : state) {
    stepParticles(system);
    benchmark::DoNotOptimize(&system);
  }
}
BENCHMARK(BM_StepParticles);

void BM_SpectrumBars(benchmark::State& state) {
  SpectrumArray spectrum;
  std::mt19937 generator(3);
  std::uniform_real_distribution<float> level(0.0F, 0.12F);
  for (auto& entry : spectrum) entry.store(level(generator), std::memory_order_relaxed);
  CellScreen screen;
  for (auto _ : state) {
    drawSpectrumBars(spectrum.data(), screen);
    benchmark::DoNotOptimize(screen.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_SpectrumBars);

}  // namespace
}  // namespace vantrel
