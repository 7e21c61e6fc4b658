#include "frames/progress_line.hpp"

#include <unistd.h>

#include <cmath>
#include <cstdio>

namespace vantrel::frames {

namespace {

constexpr auto redrawInterval = std::chrono::milliseconds(250);

}  // namespace

std::string progressText(int done, int total, double seconds) {
  const double rate = seconds > 0.0 ? done / seconds : 0.0;
  char text[96];
  if (rate <= 0.0) {
    std::snprintf(text, sizeof text, "frame %d of %d", done, total);
    return text;
  }
  const long left = std::lround((total - done) / rate);
  std::snprintf(text, sizeof text, "frame %d of %d, %.1f frames/s, %ld:%02ld left", done, total,
                rate, left / 60, left % 60);
  return text;
}

ProgressLine::ProgressLine(int total, bool enabled) : total_(total), enabled_(enabled) {}

bool ProgressLine::stderrIsTerminal() {
  return ::isatty(STDERR_FILENO) == 1;
}

void ProgressLine::update(int done) {
  if (!enabled_) return;
  const Clock::time_point now = Clock::now();
  if (shown_ && now - lastDrawn_ < redrawInterval && done != total_) return;
  lastDrawn_ = now;
  shown_ = true;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  std::fprintf(stderr, "\r\x1b[Kvantrel-frames: %s", progressText(done, total_, seconds).c_str());
  std::fflush(stderr);
}

void ProgressLine::finish() {
  if (!shown_) return;
  std::fputs("\r\x1b[K", stderr);
  std::fflush(stderr);
  shown_ = false;
}

}  // namespace vantrel::frames
