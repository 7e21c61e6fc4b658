#include "audio/spectrum_analyzer.hpp"

#include <cmath>
#include <numbers>

#include "maths/portable_sine.hpp"

namespace vantrel {

namespace {

// Scale that makes a full-scale sine at a bin centre read 1.0: the FFT sums
// N samples, the Hann window halves the amplitude, a real sine splits its
// energy between two bins.
constexpr float magnitudeScale = 4.0F / static_cast<float>(analysisSize);
constexpr float sampleScale = 1.0F / 32768.0F;

float monoOf(const PcmSample* frame) {
  return (static_cast<float>(frame[0]) + static_cast<float>(frame[1])) * (0.5F * sampleScale);
}

// |bin|, from the exact squares and one correctly rounded square root, so
// every build and C library gives the same bits.
float magnitudeOf(std::complex<float> bin) {
  const auto re = static_cast<double>(bin.real());
  const auto im = static_cast<double>(bin.imag());
  return static_cast<float>(std::sqrt(re * re + im * im));
}

}  // namespace

SpectrumAnalyzer::SpectrumAnalyzer() : fft_(analysisSize) {
  for (std::size_t n = 0; n < analysisSize; ++n) {
    const double phase = 2.0 * std::numbers::pi * static_cast<double>(n) / analysisSize;
    hann_[n] = static_cast<float>(0.5 - 0.5 * portableCosine(phase));
  }
}

void SpectrumAnalyzer::reset() {
  history_.fill(0.0F);
  oldest_ = 0;
  pending_ = 0;
}

void SpectrumAnalyzer::push(const PcmSample* stereo, std::size_t frames, SpectrumArray& spectrum) {
  for (std::size_t i = 0; i < frames; ++i) {
    history_[oldest_] = monoOf(stereo + i * pcmChannels);
    oldest_ = (oldest_ + 1) % analysisSize;
    if (++pending_ == blockFrames) {
      refresh(spectrum);
      pending_ = 0;
    }
  }
}

void SpectrumAnalyzer::refresh(SpectrumArray& spectrum) {
  for (std::size_t n = 0; n < analysisSize; ++n) {
    windowed_[n] = history_[(oldest_ + n) % analysisSize] * hann_[n];
  }
  fft_.transformReal(windowed_, bins_);
  for (std::size_t k = 0; k < spectrum.size(); ++k) {
    spectrum[k].store(magnitudeOf(bins_[k]) * magnitudeScale, std::memory_order_relaxed);
  }
}

}  // namespace vantrel
