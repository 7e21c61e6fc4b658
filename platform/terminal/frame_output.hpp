#pragma once
// Frames written without waiting for a terminal that is slow to take them
// (the pixel view's frames are tens of kilobytes): through a non-blocking
// description of the terminal of its own, so the one shared with the shell
// stays blocking. A frame the terminal has not taken whole is finished
// before the next is begun; until then the frames drawn are skipped, so the
// show keeps to the music however slow the terminal.

#include <cstddef>
#include <string_view>

namespace vantrel {

class FrameOutput {
 public:
  FrameOutput() = default;
  ~FrameOutput();
  FrameOutput(const FrameOutput&) = delete;
  FrameOutput& operator=(const FrameOutput&) = delete;

  // Opens a description of its own of the terminal `fd` is on; false where
  // it cannot (the frames are then written as the text views' are).
  bool open(int fd);
  bool isOpen() const { return fd_ >= 0; }

  // True when the terminal has taken every byte written so far, finishing
  // the last frame first as far as it takes it now. A terminal device that
  // still holds bytes it has not sent on (TIOCOUTQ) is not ready either.
  bool ready();
  // Writes what the terminal takes of `frame` now, the rest as ready() is
  // asked. `frame` must stay valid until then. False when the terminal is
  // gone (errno says why).
  bool write(std::string_view frame);
  // Forgets what is still to be written: the next frame is sent whole, and
  // starts by ending any string the cut left open.
  void abandon() { pending_ = {}; }
  bool pending() const { return !pending_.empty(); }

 private:
  bool writeSome();

  int fd_ = -1;
  std::string_view pending_;
};

}  // namespace vantrel
