#include "audio/fourier_transform.hpp"

#include <algorithm>
#include <numbers>

#include "maths/portable_sine.hpp"

namespace vantrel {

namespace {

std::size_t bitReverse(std::size_t index, std::size_t bits) {
  std::size_t reversed = 0;
  for (std::size_t bit = 0; bit < bits; ++bit)
    reversed |= ((index >> bit) & 1U) << (bits - 1 - bit);
  return reversed;
}

// a x b, written out so that every build rounds the same four products and
// two sums.
std::complex<float> times(std::complex<float> a, std::complex<float> b) {
  return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}

}  // namespace

FourierTransform::FourierTransform(std::size_t size)
    : size_(size), bitReversed_(size), twiddles_(size / 2), work_(size) {
  std::size_t bits = 0;
  while ((std::size_t{1} << bits) < size) ++bits;
  for (std::size_t i = 0; i < size; ++i) bitReversed_[i] = bitReverse(i, bits);
  for (std::size_t k = 0; k < size / 2; ++k) {
    const double angle =
        -2.0 * std::numbers::pi * static_cast<double>(k) / static_cast<double>(size);
    twiddles_[k] = {static_cast<float>(portableCosine(angle)),
                    static_cast<float>(portableSine(angle))};
  }
}

void FourierTransform::transformReal(std::span<const float> samples,
                                     std::span<std::complex<float>> bins) {
  for (std::size_t i = 0; i < size_; ++i) work_[i] = {samples[bitReversed_[i]], 0.0F};
  // Radix-2 butterflies, decimation in time, in place.
  for (std::size_t half = 1; half < size_; half *= 2) {
    const std::size_t stride = size_ / (2 * half);
    for (std::size_t start = 0; start < size_; start += 2 * half) {
      for (std::size_t k = 0; k < half; ++k) {
        const std::complex<float> even = work_[start + k];
        const std::complex<float> odd = times(work_[start + k + half], twiddles_[k * stride]);
        work_[start + k] = {even.real() + odd.real(), even.imag() + odd.imag()};
        work_[start + k + half] = {even.real() - odd.real(), even.imag() - odd.imag()};
      }
    }
  }
  const std::size_t count = std::min(bins.size(), size_ / 2 + 1);
  std::copy_n(work_.begin(), count, bins.begin());
}

}  // namespace vantrel
