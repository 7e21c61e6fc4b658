// The transform against the definition, summed in long double: an oracle that
// shares none of the transform's structure.

#include "audio/fourier_transform.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <vector>

namespace vantrel {
namespace {

std::complex<long double> definitionBin(const std::vector<float>& samples, std::size_t k) {
  const std::size_t n = samples.size();
  std::complex<long double> sum = 0;
  for (std::size_t t = 0; t < n; ++t) {
    const long double angle =
        -2.0L * std::numbers::pi_v<long double> * static_cast<long double>((k * t) % n) / n;
    sum += static_cast<long double>(samples[t]) * std::polar(1.0L, angle);
  }
  return sum;
}

TEST(FourierTransform, MatchesTheDefinitionForEverySizeAndBin) {
  std::mt19937 generator(5);
  std::uniform_real_distribution<float> sample(-1.0F, 1.0F);
  for (const std::size_t size : {2U, 8U, 64U, 1024U}) {
    std::vector<float> samples(size);
    for (float& s : samples) s = sample(generator);
    FourierTransform fft(size);
    std::vector<std::complex<float>> bins(size / 2 + 1);
    fft.transformReal(samples, bins);
    for (std::size_t k = 0; k < bins.size(); ++k) {
      const std::complex<long double> expected = definitionBin(samples, k);
      // Single-precision rounding over log2(size) stages of sums of ~sqrt(size).
      const double tolerance = 1e-5 * std::sqrt(static_cast<double>(size)) * std::log2(size);
      ASSERT_NEAR(bins[k].real(), static_cast<double>(expected.real()), tolerance)
          << size << " bin " << k;
      ASSERT_NEAR(bins[k].imag(), static_cast<double>(expected.imag()), tolerance)
          << size << " bin " << k;
    }
  }
}

TEST(FourierTransform, FillsOnlyTheBinsAskedFor) {
  FourierTransform fft(16);
  std::vector<float> samples(16, 1.0F);
  std::vector<std::complex<float>> bins(3, {7.0F, 7.0F});
  fft.transformReal(samples, bins);
  EXPECT_EQ(bins[0], std::complex<float>(16.0F, 0.0F));
  EXPECT_NEAR(std::abs(bins[1]), 0.0, 1e-6);
  EXPECT_NEAR(std::abs(bins[2]), 0.0, 1e-6);
}

}  // namespace
}  // namespace vantrel
