#pragma once
// The one definition of the portable sine's arithmetic, written once for any
// number of lanes. The scalar functions and each vector kernel instantiate it
// with an Ops type of their own (in an unnamed namespace, so that a copy
// compiled for a wider instruction set stays in its file), so every build and
// every kernel performs exactly the same operations in the same order:
//
//   Vector                      the lanes' type
//   set(c)                      c in every lane
//   add, sub, mul               lane by lane, each rounded once
//   quadrantIsOdd(shifted)      a lane mask: bit 0 of shifted's bit pattern
//   signOfQuadrant(shifted)     bit 1 of shifted's bit pattern, moved to the
//                               sign bit, zero elsewhere
//   select(mask, a, b)          a where the mask is set, otherwise b
//   flipSign(v, sign)           v with its sign bit exclusive-or'ed with sign's

namespace vantrel::portable_sine {

// Arguments up to this size reduce exactly enough: n x piOver2High is exact
// for every quadrant number n below 2^20.
inline constexpr double reductionLimit = 0x1p20;

inline constexpr double twoOverPi = 6.36619772367581382433e-01;
// 2^52 + 2^51: adding it rounds to a whole number and leaves that number, in
// two's complement, in the low bits of the sum's bit pattern.
inline constexpr double roundingShift = 0x1.8p52;
// pi / 2 as its leading 33 bits and the rest.
inline constexpr double piOver2High = 1.57079632673412561417e+00;
inline constexpr double piOver2Low = 6.07710050650619224932e-11;

// Minimax polynomials for sine and cosine on [-pi/4, pi/4].
inline constexpr double sin1 = -1.66666666666666324348e-01;
inline constexpr double sin2 = 8.33333333332248946124e-03;
inline constexpr double sin3 = -1.98412698298579493134e-04;
inline constexpr double sin4 = 2.75573137070700676789e-06;
inline constexpr double sin5 = -2.50507602534068634195e-08;
inline constexpr double sin6 = 1.58969099521155010221e-10;
inline constexpr double cos1 = 4.16666666666666019037e-02;
inline constexpr double cos2 = -1.38888888888741095749e-03;
inline constexpr double cos3 = 2.48015872894767294178e-05;
inline constexpr double cos4 = -2.75573143513906633035e-07;
inline constexpr double cos5 = 2.08757232129817482790e-09;
inline constexpr double cos6 = -1.13596475577881948265e-11;

// sin(head + tail) for |head + tail| <= pi/4, tail a correction far below
// head's last bit.
template <class Ops>
typename Ops::Vector sineKernel(typename Ops::Vector head, typename Ops::Vector tail) {
  const auto z = Ops::mul(head, head);
  const auto w = Ops::mul(z, z);
  const auto r = Ops::add(
      Ops::add(Ops::set(sin2), Ops::mul(z, Ops::add(Ops::set(sin3), Ops::mul(z, Ops::set(sin4))))),
      Ops::mul(Ops::mul(z, w), Ops::add(Ops::set(sin5), Ops::mul(z, Ops::set(sin6)))));
  const auto v = Ops::mul(z, head);
  // head - ((z * (tail / 2 - v * r) - tail) - v * sin1)
  const auto inner =
      Ops::sub(Ops::mul(z, Ops::sub(Ops::mul(Ops::set(0.5), tail), Ops::mul(v, r))), tail);
  return Ops::sub(head, Ops::sub(inner, Ops::mul(v, Ops::set(sin1))));
}

// cos(head + tail), on the same terms.
template <class Ops>
typename Ops::Vector cosineKernel(typename Ops::Vector head, typename Ops::Vector tail) {
  const auto z = Ops::mul(head, head);
  const auto w = Ops::mul(z, z);
  const auto low = Ops::mul(
      z,
      Ops::add(Ops::set(cos1), Ops::mul(z, Ops::add(Ops::set(cos2), Ops::mul(z, Ops::set(cos3))))));
  const auto high = Ops::mul(
      Ops::mul(w, w),
      Ops::add(Ops::set(cos4), Ops::mul(z, Ops::add(Ops::set(cos5), Ops::mul(z, Ops::set(cos6))))));
  const auto r = Ops::add(low, high);
  const auto halfZ = Ops::mul(Ops::set(0.5), z);
  const auto one = Ops::set(1.0);
  const auto rest = Ops::sub(one, halfZ);
  // rest + (((1 - rest) - z / 2) + (z * r - head * tail)), keeping the bits
  // that 1 - z / 2 rounds away.
  const auto lost = Ops::sub(Ops::sub(one, rest), halfZ);
  return Ops::add(rest, Ops::add(lost, Ops::sub(Ops::mul(z, r), Ops::mul(head, tail))));
}

// sin(x), or cos(x) when quarterTurns is 1, for |x| <= reductionLimit.
template <class Ops, int quarterTurns = 0>
typename Ops::Vector sineOfReduced(typename Ops::Vector x) {
  const auto shifted = Ops::add(Ops::mul(x, Ops::set(twoOverPi)), Ops::set(roundingShift));
  const auto n = Ops::sub(shifted, Ops::set(roundingShift));
  // x - n pi/2 as head + tail: the first subtraction is exact.
  const auto reduced = Ops::sub(x, Ops::mul(n, Ops::set(piOver2High)));
  const auto correction = Ops::mul(n, Ops::set(piOver2Low));
  const auto head = Ops::sub(reduced, correction);
  const auto tail = Ops::sub(Ops::sub(reduced, head), correction);
  // Quadrant n + quarterTurns: sin, cos, -sin, -cos.
  const auto quadrant = Ops::add(shifted, Ops::set(static_cast<double>(quarterTurns)));
  const auto value = Ops::select(Ops::quadrantIsOdd(quadrant), cosineKernel<Ops>(head, tail),
                                 sineKernel<Ops>(head, tail));
  return Ops::flipSign(value, Ops::signOfQuadrant(quadrant));
}

}  // namespace vantrel::portable_sine
