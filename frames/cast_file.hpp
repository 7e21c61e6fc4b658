#pragma once
// The show as a terminal recording: an asciicast version 2 file of the bytes
// the demo's terminal renderer sends to an 80 x 50 terminal, which asciinema
// and its web player replay as text. The terminal is taken over at time 0,
// frame n's bytes follow at (n - 1) x 11 ms, the frame tool's music time, and
// the terminal is given back when the next frame would have shown.

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "screen/cell_screen.hpp"

namespace vantrel::frames {

// What the recording names in its header as the terminal it was made for;
// the frames are drawn in the console's exact colours, which such a
// terminal draws.
inline constexpr std::string_view castTerminal = "xterm-256color";
inline constexpr std::string_view castColourTerm = "truecolor";

// The header line: version, size, the terminal's environment and the title.
std::string castHeader();
// One output event: [seconds, "o", bytes], the time in whole milliseconds.
std::string castEvent(long milliseconds, std::string_view bytes);

class TerminalRecorder;

class CastFile {
 public:
  // Starts the file at `path` with the header and the take-over. Null, with
  // the system's reason in `error`, when it cannot be written.
  static std::unique_ptr<CastFile> open(const std::string& path, std::string& error);
  ~CastFile();
  CastFile(const CastFile&) = delete;
  CastFile& operator=(const CastFile&) = delete;

  // Adds show frame `frame` (1, 2, ... in order) as the renderer draws it.
  bool addFrame(int frame, const CellScreen& screen);
  // The give-back after the last frame, and the file closed.
  bool finish();
  const std::string& error() const { return error_; }

 private:
  CastFile(std::FILE* file, std::unique_ptr<TerminalRecorder> recorder);
  bool write(const std::string& line);

  std::FILE* file_;
  std::unique_ptr<TerminalRecorder> recorder_;
  int lastFrame_ = 0;
  std::string line_;
  std::string error_;
};

}  // namespace vantrel::frames
