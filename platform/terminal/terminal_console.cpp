#include "platform/terminal/terminal_console.hpp"

#include <poll.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>

#include "platform/terminal/terminal_io.hpp"
#include "platform/terminal/terminal_restore.hpp"
#include "platform/terminal/terminal_sequences.hpp"

namespace vantrel {

namespace {

// ST: ends a string (a sixel image, a graphics command) that a frame cut
// short left open; on its own it does nothing.
// Answers beyond this are not waited for: a terminal that sends thousands
// of bytes at once is sending no answer we asked for.
constexpr std::size_t probeReadLimit = 4096;

long millisecondsSince(const timespec& start) {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1'000'000;
}

// Keys arrive one byte at a time as typed, unechoed; Ctrl+C, Ctrl+Z, Ctrl+\,
// Ctrl+S and Ctrl+Q arrive as plain keys; Enter arrives as 13. Reads return at
// once with whatever is there. Output goes out byte for byte: a frame holds no
// line feed or tab for the kernel to translate, and untranslated output is
// copied whole instead of looked at byte by byte (a sixth of the show's cost).
termios rawModes(termios modes) {
  modes.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  modes.c_iflag &=
      ~static_cast<tcflag_t>(IXON | ICRNL | INLCR | IGNCR | ISTRIP | BRKINT | PARMRK | INPCK);
  modes.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  modes.c_cc[VMIN] = 0;
  modes.c_cc[VTIME] = 0;
  return modes;
}

TerminalRestore prepareRestore(int inputFd, int outputFd, TerminalSize foundSize) {
  TerminalRestore restore;
  restore.inputFd = inputFd;
  restore.outputFd = outputFd;
  restore.haveModes = ::tcgetattr(inputFd, &restore.savedModes) == 0;
  restore.takenModes = rawModes(restore.savedModes);
  // A frame cut short by a signal may have left an update open.
  restore.appendBytes(endUpdate);
  restore.appendBytes(resetColours);
  if (foundSize.columns > 0 && foundSize.rows > 0) {
    restore.appendBytes(sizeRequest(foundSize.rows, foundSize.columns));
  }
  restore.appendBytes(showCursorSequence);
  restore.appendBytes(leaveAlternateScreen);
  restore.appendBytes(restoreTitle);
  return restore;
}

}  // namespace

TerminalConsole::TerminalConsole(int inputFd, int outputFd, ConsoleOptions options,
                                 TerminalEnvironment environment,
                                 std::chrono::milliseconds probeWait)
    : inputFd_(inputFd),
      outputFd_(outputFd),
      options_(options),
      environment_(std::move(environment)),
      probeWait_(probeWait) {}

TerminalConsole::~TerminalConsole() {
  restore();
}

void TerminalConsole::openWindow() {
  const TerminalWindow foundWindow = terminalWindowOf(outputFd_);
  const TerminalRestore restore = prepareRestore(inputFd_, outputFd_, foundWindow.cells);
  armTerminalRestore(restore);
  opened_ = true;
  takeOver(saveTitle, TakeOverPart::titlePush);
  takeOver(enterAlternateScreen);
  // Started in the background, the mode change stops the demo (SIGTTOU)
  // until it is brought to the foreground.
  while (restore.haveModes && ::tcsetattr(inputFd_, TCSANOW, &restore.takenModes) != 0 &&
         errno == EINTR) {
    serviceJobControl();
  }
  answers_ = probeTerminal(localeIsUtf8(environment_.locale));
  renderer_.setStyle({options_.view, glyphsTerminalDraws(answers_),
                      colourModeFor(options_.colours, environment_, answers_)});
  preparePixelView();
  resizeRenderer(foundWindow);
}

// Where the terminal draws images, the pixel view is made ready, and the
// give-back learns to take its image away: it first ends any string a cut
// frame left open, then deletes the image (before the alternate screen is
// left, where the image is).
void TerminalConsole::preparePixelView() {
  const ImageProtocol protocol = imageProtocolOf(answers_);
  if (protocol == ImageProtocol::none) {
    noImages_ = options_.view == ViewChoice::pixels;
    return;
  }
  pixels_ = std::make_unique<PixelPresenter>(protocol);
  pixelOutput_.open(outputFd_);
  const auto [cutFrameEnd, removal] = imageTakeAway(protocol);
  extendGiveBack(std::string(cutFrameEnd) + std::string(removal), {});
}

// Asks the start-up questions in one write and reads the answers until DA1's
// has come, for at most probeWait_. Keys typed meanwhile are kept for pollKey.
TerminalAnswers TerminalConsole::probeTerminal(bool askGlyphWidth) {
  send(probeQuestions(askGlyphWidth));
  ProbeReader reader;
  std::array<char, 512> chunk{};
  std::size_t received = 0;
  timespec start{};
  ::clock_gettime(CLOCK_MONOTONIC, &start);
  const long limit = static_cast<long>(probeWait_.count());
  for (long waited = 0; !reader.complete() && waited < limit && received < probeReadLimit;
       waited = millisecondsSince(start)) {
    pollfd ready{inputFd_, POLLIN, 0};
    if (::poll(&ready, 1, static_cast<int>(limit - waited)) <= 0) continue;
    const ssize_t count = ::read(inputFd_, chunk.data(), chunk.size());
    if (count <= 0) break;
    received += static_cast<std::size_t>(count);
    reader.feed({chunk.data(), static_cast<std::size_t>(count)});
  }
  reader.finish();
  keys_.feed(reader.keys());
  return reader.answers();
}

// Blocks and lines need a terminal that shows UTF-8 and draws them one
// column wide (terminals in East Asian locales may draw them two wide);
// anywhere else the picture is drawn with spaces, coarse but in place.
Glyphs TerminalConsole::glyphsTerminalDraws(const TerminalAnswers& answers) const {
  if (!localeIsUtf8(environment_.locale)) return Glyphs::spaces;
  // No answer: the locale's word stands.
  if (answers.cursorColumn == 0) return Glyphs::blocks;
  return answers.cursorColumn == 2 ? Glyphs::blocks : Glyphs::spaces;
}

void TerminalConsole::setWindowRows(int rows) {
  // The terminal's rows may now disagree with its window anew.
  rowsAskedFor_ = 0;
  takeOver(sizeRequest(rows, screenColumns));
}

// A terminal's window is placed by the terminal itself and its window manager.
void TerminalConsole::placeWindow(int, int) {}

void TerminalConsole::setWindowTitle(std::string_view title) {
  takeOver(titleSequence(title));
}

void TerminalConsole::hideCursor() {
  takeOver(hideCursorSequence);
}

void TerminalConsole::writeCells(const Cell* cells, BufferCoord bufferSize, BufferCoord bufferCoord,
                                 WriteRegion& region) {
  writeBlock(screenBuffer_, cells, bufferSize, bufferCoord, region);
  // While the shell has the terminal, nothing is drawn; the picture is
  // repainted whole when the demo has it again.
  if (gone_ || !terminalTaken()) return;
  // Only here, on a SIGWINCH or a resume, does the frame ask the terminal for its size.
  if (takeResizeNotice()) resizeRenderer(terminalWindowOf(outputFd_));
  if (showingPixels_) {
    presentPixels();
    return;
  }
  // A stop asked for from the background interrupts the write: the frame is
  // dropped, and repainted whole after the resume.
  if (!writeAll(outputFd_, renderer_.render(screenBuffer_), stopPending)) noteFailure(errno);
}

KeyPress TerminalConsole::pollKey() {
  serviceJobControl();
  if (gone_ || !terminalTaken()) return {};
  bool quiet = true;
  const std::span<char> room = keys_.space();
  // Whatever mode the terminal is in (a shell may have left it in line mode
  // over a stop), asking first keeps the read from ever waiting.
  pollfd waiting{inputFd_, POLLIN, 0};
  const int ready = ::poll(&waiting, 1, 0);
  if (ready > 0 && (waiting.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
    gone_ = true;
    return {};
  }
  if (!room.empty() && ready > 0) {
    const ssize_t count = ::read(inputFd_, room.data(), room.size());
    if (count > 0) keys_.received(static_cast<std::size_t>(count));
    if (count < 0) noteFailure(errno);
    quiet = count == 0 || (count < 0 && errno != EINTR);
  }
  return keys_.next(quiet);
}

bool TerminalConsole::gone() const {
  return gone_ || noImages_;
}

void TerminalConsole::restore() noexcept {
  runTerminalRestore();
  if (opened_) noteAfterTheShow();
  opened_ = false;
}

void TerminalConsole::takeOver(std::string_view bytes, TakeOverPart part) {
  recordTakeOver(bytes, part);
  send(bytes);
}

void TerminalConsole::send(std::string_view bytes) {
  if (!writeAll(outputFd_, bytes)) noteFailure(errno);
}

void TerminalConsole::noteFailure(int error) {
  if (terminalGoneError(error)) gone_ = true;
}

void TerminalConsole::resizeRenderer(const TerminalWindow& window) {
  const TerminalSize size = cellsShown(window, answers_.cell);
  askForRowsShown(window, size);
  const bool wasShowingPixels = showingPixels_;
  showingPixels_ = showPixelsIn(window, size);
  if (showingPixels_) {
    sawWholePicture_ = true;
    return;
  }
  if (wasShowingPixels) leavePixelView();
  renderer_.resize(size);
  const TerminalSize shown = renderer_.size();
  if (renderer_.showsWholePicture()) sawWholePicture_ = true;
  if (shown.columns * shown.rows > largestSize_.columns * largestSize_.rows) largestSize_ = shown;
}

// A terminal that took more rows than its window shows (Konsole grows its
// rows on a size request and keeps its window) is asked for the rows it
// shows, so that its rows are the window's again and the picture lands where
// it is seen. Asked once for each such size: a terminal that refuses keeps
// the picture in the rows shown from the top.
void TerminalConsole::askForRowsShown(const TerminalWindow& window, TerminalSize shown) {
  if (shown.rows >= window.cells.rows) {
    rowsAskedFor_ = 0;
    return;
  }
  if (shown.rows == rowsAskedFor_) return;
  rowsAskedFor_ = shown.rows;
  const SizeRequest request(shown.rows, window.cells.columns);
  send(request.view());
}

// The pixel view where it is asked for, or by default where the picture fits
// the rows shown at a whole scale. Placed anew (and so sent whole) on every
// resize and resume; a frame still being written is abandoned for it.
bool TerminalConsole::showPixelsIn(const TerminalWindow& window, TerminalSize shown) {
  if (!pixels_) return false;
  CellPixels cell = answers_.cell;
  if (!cell.known() && window.cells.columns > 0 && window.cells.rows > 0) {
    cell = plausibleCell(window.pixelWidth / window.cells.columns,
                         window.pixelHeight / window.cells.rows);
  }
  PixelPlacement placement = placePicture(pixels_->protocol(), shown, cell, answers_.sixelLimit);
  if (!placement.fits()) {
    if (options_.view != ViewChoice::pixels || !cell.known()) return false;
    placement = {1, 0, 0, cell};  // asked for: at scale 1, cut by the window
  } else if (options_.view != ViewChoice::pixels && options_.view != ViewChoice::bySize) {
    return false;
  }
  pixelOutput_.abandon();
  pixels_->place(placement);
  return true;
}

// Back to a text view: the frame still being written is given up and any
// string it left open ended, and no image is left behind; the text view
// then repaints the whole screen.
void TerminalConsole::leavePixelView() {
  pixelOutput_.abandon();
  for (const std::string_view part : imageTakeAway(pixels_->protocol())) send(part);
}

// A frame the terminal has not yet taken whole is finished first; until it
// is, the frames drawn are skipped rather than waited for.
void TerminalConsole::presentPixels() {
  ++framesPresented_;
  if (pixelOutput_.isOpen() && !pixelOutput_.ready()) {
    ++framesSkipped_;
    return;
  }
  const std::string_view frame = pixels_->render(screenBuffer_);
  const bool written =
      pixelOutput_.isOpen() ? pixelOutput_.write(frame) : writeAll(outputFd_, frame, stopPending);
  if (!written) noteFailure(errno);
}

void TerminalConsole::noteAfterTheShow() const {
  if (noImages_) {
    std::fprintf(stderr,
                 "vantrel: --view pixels needs a terminal that draws images (the kitty graphics "
                 "protocol or sixel), and this one answered as neither\n");
    return;
  }
  if (!gone_ && !sawWholePicture_) noteSmallTerminal();
  if (framesSkipped_ > 0) {
    std::fprintf(stderr,
                 "vantrel: the terminal showed %ld of the %ld frames drawn; it was too slow to "
                 "take the others, which were skipped so that the show kept to the music\n",
                 framesPresented_ - framesSkipped_, framesPresented_);
  }
}

// A terminal narrower than 80 columns, shorter than 24 rows, or shorter than
// 50 with the exact view asked for shows only the middle of the picture; say
// so once the terminal is the shell's again.
void TerminalConsole::noteSmallTerminal() const {
  const int rowsNeeded = renderer_.view() == View::exact ? screenRows : screenRows / 2 - 1;
  std::fprintf(stderr,
               "vantrel: the terminal was %dx%d during the whole show, so only the middle of "
               "the picture was seen; a terminal of %dx%d or larger shows all of it\n",
               largestSize_.columns, largestSize_.rows, screenColumns, rowsNeeded);
}

}  // namespace vantrel
