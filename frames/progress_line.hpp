#pragma once
// One line on stderr that keeps a person watching a long encode informed:
// frames done of the total, frames a second and the time left, redrawn in
// place a few times a second. Only when stderr is a terminal: a log or a
// pipe gets nothing.

#include <chrono>
#include <string>

namespace vantrel::frames {

// "frame 1234 of 5295, 48.2 frames/s, 1:24 left"
std::string progressText(int done, int total, double seconds);

class ProgressLine {
 public:
  // Shown only when `enabled` (by default: stderr is a terminal).
  explicit ProgressLine(int total, bool enabled);
  static bool stderrIsTerminal();

  void update(int done);
  // Clears the line, so what the tool says next starts on a clean line.
  void finish();

 private:
  using Clock = std::chrono::steady_clock;
  int total_;
  bool enabled_;
  bool shown_ = false;
  Clock::time_point start_ = Clock::now();
  Clock::time_point lastDrawn_{};
};

}  // namespace vantrel::frames
