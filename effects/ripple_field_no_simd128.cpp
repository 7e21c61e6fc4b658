// The browser build for browsers without WebAssembly SIMD128: no kernel, so
// the ripple field is painted one sample point at a time.

#include "effects/ripple_field_lanes.hpp"

namespace vantrel::ripple_lanes {

const Kernel* simd128Kernel() {
  return nullptr;
}

}  // namespace vantrel::ripple_lanes
