#pragma once
// A sine and cosine that give the same bits in every build: on every compiler,
// processor and C library, and in scalar and vector form alike. They use only
// additions, subtractions and multiplications, each rounded once (so their
// callers must not let the compiler fuse a multiply with an add), and are
// within about one unit in the last place of the true value wherever the
// argument is below about a million radians. Beyond that the argument is
// first reduced by the double nearest 2 pi with the exact floating remainder:
// still the same bits everywhere, no longer the true sine.

namespace vantrel {

double portableSine(double radians);
double portableCosine(double radians);

}  // namespace vantrel
