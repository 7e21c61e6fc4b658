// The frame tool's recordings: the terminal recording replayed through a real
// terminal emulator (libvterm) against the demo's own frames, cell for cell,
// and the video's timing and encoder faults. Debian's ffmpeg reads the videos
// themselves (recordings.sh).

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "audio/track_analysis.hpp"
#include "driver/demo.hpp"
#include "driver/run_demo.hpp"
#include "frames/cast_file.hpp"
#include "frames/frame_dump.hpp"
#include "frames/video_file.hpp"
#include "frames_test_support.hpp"
#include "platform/code_page_437.hpp"
#include "platform/terminal_emulator.hpp"
#include "screen/console_palette.hpp"

namespace vantrel::frames {
namespace {

namespace fs = std::filesystem;
using vantrel::testing::ShownCell;
using vantrel::testing::TerminalEmulator;

constexpr int showFrames = 5295;  // the message runs out in frame 5296

fs::path scratchFile(const std::string& name) {
  return fs::path(::testing::TempDir()) / (name + "-" + std::to_string(::getpid()));
}

// A JSON string's contents from `text` at its opening quote; `end` is set past
// the closing quote. Handles every escape JSON has (the writer uses few).
std::string readJsonString(const std::string& text, std::size_t& end) {
  std::string out;
  std::size_t at = text.find('"', end) + 1;
  while (at < text.size() && text[at] != '"') {
    if (text[at] != '\\') {
      out += text[at++];
      continue;
    }
    const char escape = text[at + 1];
    at += 2;
    switch (escape) {
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case 't':
        out += '\t';
        break;
      case 'b':
        out += '\b';
        break;
      case 'f':
        out += '\f';
        break;
      case 'u': {
        const auto code = std::stoul(text.substr(at, 4), nullptr, 16);
        at += 4;
        const Utf8Glyph glyph = encodeUtf8(static_cast<char32_t>(code));
        out.append(glyph.bytes.data(), glyph.length);
        break;
      }
      default:
        out += escape;  // " \ /
    }
  }
  end = at + 1;
  return out;
}

struct CastEvent {
  long milliseconds = 0;
  std::string kind;
  std::string bytes;
};

// [seconds, "kind", "bytes"], the time with at most three decimals.
CastEvent parseEvent(const std::string& line) {
  CastEvent event;
  const std::size_t comma = line.find(',');
  const double seconds = std::stod(line.substr(1, comma - 1));
  event.milliseconds = std::lround(seconds * 1000.0);
  std::size_t at = comma;
  event.kind = readJsonString(line, at);
  event.bytes = readJsonString(line, at);
  return event;
}

// The demo's frames with the music's spectrum, as the frame tool draws them.
class ShowFrames {
 public:
  explicit ShowFrames(std::uint32_t seed) : track_(VANTREL_SHIPPED_MUSIC) {
    prepareScroller(*demo_);
    prepareParticles(*demo_, seed);
    demo_->spectrum = spectrum_->data();
  }

  const CellScreen& drawUpTo(int frame) {
    while (drawn_ < frame) {
      ++drawn_;
      track_.spectrumAt(musicSecondsAtFrame(drawn_), *spectrum_);
      EXPECT_EQ(drawFrame(*demo_), FrameOutcome::drawn) << "frame " << drawn_;
    }
    return demo_->cellScreen;
  }

 private:
  TrackAnalysis track_;
  std::unique_ptr<Demo> demo_ = std::make_unique<Demo>();
  std::unique_ptr<SpectrumArray> spectrum_ = std::make_unique<SpectrumArray>();
  int drawn_ = 0;
};

long rgbOf(int consoleColour) {
  const Rgb colour = consolePalette[static_cast<std::size_t>(consoleColour)];
  return (long{colour.red} << 16) | (long{colour.green} << 8) | colour.blue;
}

// "" when the emulator shows `screen` in the console's exact colours, else
// the first cell that differs.
std::string firstDifference(const TerminalEmulator& terminal, const CellScreen& screen) {
  for (int row = 0; row < screenRows; ++row) {
    for (int column = 0; column < screenColumns; ++column) {
      const Cell cell = screen[cellIndex(row, column + 1)];
      const ShownCell shown = terminal.cell(row, column);
      const char32_t character = codePage437ToUnicode[cell.character & 0xFFU];
      const bool blank = character == U' ';
      if (shown.character == character &&
          shown.backgroundRgb == rgbOf((cell.attribute >> 4) & 0xF) &&
          (blank || shown.foregroundRgb == rgbOf(cell.attribute & 0xF))) {
        continue;
      }
      return "row " + std::to_string(row) + " column " + std::to_string(column) + " shows U+" +
             std::to_string(shown.character) + " on " + std::to_string(shown.backgroundRgb) +
             ", wanted U+" + std::to_string(character) + " on " +
             std::to_string(rgbOf((cell.attribute >> 4) & 0xF));
    }
  }
  return "";
}

TEST(TerminalRecording, ReplaysEveryFrameOfTheShowAtItsTimeCellForCell) {
  constexpr std::uint32_t seed = 11;
  const fs::path cast = scratchFile("show.cast");
  ASSERT_EQ(
      testing::runFramesTool({"--seed", std::to_string(seed), "--cast", cast.string()}).status, 0);
  std::vector<std::string> lines = testing::readLines(cast.string());
  fs::remove(cast);
  ASSERT_GE(lines.size(), 3U);

  std::string header = castHeader();
  EXPECT_EQ(lines[0], header);
  EXPECT_NE(header.find(R"("version": 2, "width": 80, "height": 50)"), std::string::npos);
  EXPECT_NE(header.find(R"("TERM": "xterm-256color")"), std::string::npos);

  TerminalEmulator terminal(screenColumns, screenRows);
  const CastEvent takeOver = parseEvent(lines[1]);
  EXPECT_EQ(takeOver.milliseconds, 0);
  terminal.feed(takeOver.bytes);
  EXPECT_TRUE(terminal.alternateScreen);
  EXPECT_FALSE(terminal.cursorVisible);
  EXPECT_EQ(terminal.title, windowTitle);

  ShowFrames show(seed);
  int lastFrame = 0;
  for (std::size_t i = 2; i + 1 < lines.size(); ++i) {
    const CastEvent event = parseEvent(lines[i]);
    ASSERT_EQ(event.kind, "o");
    ASSERT_EQ(event.milliseconds % frameSpacingMilliseconds, 0) << lines[i].substr(0, 20);
    const int frame = static_cast<int>(event.milliseconds / frameSpacingMilliseconds) + 1;
    ASSERT_GT(frame, lastFrame) << "events out of order";
    lastFrame = frame;
    terminal.feed(event.bytes);
    ASSERT_EQ(firstDifference(terminal, show.drawUpTo(frame)), "") << "frame " << frame;
  }
  EXPECT_EQ(lastFrame, showFrames);

  const CastEvent giveBack = parseEvent(lines.back());
  EXPECT_EQ(giveBack.milliseconds, showFrames * frameSpacingMilliseconds);
  terminal.feed(giveBack.bytes);
  EXPECT_FALSE(terminal.alternateScreen);
  EXPECT_TRUE(terminal.cursorVisible);
}

TEST(TerminalRecording, EscapesControlBytesAndKeepsUtf8) {
  std::string out;
  appendJsonString(out, "\x1b[0m\"\\\a\x7f\u2588", HighBytes::asTheyAre);
  EXPECT_EQ(out, "\"\\u001b[0m\\\"\\\\\\u0007\\u007f\u2588\"");
  std::size_t end = 0;
  EXPECT_EQ(readJsonString(out, end), "\x1b[0m\"\\\a\x7f\u2588");
  EXPECT_EQ(castEvent(58245, "x"), R"([58.245, "o", "x"])");
  EXPECT_EQ(castEvent(0, ""), R"([0.000, "o", ""])");
}

TEST(VideoTiming, EachOutputFrameShowsTheFrameShowingAtItsTime) {
  EXPECT_EQ(outputFrameCount(showFrames, 0), showFrames);
  EXPECT_EQ(showFrameAt(0, 0), 1);
  EXPECT_EQ(showFrameAt(5294, 0), showFrames);
  // 58.245 s at 60 frames a second: 3494.7, so 3495 frames, the last at 58.233 s.
  EXPECT_EQ(outputFrameCount(showFrames, 60), 3495);
  for (const int rate : {24, 25, 30, 50, 60, 90, 91, 120}) {
    const std::int64_t count = outputFrameCount(showFrames, rate);
    for (std::int64_t k = 0; k < count; ++k) {
      const int frame = showFrameAt(k, rate);
      // Frame n shows over [(n - 1) x 11, n x 11) ms; k is at k x 1000 / rate ms.
      ASSERT_LE(std::int64_t{frame - 1} * 11 * rate, k * 1000) << rate << " " << k;
      ASSERT_GT(std::int64_t{frame} * 11 * rate, k * 1000) << rate << " " << k;
    }
    // Output frames up to the end of the show's last frame, and no further.
    EXPECT_LT((count - 1) * 1000, std::int64_t{showFrames} * 11 * rate) << rate;
    EXPECT_GE(count * 1000, std::int64_t{showFrames} * 11 * rate) << rate;
  }
  // The sound runs to the end of the last frame: 58.245 s of 44100 Hz.
  EXPECT_EQ(soundFramesFor(showFrames), 2568605);
  EXPECT_EQ(soundFramesFor(1), 486);
}

TEST(VideoFile, SaysWhichEncoderIsMissingAndWritesNothing) {
  const fs::path path = scratchFile("missing-encoder.mp4");
  VideoSettings settings;
  settings.videoEncoder = "no-such-encoder";
  std::string error;
  EXPECT_EQ(VideoFile::open(path.string(), settings, {}, error), nullptr);
  EXPECT_EQ(error, "this libavcodec has no no-such-encoder encoder");
  EXPECT_FALSE(fs::exists(path));
}

TEST(VideoFile, KnowsItsKindByTheExtension) {
  EXPECT_EQ(videoKindOf("show.mp4"), VideoKind::mp4);
  EXPECT_EQ(videoKindOf("dir.mkv/SHOW.MKV"), VideoKind::mkv);
  EXPECT_EQ(videoKindOf("show.avi"), std::nullopt);
  EXPECT_EQ(videoKindOf("mp4"), std::nullopt);
}

}  // namespace
}  // namespace vantrel::frames
