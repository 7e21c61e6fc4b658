#pragma once
// The spectrum of what the output plays: the last 1024 mono samples, a Hann
// window and a 1024-point FFT, refreshed every 512 frames. Magnitudes are
// scaled by 4/N, so a full-scale sine at a bin centre reads 1.0 in its bin.
// The live layer and the offline track analysis both use this class, so they
// give the same numbers for the same samples.

#include <array>
#include <complex>
#include <cstddef>

#include "audio/fourier_transform.hpp"
#include "audio/pcm_format.hpp"
#include "audio/spectrum.hpp"

namespace vantrel {

inline constexpr std::size_t analysisSize = 1024;
static_assert(analysisSize / 2 == spectrumSize);

class SpectrumAnalyzer {
 public:
  // Builds the FFT tables at once: analysing later allocates nothing.
  SpectrumAnalyzer();
  SpectrumAnalyzer(const SpectrumAnalyzer&) = delete;
  SpectrumAnalyzer& operator=(const SpectrumAnalyzer&) = delete;

  // Takes `frames` interleaved stereo frames as they go to the output; every
  // time another blockFrames have arrived, writes a fresh spectrum.
  void push(const PcmSample* stereo, std::size_t frames, SpectrumArray& spectrum);

  // Back to a window of silence, with no frames pending.
  void reset();

 private:
  void refresh(SpectrumArray& spectrum);

  FourierTransform fft_;
  std::array<float, analysisSize> hann_{};
  std::array<float, analysisSize> history_{};  // ring of mono samples
  std::size_t oldest_ = 0;                     // ring position of the oldest sample
  std::size_t pending_ = 0;                    // frames since the last refresh
  std::array<float, analysisSize> windowed_{};
  std::array<std::complex<float>, analysisSize / 2 + 1> bins_{};
};

}  // namespace vantrel
