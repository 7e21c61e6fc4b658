#include "text/scroller.hpp"

namespace vantrel {

void renderGlyphTile(Scroller&, const GlyphTable&, unsigned char) {}
void initScroller(Scroller& scroller, const GlyphTable&) { scroller.scrollPos += 1; }
ScrollerStatus drawScroller(Scroller& scroller, const GlyphTable&, CellScreen&) {
  ++scroller.scrollFrameCount;
  return ScrollerStatus::running;
}

}  // namespace vantrel
