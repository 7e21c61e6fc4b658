// The portable sine against the C library's (an independent implementation),
// and against sines recorded by a known-right build: every build must give
// those very bits.

#include "maths/portable_sine.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace vantrel {
namespace {

// How many doubles lie between a and b.
std::int64_t ulpsApart(double a, double b) {
  const auto ordered = [](double v) {
    const auto bits = std::bit_cast<std::int64_t>(v);
    return bits < 0 ? std::numeric_limits<std::int64_t>::min() - bits : bits;
  };
  const std::int64_t difference = ordered(a) - ordered(b);
  return difference < 0 ? -difference : difference;
}

// A reproducible stream of 64-bit values (splitmix64), so the arguments are
// the same bits with every standard library.
class ArgumentStream {
 public:
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  // Uniform in [lo, hi).
  double between(double lo, double hi) {
    const double unit = static_cast<double>(next() >> 11) * 0x1p-53;
    return lo + (hi - lo) * unit;
  }

 private:
  std::uint64_t state_ = 2024;
};

// Arguments of every size the ripple field and the spectrum meet, the small
// ones where the polynomials alone decide, and the neighbours of multiples
// of pi / 4, where the quadrant changes.
std::vector<double> sampleArguments() {
  ArgumentStream stream;
  std::vector<double> arguments;
  for (int i = 0; i < 100000; ++i) {
    arguments.push_back(stream.between(-2000.0, 2000.0));
    arguments.push_back(stream.between(-1e6, 1e6));
    const int exponent = -static_cast<int>(stream.next() % 64);
    arguments.push_back(std::ldexp(stream.between(-1.0, 1.0), exponent));
  }
  for (int k = -4000; k <= 4000; ++k) {
    const double quarter = k * 0.78539816339744830962;
    arguments.push_back(quarter);
    arguments.push_back(std::nextafter(quarter, 1e9));
    arguments.push_back(std::nextafter(quarter, -1e9));
  }
  return arguments;
}

TEST(PortableSine, AgreesWithTheCLibraryToAUnitInTheLastPlace) {
#ifdef _WIN32
  GTEST_SKIP() << "this C library's sine is itself off by more than a unit at large arguments";
#endif
  std::int64_t worstSine = 0;
  std::int64_t worstCosine = 0;
  int exactSines = 0;
  const std::vector<double> arguments = sampleArguments();
  for (const double x : arguments) {
    const std::int64_t sineError = ulpsApart(portableSine(x), std::sin(x));
    const std::int64_t cosineError = ulpsApart(portableCosine(x), std::cos(x));
    // Close to a zero of the function the absolute error is what counts.
    if (std::fabs(std::sin(x)) > 1e-3) worstSine = std::max(worstSine, sineError);
    if (std::fabs(std::cos(x)) > 1e-3) worstCosine = std::max(worstCosine, cosineError);
    exactSines += sineError == 0 ? 1 : 0;
    ASSERT_NEAR(portableSine(x), std::sin(x), 1e-15) << x;
    ASSERT_NEAR(portableCosine(x), std::cos(x), 1e-15) << x;
  }
  EXPECT_LE(worstSine, 1);
  EXPECT_LE(worstCosine, 1);
  EXPECT_GT(exactSines, static_cast<int>(arguments.size() * 9 / 10));
}

TEST(PortableSine, SpecialArguments) {
  EXPECT_EQ(std::bit_cast<std::uint64_t>(portableSine(0.0)), 0U);
  EXPECT_TRUE(std::signbit(portableSine(-0.0)));
  EXPECT_EQ(portableCosine(0.0), 1.0);
  for (const double bad :
       {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
        std::numeric_limits<double>::quiet_NaN()}) {
    EXPECT_TRUE(std::isnan(portableSine(bad))) << bad;
    EXPECT_TRUE(std::isnan(portableCosine(bad))) << bad;
  }
  // Beyond the quick reduction the argument is reduced by the double nearest
  // 2 pi: close to the true sine a little past the limit, always within
  // [-1, 1], and an odd function.
  EXPECT_NEAR(portableSine(3e6), std::sin(3e6), 1e-8);
  EXPECT_NEAR(portableCosine(1e7), std::cos(1e7), 1e-8);
  for (const double huge : {1e12, 1e30, 1e300, std::numeric_limits<double>::max()}) {
    EXPECT_LE(std::fabs(portableSine(huge)), 1.0) << huge;
    EXPECT_EQ(portableSine(-huge), -portableSine(huge)) << huge;
  }
}

// The bits of sines and cosines over every range, folded into one number. The
// recorded value comes from a build checked against the C library above and
// equal across GCC, Clang, unoptimised and Windows builds.
TEST(PortableSine, GivesTheRecordedBitsInEveryBuild) {
  std::uint64_t checksum = 0xcbf29ce484222325ULL;
  const auto add = [&checksum](double value) {
    checksum ^= std::bit_cast<std::uint64_t>(value);
    checksum *= 0x100000001b3ULL;
  };
  for (const double x : sampleArguments()) {
    add(portableSine(x));
    add(portableCosine(x));
  }
  for (const double huge : {3e6, 1e12, 1e30, 1e300}) add(portableSine(huge));
  EXPECT_EQ(checksum, 0x3e06913035178290ULL) << std::hex << checksum;
}

}  // namespace
}  // namespace vantrel
