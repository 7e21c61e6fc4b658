#include "effects/ripple_field.hpp"

#include <algorithm>
#include <array>
#include <cmath>

#include "effects/ripple_field_lanes.hpp"
#include "maths/portable_sine.hpp"

namespace vantrel {

namespace {

// The wave number of "sin(-0.11 x d)", as the single-precision value it is.
constexpr float waveNumber = -0.11F;
constexpr double waveAmplitude = 100.0;
constexpr std::uint16_t rippleAttribute = 8;  // dark grey on black

// The second sample point lies a quarter cell right of the first on a
// left/right frame (+1) and a quarter cell below it on a top/bottom frame.
float secondSampleStepX(std::int32_t ripplePhase) {
  return ripplePhase > 0 ? 0.5F : 0.0F;
}
float secondSampleStepY(std::int32_t ripplePhase) {
  return ripplePhase > 0 ? 0.0F : 0.5F;
}

// The band bit at a point, or -1 where the field value is not finite.
int sampleBit(const ParticleSystem& particles, float x, float y) {
  const float scaled = rippleScaledSum(particles, x, y);
  return std::isfinite(scaled) ? rippleBandBit(scaled) : -1;
}

void paintCell(Cell& cell, int firstBit, int secondBit, std::int32_t ripplePhase) {
  // A non-finite field value leaves the character as it was.
  if (firstBit >= 0 && secondBit >= 0) {
    cell.character = rippleCharacter(2 * firstBit + secondBit, ripplePhase);
  }
  cell.attribute = rippleAttribute;
}

#if VANTREL_RIPPLE_LANES

// The kernel of `path`, or null where this build or this processor lacks it.
const ripple_lanes::Kernel* kernelFor(RipplePath path) {
#if VANTREL_RIPPLE_SIMD128
  return path == RipplePath::simd128 ? ripple_lanes::simd128Kernel() : nullptr;
#else
  static constexpr ripple_lanes::Kernel sse2{ripple_lanes::fillCodesSse2,
                                             ripple_lanes::scaledSumsSse2, ripple_lanes::sinesSse2};
  static constexpr ripple_lanes::Kernel avx2{ripple_lanes::fillCodesAvx2,
                                             ripple_lanes::scaledSumsAvx2, ripple_lanes::sinesAvx2};
  static constexpr ripple_lanes::Kernel avx512{
      ripple_lanes::fillCodesAvx512, ripple_lanes::scaledSumsAvx512, ripple_lanes::sinesAvx512};
  switch (path) {
    case RipplePath::sse2:
      return &sse2;
    case RipplePath::avx2:
      return __builtin_cpu_supports("avx2") != 0 ? &avx2 : nullptr;
    case RipplePath::avx512:
      return __builtin_cpu_supports("avx512f") != 0 ? &avx512 : nullptr;
    default:
      return nullptr;
  }
#endif
}

// The vector kernels cover the full 80 x 50 screen with the origin at cell 40.
bool kernelsCover(const ParticleSystem& particles) {
  return particles.fieldWidth == ripple_lanes::columns &&
         particles.fieldHeight == ripple_lanes::rows;
}

// Whether the quick estimate may be used: the divisor at least 1 and every
// place finite and within 2^20 of the origin, so that every phase stays far
// below 2^22 half-turns and the exact field is finite everywhere.
bool quickEstimateApplies(const ripple_lanes::Sources& sources) {
  constexpr float farthest = 0x1p20F;
  const auto modest = [](float v) { return std::fabs(v) <= farthest; };  // false for NaN
  for (int k = 0; k < sources.count; ++k) {
    if (!modest(sources.x[k]) || !modest(sources.y[k])) return false;
  }
  return sources.divisor >= 1.0;
}

// The quick estimate's error bounds, in bands, twice what the rounding
// analysis allows (see quickBandBits). u is a unit in the last place of 1.
ripple_lanes::QuickEstimate quickEstimateFor(const ripple_lanes::Sources& sources) {
  ripple_lanes::QuickEstimate quick;
  if (!quickEstimateApplies(sources)) return quick;
  constexpr double u = 0x1p-24;
  constexpr double pi = 3.141592653589793;
  constexpr double safety = 2.0;
  // Each wave, 100 sin: the polynomial's 3.6e-6 and its own rounding (under
  // 6e-6 in all), the amplitude's rounding, and one rounding of each sum.
  constexpr double perWave = 100.0 * 6e-6 + 0x1p-18 + 0x1p-13;
  // The last roundings of the exact field and of t.
  constexpr double atTheEnd = 0x1p-13;
  const double bandsPerSum = 1.0 / (8.0 * sources.divisor);
  quick.usable = true;
  quick.halfTurnsPerUnit = static_cast<float>(static_cast<double>(-waveNumber) / pi);
  quick.bandsPerSum = static_cast<float>(bandsPerSum);
  quick.baseMargin =
      static_cast<float>(safety * (sources.count * perWave * bandsPerSum + atTheEnd));
  // The phase is off by at most 6 u of itself: 100 pi 6 u a half-turn.
  quick.marginPerHalfTurn = static_cast<float>(safety * 100.0 * pi * 6.0 * u * bandsPerSum);
  return quick;
}

// The particles' places, gathered for the kernels.
struct KernelSources {
  std::array<float, ParticleTable::slotCount> x{};
  std::array<float, ParticleTable::slotCount> y{};
  ripple_lanes::Sources sources;

  explicit KernelSources(const ParticleSystem& particles) {
    const int count = particlesInUse(particles);
    for (int slot = 1; slot <= count; ++slot) {
      x[static_cast<std::size_t>(slot - 1)] = particles.particleTable[slot].x;
      y[static_cast<std::size_t>(slot - 1)] = particles.particleTable[slot].y;
    }
    sources = {x.data(), y.data(), count, static_cast<double>(particles.fieldDivisor), {}};
    sources.quick = quickEstimateFor(sources);
  }
  KernelSources(const KernelSources&) = delete;  // sources points into this object
  KernelSources& operator=(const KernelSources&) = delete;
};

void paintWithLanes(const ParticleSystem& particles, std::int32_t ripplePhase,
                    const ripple_lanes::Kernel& kernel, CellScreen& cellScreen) {
  const KernelSources gathered(particles);
  std::array<std::uint8_t, cellCount> codes;  // the kernel writes every entry
  kernel.fillCodes(gathered.sources, ripplePhase, codes.data());
  const std::array<std::uint16_t, 4> characters = {
      rippleCharacter(0, ripplePhase), rippleCharacter(1, ripplePhase),
      rippleCharacter(2, ripplePhase), rippleCharacter(3, ripplePhase)};
  for (int index = 1; index <= cellCount; ++index) {
    Cell& cell = cellScreen[index];
    const std::uint8_t code = codes[static_cast<std::size_t>(index - 1)];
    if (code != ripple_lanes::keepCharacter) cell.character = characters[code];
    cell.attribute = rippleAttribute;
  }
}

#endif

}  // namespace

bool ripplePathSupported(RipplePath path) {
#if VANTREL_RIPPLE_LANES
  if (kernelFor(path) != nullptr) return true;
#endif
  return path == RipplePath::scalar;
}

RipplePath fastestRipplePath() {
  for (const RipplePath path :
       {RipplePath::simd128, RipplePath::avx512, RipplePath::avx2, RipplePath::sse2}) {
    if (ripplePathSupported(path)) return path;
  }
  return RipplePath::scalar;
}

const char* ripplePathName(RipplePath path) {
  switch (path) {
    case RipplePath::scalar:
      return "scalar";
    case RipplePath::sse2:
      return "sse2";
    case RipplePath::avx2:
      return "avx2";
    case RipplePath::avx512:
      return "avx512";
    case RipplePath::simd128:
      return "simd128";
  }
  return "unknown";
}

void rippleSines(RipplePath path, std::span<const double> radians, std::span<double> sines) {
  const std::size_t count = std::min(radians.size(), sines.size());
#if VANTREL_RIPPLE_LANES
  if (const ripple_lanes::Kernel* kernel = kernelFor(path)) {
    kernel->sines(radians.data(), sines.data(), static_cast<int>(count));
    return;
  }
#else
  (void)path;
#endif
  for (std::size_t i = 0; i < count; ++i) sines[i] = portableSine(radians[i]);
}

float rippleScaledSum(const ParticleSystem& particles, float x, float y) {
  // Differences and sums are single precision as stored; the distance and
  // the sine are double precision.
  float sum = 0;
  const int count = particlesInUse(particles);
  for (int k = 1; k <= count; ++k) {
    const Particle& particle = particles.particleTable[k];
    const float dx = x - particle.x;
    const float dy = y - particle.y;
    const double distance = std::sqrt(static_cast<double>(dx) * static_cast<double>(dx) +
                                      static_cast<double>(dy) * static_cast<double>(dy));
    const double wave = waveAmplitude * portableSine(static_cast<double>(waveNumber) * distance);
    sum = static_cast<float>(static_cast<double>(sum) + wave);
  }
  return static_cast<float>(static_cast<double>(sum) / static_cast<double>(particles.fieldDivisor));
}

int rippleBandBit(float scaledSum) {
  const double band = std::floor((static_cast<double>(scaledSum) + 0.5) / 8.0);
  // band is a whole number: it is odd exactly when half of it is not.
  const double half = band / 2.0;
  return half == std::floor(half) ? 0 : 1;
}

std::uint16_t rippleCharacter(int v, std::int32_t ripplePhase) {
  const bool leftRight = ripplePhase > 0;
  switch (v) {
    case 3:
      return 219;  // full block
    case 2:
      return leftRight ? 221 : 223;  // left half block, upper half block
    case 1:
      return leftRight ? 222 : 220;  // right half block, lower half block
    default:
      return 0;  // blank
  }
}

void paintRippleFieldScalar(const ParticleSystem& particles, std::int32_t ripplePhase,
                            CellScreen& cellScreen) {
  // Never past the screen's edges, whatever the field's size says.
  const int width = std::min(static_cast<int>(particles.fieldWidth), screenColumns);
  const int height = std::min(static_cast<int>(particles.fieldHeight), screenRows);
  // The world's origin is at column and row fieldWidth / 2, on both axes.
  const int origin = particles.fieldWidth / 2;
  const float stepX = secondSampleStepX(ripplePhase);
  const float stepY = secondSampleStepY(ripplePhase);
  for (int column = 1; column <= width; ++column) {
    for (int row = 1; row <= height; ++row) {
      const auto x = static_cast<float>(2 * (column - origin));
      const auto y = static_cast<float>(2 * (row - origin));
      const int first = sampleBit(particles, x, y);
      const int second = sampleBit(particles, x + stepX, y + stepY);
      paintCell(cellScreen[cellIndex(row - 1, column)], first, second, ripplePhase);
    }
  }
}

void rippleScaledSums(const ParticleSystem& particles, std::int32_t ripplePhase, RipplePath path,
                      std::span<float, 2 * cellCount> sums) {
#if VANTREL_RIPPLE_LANES
  const ripple_lanes::Kernel* kernel = kernelFor(path);
  if (kernel != nullptr && kernelsCover(particles)) {
    const KernelSources gathered(particles);
    kernel->scaledSums(gathered.sources, ripplePhase, sums.data());
    return;
  }
#else
  (void)path;
#endif
  const float stepX = secondSampleStepX(ripplePhase);
  const float stepY = secondSampleStepY(ripplePhase);
  const int origin = particles.fieldWidth / 2;
  for (int row = 1; row <= screenRows; ++row) {
    for (int column = 1; column <= screenColumns; ++column) {
      const auto x = static_cast<float>(2 * (column - origin));
      const auto y = static_cast<float>(2 * (row - origin));
      const auto first = static_cast<std::size_t>(2 * (cellIndex(row - 1, column) - 1));
      sums[first] = rippleScaledSum(particles, x, y);
      sums[first + 1] = rippleScaledSum(particles, x + stepX, y + stepY);
    }
  }
}

void paintRippleField(const ParticleSystem& particles, std::int32_t ripplePhase, RipplePath path,
                      CellScreen& cellScreen) {
#if VANTREL_RIPPLE_LANES
  const ripple_lanes::Kernel* kernel = kernelFor(path);
  if (kernel != nullptr && kernelsCover(particles)) {
    paintWithLanes(particles, ripplePhase, *kernel, cellScreen);
    return;
  }
#else
  (void)path;
#endif
  paintRippleFieldScalar(particles, ripplePhase, cellScreen);
}

void drawRippleField(RippleField& ripple, ParticleSystem& particles, CellScreen& cellScreen) {
  if (ripple.ripplePhase == 0) ripple.ripplePhase = 1;
  ripple.ripplePhase = -ripple.ripplePhase;
  stepParticles(particles);
  paintRippleField(particles, ripple.ripplePhase, ripple.path, cellScreen);
}

}  // namespace vantrel
