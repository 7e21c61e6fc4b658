#pragma once
// The pixel view: the console picture itself, 640 x 600 pixels of the demo's
// 8 x 12 font, sent to a terminal that draws images, at the largest whole
// scale its text area holds (each picture pixel an n x n square), centred on
// whole cells. Two ways to send it, by what the terminal answered:
//
//   kitty   the kitty graphics protocol: the whole picture as a palette PNG,
//           one image that each frame replaces
//   sixel   sixel images in whole-percent colours: the rows that changed
//           since the last frame, from the cell row they start in
//
// Pure: the caller writes the bytes.

#include <array>
#include <string_view>

#include "picture/console_picture.hpp"
#include "platform/terminal/output_buffer.hpp"
#include "platform/terminal/palette_png.hpp"
#include "platform/terminal/terminal_probe.hpp"
#include "platform/terminal/terminal_renderer.hpp"
#include "text/glyph_table.hpp"

namespace vantrel {

enum class ImageProtocol { none, kitty, sixel };

// The protocol to send images with: kitty's where it answered the query
// (its colours are exact), sixel where DA1 lists it.
ImageProtocol imageProtocolOf(const TerminalAnswers& answers);

// What ends any string a frame cut short (a resize, a stop) left open, and
// then takes the picture away: the kitty image is deleted; a sixel image is
// pixels of the cells it covers and goes with the text view's repaint. Two
// parts, sent one after the other (no allocation in the frame loop).
std::array<std::string_view, 2> imageTakeAway(ImageProtocol protocol);

// Where the picture goes: its scale (0 where it does not fit) and the cell
// of its top-left corner (0-based).
struct PixelPlacement {
  int scale = 0;
  int column = 0;
  int row = 0;
  CellPixels cell;

  bool fits() const { return scale >= 1; }
  friend bool operator==(const PixelPlacement&, const PixelPlacement&) = default;
};

// The placement in a terminal of `shown` cells of `cell` pixels. A sixel
// image keeps off the last row (a terminal scrolls when an image reaches
// it) and within the terminal's largest image, where it said.
PixelPlacement placePicture(ImageProtocol protocol, TerminalSize shown, CellPixels cell,
                            CellPixels sixelLimit = {});

class PixelPresenter {
 public:
  explicit PixelPresenter(ImageProtocol protocol);

  ImageProtocol protocol() const { return protocol_; }
  // From the next frame on the picture goes to `placement`, sent whole onto
  // a cleared screen. Makes room for that scale's frames.
  void place(PixelPlacement placement);
  // The next frame is sent whole (after a resume).
  void repaint() { repaintAll_ = true; }
  const PixelPlacement& placement() const { return placement_; }

  // The bytes that bring the terminal from the last frame to `screen`;
  // empty when it already shows it. Valid until the next call.
  std::string_view render(const CellScreen& screen);

 private:
  void renderKitty();
  void renderSixel(int firstRow, int endRow);

  ImageProtocol protocol_;
  GlyphTable glyphTable_{};
  ColourIndexImage picture_;
  ColourIndexImage shown_;  // what the terminal shows
  PalettePngEncoder png_;
  OutputBuffer out_;
  PixelPlacement placement_{};
  bool repaintAll_ = true;
};

}  // namespace vantrel
