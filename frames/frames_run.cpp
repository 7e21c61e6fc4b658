#include "frames/frames_run.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "driver/demo.hpp"
#include "frames/cast_file.hpp"
#include "frames/finished_file.hpp"
#include "frames/frame_dump.hpp"
#include "frames/png_file.hpp"
#include "frames/progress_line.hpp"
#include "frames/spectrum_feed.hpp"
#include "frames/video_file.hpp"
#include "picture/console_picture.hpp"

namespace vantrel::frames {

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

std::string cannotWrite(const std::string& path, const std::string& reason) {
  return "cannot write '" + path + "': " + reason;
}

// Where a recording goes: nowhere that is a folder, and a name of its own
// while it is written.
std::unique_ptr<FinishedFile> startRecording(const std::string& path, std::string& error) {
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) {
    error = cannotWrite(path, "it is a folder");
    return nullptr;
  }
  return std::make_unique<FinishedFile>(path);
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
    if (!openOutputs() || !startUp() || !openVideo()) return failed();
    const bool ran = runFrameLoop();
    progress_.finish();
    if (!ran || !closeDump() || !finishRecordings()) return failed();
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
    return openCast();
  }

  bool openCast() {
    if (options_.castPath.empty()) return true;
    castFile_ = startRecording(options_.castPath, error_);
    if (!castFile_) return false;
    std::string reason;
    cast_ = CastFile::open(castFile_->temporaryPath(), reason);
    return cast_ != nullptr || fail(cannotWrite(options_.castPath, reason));
  }

  // After start-up, which has the music the video plays.
  bool openVideo() {
    if (options_.videoPath.empty()) return true;
    videoFile_ = startRecording(options_.videoPath, error_);
    if (!videoFile_) return false;
    VideoSettings settings;
    settings.kind = *videoKindOf(options_.videoPath);
    settings.scale =
        options_.videoScale != 0 ? options_.videoScale : defaultVideoScale(settings.kind);
    settings.outputRate = options_.outputRate;
    std::string reason;
    video_ = VideoFile::open(videoFile_->temporaryPath(), settings, feed_->sound(), reason);
    return video_ != nullptr || fail(cannotWrite(options_.videoPath, reason));
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
    // The video plays the music whatever the bars are given.
    if (options_.spectrum == SpectrumChoice::music || !options_.videoPath.empty()) {
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
    const bool recording = video_ || cast_;
    progress_ = ProgressLine(std::min(options_.frames, wholeShowFrames(demo_->scroller)),
                             recording && ProgressLine::stderrIsTerminal());
    for (int frame = 1;; ++frame) {
      if (feed_ && options_.spectrum == SpectrumChoice::music) {
        feed_->fill(musicSecondsAtFrame(frame), *spectrum_);
      }
      if (drawFrame(*demo_) == FrameOutcome::messageEnded) return writeLine(endedLine(frame));
      const bool shown = isShown(frame);
      if (shown || video_) drawCellScreen(demo_->cellScreen, demo_->glyphTable, picture_);
      if (shown && !showFrame(frame)) return false;
      if (!recordFrame(frame)) return false;
      progress_.update(frame);
      if (frame == options_.frames) return true;
    }
  }

  bool recordFrame(int frame) {
    if (video_ && !video_->addFrame(frame, picture_)) {
      return fail(cannotWrite(options_.videoPath, video_->error()));
    }
    if (cast_ && !cast_->addFrame(frame, demo_->cellScreen)) {
      return fail(cannotWrite(options_.castPath, cast_->error()));
    }
    return true;
  }

  // Completes each recording and only then gives it its name.
  bool finishRecordings() {
    std::string reason;
    if (video_ && !(video_->finish() && videoFile_->finish(reason))) {
      return fail(cannotWrite(options_.videoPath, reason.empty() ? video_->error() : reason));
    }
    if (cast_ && !(cast_->finish() && castFile_->finish(reason))) {
      return fail(cannotWrite(options_.castPath, reason.empty() ? cast_->error() : reason));
    }
    return true;
  }

  bool isShown(int frame) const { return frame == 1 || frame % options_.every == 0; }

  bool showFrame(int frame) {
    if (!writeLine(frameLine(frame, *demo_, *spectrum_))) return false;
    if (options_.pngDir.empty()) return true;
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
  std::unique_ptr<FinishedFile> videoFile_;
  std::unique_ptr<VideoFile> video_;
  std::unique_ptr<FinishedFile> castFile_;
  std::unique_ptr<CastFile> cast_;
  ProgressLine progress_{0, false};
  RgbImage picture_{screenPixelWidth, screenPixelHeight};
  std::string error_;
};

}  // namespace

FramesResult runFrames(const FramesOptions& options) {
  return FramesRun(options).run();
}

}  // namespace vantrel::frames
