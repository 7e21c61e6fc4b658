#pragma once
// The console picture as sixel: rows of a picture in the console colours,
// scaled by a whole number, each colour a register defined in whole percents
// (the console's 128 as 50%, which terminals draw as 127 or 128) and each
// band of six pixel rows run-length encoded, colour by colour.

#include "platform/terminal/output_buffer.hpp"
#include "platform/terminal/palette_png.hpp"

namespace vantrel {

// Appends one sixel image of the scaled rows [top, top + height) of
// `picture` (at most 1024 pixels wide) at `scale`, placed by the terminal at
// the cursor. Only the colours those rows use are defined.
void appendSixelImage(OutputBuffer& out, const ColourIndexPicture& picture, int scale, int top,
                      int height);

// The most bytes appendSixelImage sends for `height` scaled rows of a picture
// `width` pixels wide at `scale`.
std::size_t sixelImageSizeFor(int width, int scale, int height);

}  // namespace vantrel
