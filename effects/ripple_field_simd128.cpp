// The ripple field's kernel for WebAssembly SIMD128: two sample points at a
// time, as the SSE2 kernel computes them. Only the browser build that uses
// SIMD128 links this file; the other links ripple_field_no_simd128.cpp.

#include <wasm_simd128.h>

#include "effects/ripple_field_lanes_body.hpp"

namespace vantrel::ripple_lanes {

namespace {

// The portable sine's operations on two doubles.
struct Simd128Sine {
  using Vector = v128_t;
  static constexpr int width = 2;
  static v128_t set(double c) { return wasm_f64x2_splat(c); }
  static v128_t add(v128_t a, v128_t b) { return wasm_f64x2_add(a, b); }
  static v128_t sub(v128_t a, v128_t b) { return wasm_f64x2_sub(a, b); }
  static v128_t mul(v128_t a, v128_t b) { return wasm_f64x2_mul(a, b); }
  static v128_t quadrantIsOdd(v128_t shifted) {
    const v128_t one = wasm_i64x2_splat(1);
    return wasm_i64x2_eq(wasm_v128_and(shifted, one), one);
  }
  static v128_t signOfQuadrant(v128_t shifted) {
    return wasm_i64x2_shl(wasm_v128_and(shifted, wasm_i64x2_splat(2)), 62);
  }
  static v128_t select(v128_t mask, v128_t a, v128_t b) { return wasm_v128_bitselect(a, b, mask); }
  static v128_t flipSign(v128_t v, v128_t sign) { return wasm_v128_xor(v, sign); }
  static bool allWithin(v128_t v, double limit) {
    return wasm_i64x2_all_true(wasm_f64x2_le(wasm_f64x2_abs(v), wasm_f64x2_splat(limit)));
  }
  static v128_t load(const double* p) { return wasm_v128_load(p); }
  static void store(double* p, v128_t v) { wasm_v128_store(p, v); }
};

// Single-precision lanes 0 and 1 widened to double, and back (rounded once).
v128_t widened(v128_t floats) {
  return wasm_f64x2_promote_low_f32x4(floats);
}
v128_t narrowed(v128_t doubles) {
  return wasm_f32x4_demote_f64x2_zero(doubles);
}

// The quick estimate's operations on four floats.
struct Simd128Quick {
  using Vector = v128_t;
  static constexpr int width = 4;
  static v128_t set(float c) { return wasm_f32x4_splat(c); }
  static v128_t add(v128_t a, v128_t b) { return wasm_f32x4_add(a, b); }
  static v128_t sub(v128_t a, v128_t b) { return wasm_f32x4_sub(a, b); }
  static v128_t mul(v128_t a, v128_t b) { return wasm_f32x4_mul(a, b); }
  static v128_t sqrt(v128_t a) { return wasm_f32x4_sqrt(a); }
  static v128_t load(const float* p) { return wasm_v128_load(p); }
  static v128_t flipByParity(v128_t v, v128_t shifted) {
    return wasm_v128_xor(v, wasm_i32x4_shl(wasm_v128_and(shifted, wasm_i32x4_splat(1)), 31));
  }
  static void storeBandBits(v128_t shifted, v128_t offEdge, std::int32_t* bits) {
    const v128_t below = wasm_u32x4_shr(offEdge, 31);
    wasm_v128_store(bits, wasm_v128_and(wasm_v128_xor(shifted, below), wasm_i32x4_splat(1)));
  }
  static unsigned unsureLanes(v128_t offEdge, v128_t margin) {
    const v128_t clear = wasm_f32x4_gt(wasm_f32x4_abs(offEdge), margin);
    return ~static_cast<unsigned>(wasm_i32x4_bitmask(clear)) & 0xFU;
  }
};

struct Simd128Lanes {
  static constexpr int width = 2;

  // Exactly the scalar field's operations, two points at a time (lanes 0, 1
  // of the single-precision result).
  static v128_t scaled(const Sources& sources, const float* xs, float y) {
    const v128_t pointX = wasm_f32x4_make(xs[0], xs[1], 0.0F, 0.0F);
    const v128_t pointY = wasm_f32x4_splat(y);
    const v128_t waveNumber = wasm_f64x2_splat(static_cast<double>(-0.11F));
    const v128_t amplitude = wasm_f64x2_splat(100.0);
    v128_t sum = wasm_f32x4_splat(0.0F);
    for (int k = 0; k < sources.count; ++k) {
      const v128_t dx = widened(wasm_f32x4_sub(pointX, wasm_f32x4_splat(sources.x[k])));
      const v128_t dy = widened(wasm_f32x4_sub(pointY, wasm_f32x4_splat(sources.y[k])));
      const v128_t distance =
          wasm_f64x2_sqrt(wasm_f64x2_add(wasm_f64x2_mul(dx, dx), wasm_f64x2_mul(dy, dy)));
      const v128_t sine = sineLanes<Simd128Sine>(wasm_f64x2_mul(waveNumber, distance));
      sum = narrowed(wasm_f64x2_add(widened(sum), wasm_f64x2_mul(amplitude, sine)));
    }
    return narrowed(wasm_f64x2_div(widened(sum), wasm_f64x2_splat(sources.divisor)));
  }

  static void scaledSums(const Sources& sources, const float* xs, float y, float* sums) {
    const v128_t s = scaled(sources, xs, y);
    sums[0] = wasm_f32x4_extract_lane(s, 0);
    sums[1] = wasm_f32x4_extract_lane(s, 1);
  }

  // floor((s + 0.5) / 8) odd: bit 1; not finite: -1.
  static void bandBits(const Sources& sources, const float* xs, float y, std::int32_t* bits) {
    const v128_t s = scaled(sources, xs, y);
    const v128_t band = wasm_f64x2_floor(
        wasm_f64x2_div(wasm_f64x2_add(widened(s), wasm_f64x2_splat(0.5)), wasm_f64x2_splat(8.0)));
    const v128_t half = wasm_f64x2_mul(band, wasm_f64x2_splat(0.5));
    const v128_t odd = wasm_f64x2_ne(half, wasm_f64x2_floor(half));
    const v128_t finite = wasm_f32x4_eq(wasm_f32x4_sub(s, s), wasm_f32x4_splat(0.0F));
    const std::int32_t oddLanes[2] = {wasm_i64x2_extract_lane(odd, 0) != 0 ? 1 : 0,
                                      wasm_i64x2_extract_lane(odd, 1) != 0 ? 1 : 0};
    bits[0] = wasm_i32x4_extract_lane(finite, 0) != 0 ? oddLanes[0] : -1;
    bits[1] = wasm_i32x4_extract_lane(finite, 1) != 0 ? oddLanes[1] : -1;
  }

  static void sines(const double* radians, double* out) {
    wasm_v128_store(out, sineLanes<Simd128Sine>(wasm_v128_load(radians)));
  }
};

void fillCodes(const Sources& sources, std::int32_t ripplePhase, std::uint8_t* codes) {
  fillCodesWith<Simd128Lanes, Simd128Quick>(sources, ripplePhase, codes);
}

void scaledSums(const Sources& sources, std::int32_t ripplePhase, float* sums) {
  scaledSumsWith<Simd128Lanes>(sources, ripplePhase, sums);
}

void sines(const double* radians, double* out, int count) {
  sinesWith<Simd128Lanes>(radians, out, count);
}

constexpr Kernel kernel{fillCodes, scaledSums, sines};

}  // namespace

const Kernel* simd128Kernel() {
  return &kernel;
}

}  // namespace vantrel::ripple_lanes
