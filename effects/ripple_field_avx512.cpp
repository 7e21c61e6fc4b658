// The ripple field's kernel for AVX-512: eight sample points at a time. This
// file is compiled for AVX-512F and runs only where the processor has it.

// GCC 12 takes the deliberately undefined pass-through operands inside its
// own AVX-512 intrinsics for uninitialised variables (fixed in later GCC).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <immintrin.h>

#include "effects/ripple_field_lanes_body.hpp"

namespace vantrel::ripple_lanes {

namespace {

// The portable sine's operations on eight doubles, with AVX-512F alone.
struct Avx512Sine {
  using Vector = __m512d;
  static constexpr int width = 8;
  static __m512d set(double c) { return _mm512_set1_pd(c); }
  static __m512d add(__m512d a, __m512d b) { return _mm512_add_pd(a, b); }
  static __m512d sub(__m512d a, __m512d b) { return _mm512_sub_pd(a, b); }
  static __m512d mul(__m512d a, __m512d b) { return _mm512_mul_pd(a, b); }
  static __mmask8 quadrantIsOdd(__m512d shifted) {
    return _mm512_test_epi64_mask(_mm512_castpd_si512(shifted), _mm512_set1_epi64(1));
  }
  static __m512i signOfQuadrant(__m512d shifted) {
    const __m512i bit = _mm512_and_si512(_mm512_castpd_si512(shifted), _mm512_set1_epi64(2));
    return _mm512_slli_epi64(bit, 62);
  }
  static __m512d select(__mmask8 mask, __m512d a, __m512d b) {
    return _mm512_mask_blend_pd(mask, b, a);
  }
  static __m512d flipSign(__m512d v, __m512i sign) {
    return _mm512_castsi512_pd(_mm512_xor_si512(_mm512_castpd_si512(v), sign));
  }
  static bool allWithin(__m512d v, double limit) {
    return _mm512_cmp_pd_mask(_mm512_abs_pd(v), _mm512_set1_pd(limit), _CMP_LE_OQ) == 0xFF;
  }
  static __m512d load(const double* p) { return _mm512_loadu_pd(p); }
  static void store(double* p, __m512d v) { _mm512_storeu_pd(p, v); }
};

// The quick estimate's operations on sixteen floats.
struct Avx512Quick {
  using Vector = __m512;
  static constexpr int width = 16;
  static __m512 set(float c) { return _mm512_set1_ps(c); }
  static __m512 add(__m512 a, __m512 b) { return _mm512_add_ps(a, b); }
  static __m512 sub(__m512 a, __m512 b) { return _mm512_sub_ps(a, b); }
  static __m512 mul(__m512 a, __m512 b) { return _mm512_mul_ps(a, b); }
  static __m512 sqrt(__m512 a) { return _mm512_sqrt_ps(a); }
  static __m512 load(const float* p) { return _mm512_loadu_ps(p); }
  static __m512 flipByParity(__m512 v, __m512 shifted) {
    const __m512i parity = _mm512_and_si512(_mm512_castps_si512(shifted), _mm512_set1_epi32(1));
    return _mm512_castsi512_ps(
        _mm512_xor_si512(_mm512_castps_si512(v), _mm512_slli_epi32(parity, 31)));
  }
  static void storeBandBits(__m512 shifted, __m512 offEdge, std::int32_t* bits) {
    const __m512i below = _mm512_srli_epi32(_mm512_castps_si512(offEdge), 31);
    const __m512i bit = _mm512_and_si512(_mm512_xor_si512(_mm512_castps_si512(shifted), below),
                                         _mm512_set1_epi32(1));
    _mm512_storeu_si512(bits, bit);
  }
  static unsigned unsureLanes(__m512 offEdge, __m512 margin) {
    const __mmask16 clear = _mm512_cmp_ps_mask(_mm512_abs_ps(offEdge), margin, _CMP_GT_OQ);
    return ~static_cast<unsigned>(clear) & 0xFFFFU;
  }
};

struct Avx512Lanes {
  static constexpr int width = 8;

  // Exactly the scalar field's operations, eight points at a time.
  static __m256 scaled(const Sources& sources, const float* xs, float y) {
    const __m256 pointX = _mm256_loadu_ps(xs);
    const __m256 pointY = _mm256_set1_ps(y);
    const __m512d waveNumber = _mm512_set1_pd(static_cast<double>(-0.11F));
    const __m512d amplitude = _mm512_set1_pd(100.0);
    __m256 sum = _mm256_setzero_ps();
    for (int k = 0; k < sources.count; ++k) {
      const __m512d dx = _mm512_cvtps_pd(_mm256_sub_ps(pointX, _mm256_set1_ps(sources.x[k])));
      const __m512d dy = _mm512_cvtps_pd(_mm256_sub_ps(pointY, _mm256_set1_ps(sources.y[k])));
      const __m512d distance =
          _mm512_sqrt_pd(_mm512_add_pd(_mm512_mul_pd(dx, dx), _mm512_mul_pd(dy, dy)));
      const __m512d sine = sineLanes<Avx512Sine>(_mm512_mul_pd(waveNumber, distance));
      sum = _mm512_cvtpd_ps(_mm512_add_pd(_mm512_cvtps_pd(sum), _mm512_mul_pd(amplitude, sine)));
    }
    return _mm512_cvtpd_ps(_mm512_div_pd(_mm512_cvtps_pd(sum), _mm512_set1_pd(sources.divisor)));
  }

  static void scaledSums(const Sources& sources, const float* xs, float y, float* sums) {
    _mm256_storeu_ps(sums, scaled(sources, xs, y));
  }

  static void bandBits(const Sources& sources, const float* xs, float y, std::int32_t* bits) {
    const __m256 s = scaled(sources, xs, y);
    const __m512d band = _mm512_roundscale_pd(
        _mm512_div_pd(_mm512_add_pd(_mm512_cvtps_pd(s), _mm512_set1_pd(0.5)), _mm512_set1_pd(8.0)),
        _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
    // A finite s keeps the band number far inside 32-bit range.
    const __m256i bit = _mm256_and_si256(_mm512_cvttpd_epi32(band), _mm256_set1_epi32(1));
    const __m256i finite =
        _mm256_castps_si256(_mm256_cmp_ps(_mm256_sub_ps(s, s), _mm256_setzero_ps(), _CMP_EQ_OQ));
    const __m256i result = _mm256_or_si256(_mm256_and_si256(finite, bit),
                                           _mm256_andnot_si256(finite, _mm256_set1_epi32(-1)));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(bits), result);
  }

  static void sines(const double* radians, double* out) {
    _mm512_storeu_pd(out, sineLanes<Avx512Sine>(_mm512_loadu_pd(radians)));
  }
};

}  // namespace

void fillCodesAvx512(const Sources& sources, std::int32_t ripplePhase, std::uint8_t* codes) {
  fillCodesWith<Avx512Lanes, Avx512Quick>(sources, ripplePhase, codes);
}

void scaledSumsAvx512(const Sources& sources, std::int32_t ripplePhase, float* sums) {
  scaledSumsWith<Avx512Lanes>(sources, ripplePhase, sums);
}

void sinesAvx512(const double* radians, double* sines, int count) {
  sinesWith<Avx512Lanes>(radians, sines, count);
}

}  // namespace vantrel::ripple_lanes
