// The audio thread's cost per 512-frame block (11.6 ms of music): decoding
// the shipped track and analysing what is handed to the output, together
// (the fill routine every output runs) and apart. "x_realtime" says how many
// seconds of music one second of work covers.

#include <benchmark/benchmark.h>

#include <vector>

#include "audio/audio_backend.hpp"
#include "audio/music_feed.hpp"
#include "audio/spectrum_analyzer.hpp"

namespace vantrel {
namespace {

const std::filesystem::path shippedTrack{VANTREL_SHIPPED_TRACK};

void countMusic(benchmark::State& state) {
  state.counters["x_realtime"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * blockFrames / pcmRate, benchmark::Counter::kIsRate);
}

std::unique_ptr<RepeatingTrack> openShippedTrack(benchmark::State& state) {
  std::unique_ptr<PcmDecoder> decoder = makeDecoder();
  if (!decoder->open(shippedTrack)) state.SkipWithError("cannot open the shipped track");
  return std::make_unique<RepeatingTrack>(std::move(decoder));
}

// Decode plus analysis of one block, as the output's thread runs it.
void BM_AudioBlock(benchmark::State& state) {
  const std::unique_ptr<RepeatingTrack> track = openShippedTrack(state);
  SpectrumArray spectrum{};
  MusicFeed feed(spectrum);
  feed.attach(track.get());
  feed.setAnalysing(true);
  std::vector<PcmSample> block(blockFrames * pcmChannels);
  for (auto _ : state) {
    feed.fill(block.data(), blockFrames);
    benchmark::DoNotOptimize(block.data());
  }
  countMusic(state);
}
BENCHMARK(BM_AudioBlock);

void BM_DecodeBlock(benchmark::State& state) {
  const std::unique_ptr<RepeatingTrack> track = openShippedTrack(state);
  std::vector<PcmSample> block(blockFrames * pcmChannels);
  for (auto _ : state) {
    track->fill(block.data(), blockFrames);
    benchmark::DoNotOptimize(block.data());
  }
  countMusic(state);
}
BENCHMARK(BM_DecodeBlock);

// One spectrum refresh: the window, the 1024-point FFT and 512 magnitudes.
void BM_AnalyseBlock(benchmark::State& state) {
  std::vector<PcmSample> block(blockFrames * pcmChannels);
  for (std::size_t i = 0; i < block.size(); ++i)
    block[i] = static_cast<PcmSample>(i * 7919 % 20000);
  SpectrumAnalyzer analyzer;
  SpectrumArray spectrum{};
  for (auto _ : state) {
    analyzer.push(block.data(), blockFrames, spectrum);
    benchmark::ClobberMemory();
  }
  countMusic(state);
}
BENCHMARK(BM_AnalyseBlock);

}  // namespace
}  // namespace vantrel
