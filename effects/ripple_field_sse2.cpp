// The ripple field's kernel for SSE2, which every x86-64 processor has: two
// sample points at a time.

#include <immintrin.h>

#include "effects/ripple_field_lanes_body.hpp"

namespace vantrel::ripple_lanes {

namespace {

// The portable sine's operations on two doubles.
struct Sse2Sine {
  using Vector = __m128d;
  static constexpr int width = 2;
  static __m128d set(double c) { return _mm_set1_pd(c); }
  static __m128d add(__m128d a, __m128d b) { return _mm_add_pd(a, b); }
  static __m128d sub(__m128d a, __m128d b) { return _mm_sub_pd(a, b); }
  static __m128d mul(__m128d a, __m128d b) { return _mm_mul_pd(a, b); }
  static __m128d quadrantIsOdd(__m128d shifted) {
    // SSE2 compares 32-bit halves only: compare the low halves, then copy
    // each result over its whole lane.
    const __m128i one = _mm_set1_epi64x(1);
    const __m128i low = _mm_cmpeq_epi32(_mm_and_si128(_mm_castpd_si128(shifted), one), one);
    return _mm_castsi128_pd(_mm_shuffle_epi32(low, _MM_SHUFFLE(2, 2, 0, 0)));
  }
  static __m128d signOfQuadrant(__m128d shifted) {
    const __m128i bit = _mm_and_si128(_mm_castpd_si128(shifted), _mm_set1_epi64x(2));
    return _mm_castsi128_pd(_mm_slli_epi64(bit, 62));
  }
  static __m128d select(__m128d mask, __m128d a, __m128d b) {
    return _mm_or_pd(_mm_and_pd(mask, a), _mm_andnot_pd(mask, b));
  }
  static __m128d flipSign(__m128d v, __m128d sign) { return _mm_xor_pd(v, sign); }
  static bool allWithin(__m128d v, double limit) {
    const __m128d magnitude = _mm_andnot_pd(_mm_set1_pd(-0.0), v);
    return _mm_movemask_pd(_mm_cmple_pd(magnitude, _mm_set1_pd(limit))) == 0x3;
  }
  static __m128d load(const double* p) { return _mm_loadu_pd(p); }
  static void store(double* p, __m128d v) { _mm_storeu_pd(p, v); }
};

// The quick estimate's operations on four floats.
struct Sse2Quick {
  using Vector = __m128;
  static constexpr int width = 4;
  static __m128 set(float c) { return _mm_set1_ps(c); }
  static __m128 add(__m128 a, __m128 b) { return _mm_add_ps(a, b); }
  static __m128 sub(__m128 a, __m128 b) { return _mm_sub_ps(a, b); }
  static __m128 mul(__m128 a, __m128 b) { return _mm_mul_ps(a, b); }
  static __m128 sqrt(__m128 a) { return _mm_sqrt_ps(a); }
  static __m128 load(const float* p) { return _mm_loadu_ps(p); }
  static __m128 flipByParity(__m128 v, __m128 shifted) {
    const __m128i parity = _mm_and_si128(_mm_castps_si128(shifted), _mm_set1_epi32(1));
    return _mm_xor_ps(v, _mm_castsi128_ps(_mm_slli_epi32(parity, 31)));
  }
  static void storeBandBits(__m128 shifted, __m128 offEdge, std::int32_t* bits) {
    const __m128i below = _mm_srli_epi32(_mm_castps_si128(offEdge), 31);
    const __m128i bit =
        _mm_and_si128(_mm_xor_si128(_mm_castps_si128(shifted), below), _mm_set1_epi32(1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(bits), bit);
  }
  static unsigned unsureLanes(__m128 offEdge, __m128 margin) {
    const __m128 magnitude = _mm_andnot_ps(_mm_set1_ps(-0.0F), offEdge);
    const int clear = _mm_movemask_ps(_mm_cmpgt_ps(magnitude, margin));
    return ~static_cast<unsigned>(clear) & 0xFU;
  }
};

struct Sse2Lanes {
  static constexpr int width = 2;

  // Exactly the scalar field's operations, two points at a time (lanes 0, 1).
  static __m128 scaled(const Sources& sources, const float* xs, float y) {
    const __m128 pointX = _mm_setr_ps(xs[0], xs[1], 0.0F, 0.0F);
    const __m128 pointY = _mm_set1_ps(y);
    const __m128d waveNumber = _mm_set1_pd(static_cast<double>(-0.11F));
    const __m128d amplitude = _mm_set1_pd(100.0);
    __m128 sum = _mm_setzero_ps();
    for (int k = 0; k < sources.count; ++k) {
      const __m128d dx = _mm_cvtps_pd(_mm_sub_ps(pointX, _mm_set1_ps(sources.x[k])));
      const __m128d dy = _mm_cvtps_pd(_mm_sub_ps(pointY, _mm_set1_ps(sources.y[k])));
      const __m128d distance = _mm_sqrt_pd(_mm_add_pd(_mm_mul_pd(dx, dx), _mm_mul_pd(dy, dy)));
      const __m128d sine = sineLanes<Sse2Sine>(_mm_mul_pd(waveNumber, distance));
      sum = _mm_cvtpd_ps(_mm_add_pd(_mm_cvtps_pd(sum), _mm_mul_pd(amplitude, sine)));
    }
    return _mm_cvtpd_ps(_mm_div_pd(_mm_cvtps_pd(sum), _mm_set1_pd(sources.divisor)));
  }

  static void scaledSums(const Sources& sources, const float* xs, float y, float* sums) {
    _mm_storel_pi(reinterpret_cast<__m64*>(sums), scaled(sources, xs, y));
  }

  static void bandBits(const Sources& sources, const float* xs, float y, std::int32_t* bits) {
    const __m128 s = scaled(sources, xs, y);
    const __m128d quotient =
        _mm_div_pd(_mm_add_pd(_mm_cvtps_pd(s), _mm_set1_pd(0.5)), _mm_set1_pd(8.0));
    // Floor without SSE4.1: truncate, then step down where truncation went up.
    // A finite s keeps the quotient far inside 32-bit range.
    const __m128i truncated = _mm_cvttpd_epi32(quotient);
    const __m128d wentUp = _mm_cmpgt_pd(_mm_cvtepi32_pd(truncated), quotient);
    const __m128i stepDown = _mm_shuffle_epi32(_mm_castpd_si128(wentUp), _MM_SHUFFLE(3, 1, 2, 0));
    const __m128i band = _mm_add_epi32(truncated, stepDown);
    const __m128i bit = _mm_and_si128(band, _mm_set1_epi32(1));
    const __m128i finite = _mm_castps_si128(_mm_cmpeq_ps(_mm_sub_ps(s, s), _mm_setzero_ps()));
    const __m128i result =
        _mm_or_si128(_mm_and_si128(finite, bit), _mm_andnot_si128(finite, _mm_set1_epi32(-1)));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(bits), result);
  }

  static void sines(const double* radians, double* out) {
    _mm_storeu_pd(out, sineLanes<Sse2Sine>(_mm_loadu_pd(radians)));
  }
};

}  // namespace

void fillCodesSse2(const Sources& sources, std::int32_t ripplePhase, std::uint8_t* codes) {
  fillCodesWith<Sse2Lanes, Sse2Quick>(sources, ripplePhase, codes);
}

void scaledSumsSse2(const Sources& sources, std::int32_t ripplePhase, float* sums) {
  scaledSumsWith<Sse2Lanes>(sources, ripplePhase, sums);
}

void sinesSse2(const double* radians, double* sines, int count) {
  sinesWith<Sse2Lanes>(radians, sines, count);
}

}  // namespace vantrel::ripple_lanes
