#include "tools/frames/frames_run.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "driver/demo.hpp"
#include "tools/frames/console_picture.hpp"
#include "tools/frames/frame_dump.hpp"
#include "tools/frames/png_file.hpp"
#include "tools/frames/spectrum_feed.hpp"

namespace vantrel::frames {

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

std::string cannotWrite(const std::string& path, const std::string& reason) {
  return "cannot write '" + path + "': " + reason;
}

std::string pictureName(const std::string& dir, int frame) {
  char name[32];
  std::snprintf(name, sizeof name, "frame-%05d.png", frame);
  return (std::filesystem::path(dir) / name).string();
}

class FramesRun {
 public:
  explicit FramesRun(const FramesOptions& options) : options_(options) {}

  FramesResult run() {
    if (!openOutputs() || !startUp()) return failed();
    if (!runFrameLoop() || !closeDump()) return failed();
    return {};
  }

 private:
  FramesResult failed() const { return {framesUsageStatus, error_}; }

  bool openOutputs() {
    if (!options_.dumpPath.empty()) {
      dump_.reset(std::fopen(options_.dumpPath.c_str(), "wb"));
      if (!dump_) return fail(cannotWrite(options_.dumpPath, std::strerror(errno)));
    }
    if (!options_.pngDir.empty()) {
      std::error_code ignored;
      std::filesystem::create_directories(options_.pngDir, ignored);
      if (!std::filesystem::is_directory(options_.pngDir, ignored)) {
        return fail(cannotWrite(options_.pngDir, "not a directory that can be made"));
      }
    }
    return true;
  }

  // The demo's start-up in its order, less the console and the audio device,
  // with the particle generator seeded from the command line.
  bool startUp() {
    demo_ = std::make_unique<Demo>();
    spectrum_ = std::make_unique<SpectrumArray>();
    prepareScroller(*demo_);
    if (!options_.glyphsPath.empty() &&
        !writePicture(options_.glyphsPath, drawGlyphSheet(demo_->glyphTable))) {
      return false;
    }
    if (options_.spectrum == SpectrumChoice::music) {
      std::string reason;
      feed_ = openMusicFeed(reason);
      if (!feed_) return fail("cannot analyse the music: " + reason);
    }
    initParticles(demo_->particles, options_.seed);
    if (!writeLine(startLine(options_.seed, demo_->scroller.scrollText, demo_->particles))) {
      return false;
    }
    warmUpParticles(*demo_);
    demo_->spectrum = spectrum_->data();
    return true;
  }

  // Up to options_.frames frames, or until the scroller runs out of message.
  bool runFrameLoop() {
    for (int frame = 1;; ++frame) {
      if (feed_) feed_->fill(musicSecondsAtFrame(frame), *spectrum_);
      if (drawFrame(*demo_) == FrameOutcome::messageEnded) return writeLine(endedLine(frame));
      if (isShown(frame) && !showFrame(frame)) return false;
      if (frame == options_.frames) return true;
    }
  }

  bool isShown(int frame) const { return frame == 1 || frame % options_.every == 0; }

  bool showFrame(int frame) {
    if (!writeLine(frameLine(frame, *demo_, *spectrum_))) return false;
    if (options_.pngDir.empty()) return true;
    drawCellScreen(demo_->cellScreen, demo_->glyphTable, picture_);
    return writePicture(pictureName(options_.pngDir, frame), picture_);
  }

  bool writePicture(const std::string& path, const RgbImage& image) {
    std::string reason;
    if (writePngFile(path, image, reason)) return true;
    return fail(cannotWrite(path, reason));
  }

  bool writeLine(const std::string& line) {
    if (!dump_) return true;
    if (std::fwrite(line.data(), 1, line.size(), dump_.get()) == line.size() &&
        std::fputc('\n', dump_.get()) != EOF) {
      return true;
    }
    return fail(cannotWrite(options_.dumpPath, std::strerror(errno)));
  }

  bool closeDump() {
    if (!dump_) return true;
    if (std::fclose(dump_.release()) == 0) return true;
    return fail(cannotWrite(options_.dumpPath, std::strerror(errno)));
  }

  bool fail(std::string message) {
    error_ = std::move(message);
    return false;
  }

  const FramesOptions& options_;
  FileHandle dump_;
  std::unique_ptr<Demo> demo_;
  std::unique_ptr<SpectrumArray> spectrum_;
  std::unique_ptr<SpectrumFeed> feed_;
  RgbImage picture_{screenPixelWidth, screenPixelHeight};
  std::string error_;
};

}  // namespace

FramesResult runFrames(const FramesOptions& options) {
  return FramesRun(options).run();
}

}  // namespace vantrel::frames
