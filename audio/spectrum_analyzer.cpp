#include "audio/spectrum_analyzer.hpp"

#include <cmath>
#include <numbers>
#include <unsupported/Eigen/FFT>

namespace vantrel {

struct SpectrumAnalyzer::Fft {
  Eigen::FFT<float> engine;
};

namespace {

// Scale that makes a full-scale sine at a bin centre read 1.0: the FFT sums
// N samples, the Hann window halves the amplitude, a real sine splits its
// energy between two bins.
constexpr float magnitudeScale = 4.0F / static_cast<float>(analysisSize);
constexpr float sampleScale = 1.0F / 32768.0F;

float monoOf(const PcmSample* frame) {
  return (static_cast<float>(frame[0]) + static_cast<float>(frame[1])) * (0.5F * sampleScale);
}

}  // namespace

SpectrumAnalyzer::SpectrumAnalyzer() : fft_(std::make_unique<Fft>()) {
  fft_->engine.SetFlag(Eigen::FFT<float>::HalfSpectrum);
  for (std::size_t n = 0; n < analysisSize; ++n) {
    const double phase = 2.0 * std::numbers::pi * static_cast<double>(n) / analysisSize;
    hann_[n] = static_cast<float>(0.5 - 0.5 * std::cos(phase));
  }
  // The first transform builds the plan and the twiddle tables; do it now,
  // so the audio thread never allocates.
  fft_->engine.fwd(bins_.data(), windowed_.data(), analysisSize);
}

SpectrumAnalyzer::~SpectrumAnalyzer() = default;

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
  fft_->engine.fwd(bins_.data(), windowed_.data(), analysisSize);
  for (std::size_t k = 0; k < spectrum.size(); ++k) {
    spectrum[k].store(std::abs(bins_[k]) * magnitudeScale, std::memory_order_relaxed);
  }
}

}  // namespace vantrel
