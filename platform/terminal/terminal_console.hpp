#pragma once
// The demo's console on a POSIX terminal: raw keyboard, alternate screen,
// hidden cursor, the title, and the picture in the view and the colours the
// terminal can show, kept centred (or cut around its centre) as the terminal
// is resized. Everything is given back on restore, and on any signal that
// ends the process.

#include <unistd.h>

#include <chrono>
#include <memory>

#include "platform/console.hpp"
#include "platform/console_options.hpp"
#include "platform/terminal/frame_output.hpp"
#include "platform/terminal/key_decoder.hpp"
#include "platform/terminal/pixel_presenter.hpp"
#include "platform/terminal/terminal_abilities.hpp"
#include "platform/terminal/terminal_renderer.hpp"
#include "platform/terminal/terminal_restore.hpp"

namespace vantrel {

class TerminalConsole final : public Console {
 public:
  // An environment for tests: a UTF-8 terminal of 16 colours.
  static inline const TerminalEnvironment plainEnvironment{"xterm", "", "C.UTF-8"};

  // A terminal that does not answer the start-up probe delays the start by
  // no more than this.
  static constexpr std::chrono::milliseconds answerWait{100};

  // `probeWait`: how long the probe waits for answers (tests wait longer, to
  // tell an end on the last answer from an end on the time).
  explicit TerminalConsole(int inputFd = STDIN_FILENO, int outputFd = STDOUT_FILENO,
                           ConsoleOptions options = {},
                           TerminalEnvironment environment = plainEnvironment,
                           std::chrono::milliseconds probeWait = answerWait);
  ~TerminalConsole() override;
  TerminalConsole(const TerminalConsole&) = delete;
  TerminalConsole& operator=(const TerminalConsole&) = delete;

  void openWindow() override;
  void setWindowRows(int rows) override;
  void placeWindow(int x, int y) override;
  void setWindowTitle(std::string_view title) override;
  void hideCursor() override;
  void writeCells(const Cell* cells, BufferCoord bufferSize, BufferCoord bufferCoord,
                  WriteRegion& region) override;
  KeyPress pollKey() override;
  bool gone() const override;
  // Also says on stderr, after giving the terminal back, when it was too
  // small for the whole picture (in the view it had) during the whole show,
  // when frames were skipped for a terminal too slow to take them, and when
  // the pixels asked for could not be drawn.
  void restore() noexcept override;

 private:
  void takeOver(std::string_view bytes, TakeOverPart part = TakeOverPart::screen);
  void send(std::string_view bytes);
  void noteFailure(int error);
  TerminalAnswers probeTerminal(bool askGlyphWidth);
  Glyphs glyphsTerminalDraws(const TerminalAnswers& answers) const;
  void preparePixelView();
  void resizeRenderer(const TerminalWindow& window);
  void askForRowsShown(const TerminalWindow& window, TerminalSize shown);
  bool showPixelsIn(const TerminalWindow& window, TerminalSize shown);
  void leavePixelView();
  void presentPixels();
  void noteSmallTerminal() const;
  void noteAfterTheShow() const;

  int inputFd_;
  int outputFd_;
  ConsoleOptions options_;
  TerminalEnvironment environment_;
  std::chrono::milliseconds probeWait_;
  KeyDecoder keys_;
  TerminalRenderer renderer_;
  CellScreen screenBuffer_{};  // the console's 80 x 50 screen buffer
  TerminalAnswers answers_{};  // what the terminal answered the start-up probe
  int rowsAskedFor_ = 0;       // the rows last asked for to match the window shown
  // The pixel view, where the terminal draws images.
  std::unique_ptr<PixelPresenter> pixels_;
  FrameOutput pixelOutput_;
  bool showingPixels_ = false;
  bool noImages_ = false;  // the pixels asked for, in a terminal that draws none
  long framesPresented_ = 0;
  long framesSkipped_ = 0;
  bool opened_ = false;
  bool gone_ = false;  // the terminal went away: its window closed, its session hung up
  bool sawWholePicture_ = false;
  TerminalSize largestSize_{0, 0};
};

}  // namespace vantrel
