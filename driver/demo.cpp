#include "driver/demo.hpp"

#include "effects/spectrum_bars.hpp"
#include "text/message.hpp"

namespace vantrel {

void prepareScroller(Demo& demo) {
  Scroller& scroller = demo.scroller;
  scroller.scrollText = buildScrollText();
  scroller.scrollLength = static_cast<std::int32_t>(scroller.scrollText.size());
  scroller.scrollPos = 1;
  scroller.glyphColumn = 0;
  loadGlyphTable(demo.glyphTable);
  initScroller(scroller, demo.glyphTable);
}

void prepareParticles(Demo& demo, std::uint32_t seed) {
  initParticles(demo.particles, seed);
  warmUpParticles(demo);
}

void warmUpParticles(Demo& demo) {
  for (int step = 0; step < warmUpSteps; ++step) stepParticles(demo.particles);
}

FrameOutcome drawFrame(Demo& demo) {
  drawRippleField(demo.ripple, demo.particles, demo.cellScreen);
  drawSpectrumBars(demo.spectrum, demo.cellScreen);
  if (drawScroller(demo.scroller, demo.glyphTable, demo.cellScreen) ==
      ScrollerStatus::messageEnded) {
    return FrameOutcome::messageEnded;
  }
  return FrameOutcome::drawn;
}

}  // namespace vantrel
