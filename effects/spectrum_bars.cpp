#include "effects/spectrum_bars.hpp"

namespace vantrel {

void drawSpectrumBars(const SpectrumEntry*, CellScreen&) {}

}  // namespace vantrel
