#pragma once
// A fast Fourier transform of a fixed power-of-two size whose results are the
// same bits in every build: single-precision butterflies in a fixed order,
// twiddle factors from the portable sine, no library maths.

#include <complex>
#include <cstddef>
#include <span>
#include <vector>

namespace vantrel {

class FourierTransform {
 public:
  // size: a power of two, at least 2. Builds the tables; transforming later
  // allocates nothing.
  explicit FourierTransform(std::size_t size);

  std::size_t size() const { return size_; }

  // The first bins.size() bins (at most size / 2 + 1, those of a real
  // signal's non-negative frequencies) of the transform of `samples`
  // (size() of them): bin k = sum over n of samples[n] e^(-2 pi i k n / size).
  void transformReal(std::span<const float> samples, std::span<std::complex<float>> bins);

 private:
  std::size_t size_;
  std::vector<std::size_t> bitReversed_;       // input position of each slot
  std::vector<std::complex<float>> twiddles_;  // e^(-2 pi i k / size), k < size / 2
  std::vector<std::complex<float>> work_;
};

}  // namespace vantrel
