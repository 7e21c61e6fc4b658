// The ripple field's kernel for AVX2: four sample points at a time. This file
// is compiled for AVX2 and runs only where the processor has it.

#include <immintrin.h>

#include "effects/ripple_field_lanes_body.hpp"

namespace vantrel::ripple_lanes {

namespace {

// The portable sine's operations on four doubles.
struct Avx2Sine {
  using Vector = __m256d;
  static constexpr int width = 4;
  static __m256d set(double c) { return _mm256_set1_pd(c); }
  static __m256d add(__m256d a, __m256d b) { return _mm256_add_pd(a, b); }
  static __m256d sub(__m256d a, __m256d b) { return _mm256_sub_pd(a, b); }
  static __m256d mul(__m256d a, __m256d b) { return _mm256_mul_pd(a, b); }
  static __m256d quadrantIsOdd(__m256d shifted) {
    const __m256i one = _mm256_set1_epi64x(1);
    const __m256i bit = _mm256_and_si256(_mm256_castpd_si256(shifted), one);
    return _mm256_castsi256_pd(_mm256_cmpeq_epi64(bit, one));
  }
  static __m256d signOfQuadrant(__m256d shifted) {
    const __m256i bit = _mm256_and_si256(_mm256_castpd_si256(shifted), _mm256_set1_epi64x(2));
    return _mm256_castsi256_pd(_mm256_slli_epi64(bit, 62));
  }
  static __m256d select(__m256d mask, __m256d a, __m256d b) { return _mm256_blendv_pd(b, a, mask); }
  static __m256d flipSign(__m256d v, __m256d sign) { return _mm256_xor_pd(v, sign); }
  static bool allWithin(__m256d v, double limit) {
    const __m256d magnitude = _mm256_andnot_pd(_mm256_set1_pd(-0.0), v);
    return _mm256_movemask_pd(_mm256_cmp_pd(magnitude, _mm256_set1_pd(limit), _CMP_LE_OQ)) == 0xF;
  }
  static __m256d load(const double* p) { return _mm256_loadu_pd(p); }
  static void store(double* p, __m256d v) { _mm256_storeu_pd(p, v); }
};

// The quick estimate's operations on eight floats.
struct Avx2Quick {
  using Vector = __m256;
  static constexpr int width = 8;
  static __m256 set(float c) { return _mm256_set1_ps(c); }
  static __m256 add(__m256 a, __m256 b) { return _mm256_add_ps(a, b); }
  static __m256 sub(__m256 a, __m256 b) { return _mm256_sub_ps(a, b); }
  static __m256 mul(__m256 a, __m256 b) { return _mm256_mul_ps(a, b); }
  static __m256 sqrt(__m256 a) { return _mm256_sqrt_ps(a); }
  static __m256 load(const float* p) { return _mm256_loadu_ps(p); }
  static __m256 flipByParity(__m256 v, __m256 shifted) {
    const __m256i parity = _mm256_and_si256(_mm256_castps_si256(shifted), _mm256_set1_epi32(1));
    return _mm256_xor_ps(v, _mm256_castsi256_ps(_mm256_slli_epi32(parity, 31)));
  }
  static void storeBandBits(__m256 shifted, __m256 offEdge, std::int32_t* bits) {
    const __m256i below = _mm256_srli_epi32(_mm256_castps_si256(offEdge), 31);
    const __m256i bit = _mm256_and_si256(_mm256_xor_si256(_mm256_castps_si256(shifted), below),
                                         _mm256_set1_epi32(1));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(bits), bit);
  }
  static unsigned unsureLanes(__m256 offEdge, __m256 margin) {
    const __m256 magnitude = _mm256_andnot_ps(_mm256_set1_ps(-0.0F), offEdge);
    const int clear = _mm256_movemask_ps(_mm256_cmp_ps(magnitude, margin, _CMP_GT_OQ));
    return ~static_cast<unsigned>(clear) & 0xFFU;
  }
};

struct Avx2Lanes {
  static constexpr int width = 4;

  // Exactly the scalar field's operations, four points at a time.
  static __m128 scaled(const Sources& sources, const float* xs, float y) {
    const __m128 pointX = _mm_loadu_ps(xs);
    const __m128 pointY = _mm_set1_ps(y);
    const __m256d waveNumber = _mm256_set1_pd(static_cast<double>(-0.11F));
    const __m256d amplitude = _mm256_set1_pd(100.0);
    __m128 sum = _mm_setzero_ps();
    for (int k = 0; k < sources.count; ++k) {
      const __m256d dx = _mm256_cvtps_pd(_mm_sub_ps(pointX, _mm_set1_ps(sources.x[k])));
      const __m256d dy = _mm256_cvtps_pd(_mm_sub_ps(pointY, _mm_set1_ps(sources.y[k])));
      const __m256d distance =
          _mm256_sqrt_pd(_mm256_add_pd(_mm256_mul_pd(dx, dx), _mm256_mul_pd(dy, dy)));
      const __m256d sine = sineLanes<Avx2Sine>(_mm256_mul_pd(waveNumber, distance));
      sum = _mm256_cvtpd_ps(_mm256_add_pd(_mm256_cvtps_pd(sum), _mm256_mul_pd(amplitude, sine)));
    }
    return _mm256_cvtpd_ps(_mm256_div_pd(_mm256_cvtps_pd(sum), _mm256_set1_pd(sources.divisor)));
  }

  static void scaledSums(const Sources& sources, const float* xs, float y, float* sums) {
    _mm_storeu_ps(sums, scaled(sources, xs, y));
  }

  static void bandBits(const Sources& sources, const float* xs, float y, std::int32_t* bits) {
    const __m128 s = scaled(sources, xs, y);
    const __m256d band = _mm256_floor_pd(
        _mm256_div_pd(_mm256_add_pd(_mm256_cvtps_pd(s), _mm256_set1_pd(0.5)), _mm256_set1_pd(8.0)));
    // A finite s keeps the band number far inside 32-bit range.
    const __m128i bit = _mm_and_si128(_mm256_cvttpd_epi32(band), _mm_set1_epi32(1));
    const __m128i finite = _mm_castps_si128(_mm_cmpeq_ps(_mm_sub_ps(s, s), _mm_setzero_ps()));
    const __m128i result =
        _mm_or_si128(_mm_and_si128(finite, bit), _mm_andnot_si128(finite, _mm_set1_epi32(-1)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(bits), result);
  }

  static void sines(const double* radians, double* out) {
    _mm256_storeu_pd(out, sineLanes<Avx2Sine>(_mm256_loadu_pd(radians)));
  }
};

}  // namespace

void fillCodesAvx2(const Sources& sources, std::int32_t ripplePhase, std::uint8_t* codes) {
  fillCodesWith<Avx2Lanes, Avx2Quick>(sources, ripplePhase, codes);
}

void scaledSumsAvx2(const Sources& sources, std::int32_t ripplePhase, float* sums) {
  scaledSumsWith<Avx2Lanes>(sources, ripplePhase, sums);
}

void sinesAvx2(const double* radians, double* sines, int count) {
  sinesWith<Avx2Lanes>(radians, sines, count);
}

}  // namespace vantrel::ripple_lanes
