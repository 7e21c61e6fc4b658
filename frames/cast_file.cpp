#include "frames/cast_file.hpp"

#include <cerrno>
#include <cstring>

#include "driver/demo.hpp"
#include "driver/run_demo.hpp"
#include "frames/frame_dump.hpp"

#if VANTREL_FRAMES_CAST
#include "platform/terminal/terminal_renderer.hpp"
#include "platform/terminal/terminal_sequences.hpp"
#endif

namespace vantrel::frames {

std::string castHeader() {
  std::string header = "{\"version\": 2, \"width\": " + std::to_string(screenColumns) +
                       ", \"height\": " + std::to_string(screenRows) + ", \"title\": ";
  appendJsonString(header, windowTitle, HighBytes::asTheyAre);
  header += ", \"env\": {\"TERM\": ";
  appendJsonString(header, castTerminal, HighBytes::asTheyAre);
  header += ", \"COLORTERM\": ";
  appendJsonString(header, castColourTerm, HighBytes::asTheyAre);
  header += "}}";
  return header;
}

std::string castEvent(long milliseconds, std::string_view bytes) {
  char time[32];
  std::snprintf(time, sizeof time, "[%ld.%03ld, \"o\", ", milliseconds / 1000, milliseconds % 1000);
  std::string event = time;
  appendJsonString(event, bytes, HighBytes::asTheyAre);
  event += ']';
  return event;
}

#if !VANTREL_FRAMES_CAST

class TerminalRecorder {};

std::unique_ptr<CastFile> CastFile::open(const std::string&, std::string& error) {
  error = "this build of vantrel-frames has no terminal renderer to record";
  return nullptr;
}

bool CastFile::addFrame(int, const CellScreen&) {
  return false;
}

bool CastFile::finish() {
  return false;
}

#else

// The renderer as the demo runs it in an 80 x 50 terminal that draws UTF-8
// blocks in direct colour, and the bytes around it.
class TerminalRecorder {
 public:
  TerminalRecorder() : renderer_({ViewChoice::exact, Glyphs::blocks, ColourMode::direct}) {
    renderer_.resize({screenColumns, screenRows});
  }

  // What the demo's start-up sends before the first frame, less what a
  // recording cannot take: the glyph width question (nobody answers a
  // replay) and the window size request (a player sizes itself from the
  // header, and a terminal replaying it should keep its own size).
  static std::string takeOver() {
    std::string bytes(saveTitle);
    bytes += enterAlternateScreen;
    bytes += titleSequence(windowTitle);
    bytes += hideCursorSequence;
    return bytes;
  }

  // What the demo sends as it gives the terminal back, less the size request.
  static std::string giveBack() {
    std::string bytes(endUpdate);
    bytes += resetColours;
    bytes += showCursorSequence;
    bytes += leaveAlternateScreen;
    bytes += restoreTitle;
    return bytes;
  }

  std::string_view render(const CellScreen& screen) { return renderer_.render(screen); }

 private:
  TerminalRenderer renderer_;
};

std::unique_ptr<CastFile> CastFile::open(const std::string& path, std::string& error) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    error = std::strerror(errno);
    return nullptr;
  }
  std::unique_ptr<CastFile> cast(new CastFile(file, std::make_unique<TerminalRecorder>()));
  if (!cast->write(castHeader()) || !cast->write(castEvent(0, TerminalRecorder::takeOver()))) {
    error = cast->error();
    return nullptr;
  }
  return cast;
}

bool CastFile::addFrame(int frame, const CellScreen& screen) {
  lastFrame_ = frame;
  const std::string_view bytes = recorder_->render(screen);
  if (bytes.empty()) return true;  // nothing changed: nothing for the terminal
  return write(castEvent(static_cast<long>(frame - 1) * frameSpacingMilliseconds, bytes));
}

bool CastFile::finish() {
  const long end = static_cast<long>(lastFrame_) * frameSpacingMilliseconds;
  if (!write(castEvent(end, TerminalRecorder::giveBack()))) return false;
  std::FILE* file = file_;
  file_ = nullptr;
  if (std::fclose(file) == 0) return true;
  error_ = std::strerror(errno);
  return false;
}

#endif

CastFile::CastFile(std::FILE* file, std::unique_ptr<TerminalRecorder> recorder)
    : file_(file), recorder_(std::move(recorder)) {}

CastFile::~CastFile() {
  if (file_ != nullptr) std::fclose(file_);
}

bool CastFile::write(const std::string& line) {
  if (std::fwrite(line.data(), 1, line.size(), file_) == line.size() &&
      std::fputc('\n', file_) != EOF) {
    return true;
  }
  error_ = std::strerror(errno);
  return false;
}

}  // namespace vantrel::frames
