#include "maths/portable_sine.hpp"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "maths/portable_sine_lanes.hpp"

namespace vantrel {

namespace {

// The bit patterns of doubles (std::bit_cast is missing from some C++
// libraries this builds with).
std::uint64_t bitsOf(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}
double fromBits(std::uint64_t bits) {
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// One lane.
struct ScalarOps {
  using Vector = double;
  static double set(double c) { return c; }
  static double add(double a, double b) { return a + b; }
  static double sub(double a, double b) { return a - b; }
  static double mul(double a, double b) { return a * b; }
  static bool quadrantIsOdd(double shifted) { return (bitsOf(shifted) & 1) != 0; }
  static std::uint64_t signOfQuadrant(double shifted) { return (bitsOf(shifted) & 2) << 62; }
  static double select(bool odd, double a, double b) { return odd ? a : b; }
  static double flipSign(double v, std::uint64_t sign) { return fromBits(bitsOf(v) ^ sign); }
};

constexpr double twoPi = 6.28318530717958647692;

template <int quarterTurns>
double sineOrCosine(double radians) {
  if (std::fabs(radians) <= portable_sine::reductionLimit) {
    return portable_sine::sineOfReduced<ScalarOps, quarterTurns>(radians);
  }
  if (!std::isfinite(radians)) return radians - radians;  // NaN
  // The floating remainder is exact, so this is the same everywhere.
  return portable_sine::sineOfReduced<ScalarOps, quarterTurns>(std::fmod(radians, twoPi));
}

}  // namespace

double portableSine(double radians) {
  return sineOrCosine<0>(radians);
}

double portableCosine(double radians) {
  return sineOrCosine<1>(radians);
}

}  // namespace vantrel
