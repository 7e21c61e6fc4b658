#include "platform/terminal/pixel_presenter.hpp"

#include <algorithm>
#include <cstring>

#include "platform/terminal/kitty_graphics.hpp"
#include "platform/terminal/sixel_image.hpp"
#include "platform/terminal/terminal_sequences.hpp"

namespace vantrel {

namespace {

constexpr std::string_view clearScreen = "\x1b[0m\x1b[2J";

void appendCursorTo(OutputBuffer& out, int row, int column) {
  out.append("\x1b[");
  out.appendNumber(row + 1);
  out.append(';');
  out.appendNumber(column + 1);
  out.append('H');
}

// The first picture row that differs between two pictures, or `height`.
int firstChangedRow(const ColourIndexPicture& a, const ColourIndexPicture& b) {
  const auto rowBytes = static_cast<std::size_t>(a.width);
  for (int y = 0; y < a.height; ++y) {
    const std::size_t at = static_cast<std::size_t>(y) * rowBytes;
    if (std::memcmp(a.pixels.data() + at, b.pixels.data() + at, rowBytes) != 0) return y;
  }
  return a.height;
}

int lastChangedRowEnd(const ColourIndexPicture& a, const ColourIndexPicture& b, int from) {
  const auto rowBytes = static_cast<std::size_t>(a.width);
  for (int y = a.height; y > from; --y) {
    const std::size_t at = static_cast<std::size_t>(y - 1) * rowBytes;
    if (std::memcmp(a.pixels.data() + at, b.pixels.data() + at, rowBytes) != 0) return y;
  }
  return from;
}

// What ends any string a frame cut short left open.
std::string_view cutFrameEnd(ImageProtocol protocol) {
  return protocol == ImageProtocol::kitty ? kittyTransmissionEnd : stringTerminator;
}

}  // namespace

std::array<std::string_view, 2> imageTakeAway(ImageProtocol protocol) {
  return {cutFrameEnd(protocol),
          protocol == ImageProtocol::kitty ? kittyImageDeletion : std::string_view{}};
}

ImageProtocol imageProtocolOf(const TerminalAnswers& answers) {
  if (answers.kittyGraphics) return ImageProtocol::kitty;
  if (answers.sixel) return ImageProtocol::sixel;
  return ImageProtocol::none;
}

PixelPlacement placePicture(ImageProtocol protocol, TerminalSize shown, CellPixels cell,
                            CellPixels sixelLimit) {
  if (protocol == ImageProtocol::none || !cell.known()) return {};
  const int rowsForImage = protocol == ImageProtocol::sixel ? shown.rows - 1 : shown.rows;
  int width = shown.columns * cell.width;
  int height = rowsForImage * cell.height;
  if (protocol == ImageProtocol::sixel && sixelLimit.known()) {
    width = std::min(width, sixelLimit.width);
    height = std::min(height, sixelLimit.height);
  }
  const int scale = std::min(width / screenPixelWidth, height / screenPixelHeight);
  if (scale < 1) return {};
  const int marginX = shown.columns * cell.width - scale * screenPixelWidth;
  const int marginY = rowsForImage * cell.height - scale * screenPixelHeight;
  return {scale, marginX / 2 / cell.width, marginY / 2 / cell.height, cell};
}

PixelPresenter::PixelPresenter(ImageProtocol protocol) : protocol_(protocol) {
  loadGlyphTable(glyphTable_);
}

void PixelPresenter::place(PixelPlacement placement) {
  placement_ = placement;
  repaintAll_ = true;
  if (!placement.fits()) return;
  const int scale = placement.scale;
  png_.reserve(screenPixelWidth, screenPixelHeight, scale);
  const std::size_t sixelBytes =
      sixelImageSizeFor(screenPixelWidth, scale, screenPixelHeight * scale);
  // A palette PNG is at most about its raw size: half a byte a pixel.
  const auto pngBytes = static_cast<std::size_t>(
      (screenPixelWidth * scale + 2) * screenPixelHeight * scale / 2 + 4096);
  out_.reserve(256 +
               (protocol_ == ImageProtocol::kitty ? kittyImageSizeFor(pngBytes) : sixelBytes));
}

std::string_view PixelPresenter::render(const CellScreen& screen) {
  out_.clear();
  if (!placement_.fits()) return {};
  drawCellScreen(screen, glyphTable_, picture_);
  const ColourIndexPicture now = picture_.view();
  const ColourIndexPicture before = shown_.view();
  const int first = repaintAll_ ? 0 : firstChangedRow(now, before);
  if (first == now.height) return {};
  const int end = repaintAll_ ? now.height : lastChangedRowEnd(now, before, first);
  // A frame cut short (a resize, a stop) may have left a string open.
  if (repaintAll_) out_.append(cutFrameEnd(protocol_));
  out_.append(beginUpdate);
  if (repaintAll_) out_.append(clearScreen);
  if (protocol_ == ImageProtocol::kitty) {
    renderKitty();
  } else {
    renderSixel(first, end);
  }
  out_.append(endUpdate);
  std::swap(picture_, shown_);
  repaintAll_ = false;
  return out_.view();
}

void PixelPresenter::renderKitty() {
  appendCursorTo(out_, placement_.row, placement_.column);
  appendKittyImage(out_, png_.encode(picture_.view(), placement_.scale));
}

// The picture rows [firstRow, endRow) changed: they are sent from the top of
// the cell row they start in (an image starts at a cell's top) to the end of
// the cell row they end in, or the picture's end.
void PixelPresenter::renderSixel(int firstRow, int endRow) {
  const int scale = placement_.scale;
  const int cellHeight = placement_.cell.height;
  const int pictureTop = placement_.row * cellHeight;  // in the terminal's pixels
  const int pictureEnd = pictureTop + screenPixelHeight * scale;
  const int startRow = (pictureTop + firstRow * scale) / cellHeight;
  const int changedEnd = pictureTop + endRow * scale;
  const int imageEnd =
      std::min(pictureEnd, (changedEnd + cellHeight - 1) / cellHeight * cellHeight);
  const int imageTop = startRow * cellHeight;
  appendCursorTo(out_, startRow, placement_.column);
  appendSixelImage(out_, picture_.view(), scale, imageTop - pictureTop, imageEnd - imageTop);
}

}  // namespace vantrel
