// End-to-end: runs the vantrel-frames binary and reads back what it wrote.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "audio/track_analysis.hpp"
#include "driver/demo.hpp"
#include "frames_test_support.hpp"
#include "picture/console_picture.hpp"

namespace vantrel::frames {
namespace {

namespace fs = std::filesystem;
using testing::jsonField;
using testing::runFramesTool;

constexpr std::uint32_t seed = 20240611;

// A fresh folder for one test, removed afterwards.
class FramesTool : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::path(::testing::TempDir()) /
           ("vantrel-frames-" + std::string(test->name()) + "-" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  fs::path dir_;
};

// The demo's own start-up and first frame, over silence or over the start of a track.
struct DemoAtFrameOne {
  std::unique_ptr<Demo> demo = std::make_unique<Demo>();
  std::unique_ptr<SpectrumArray> spectrum = std::make_unique<SpectrumArray>();
  ParticleSystem spawned;

  explicit DemoAtFrameOne(std::uint32_t particleSeed, TrackAnalysis* track = nullptr) {
    prepareScroller(*demo);
    prepareParticles(*demo, particleSeed);
    initParticles(spawned, particleSeed);
    if (track != nullptr) track->spectrumAt(0.0, *spectrum);
    demo->spectrum = spectrum->data();
    drawFrame(*demo);
  }
};

// "" when equal, otherwise the first cell that differs.
std::string firstDifference(const CellScreen& actual, const CellScreen& expected) {
  for (int index = 1; index <= cellCount; ++index) {
    if (actual[index] != expected[index]) {
      return "cell " + std::to_string(index) + ": " + std::to_string(actual[index].character) +
             "/" + std::to_string(actual[index].attribute) + " instead of " +
             std::to_string(expected[index].character) + "/" +
             std::to_string(expected[index].attribute);
    }
  }
  return "";
}

std::vector<float> floatsOf(const std::string& list) {
  std::vector<float> values;
  for (const std::string& item : testing::jsonList(list)) {
    for (const std::string& number : testing::jsonList(item)) {
      values.push_back(std::strtof(number.c_str(), nullptr));
    }
  }
  return values;
}

void expectUsageError(const std::vector<std::string>& args, const std::string& firstLine) {
  const testing::ToolRun run = runFramesTool(args);
  EXPECT_EQ(run.status, 2) << firstLine;
  const std::string usage = "usage: vantrel-frames --seed N [--frames K]";
  EXPECT_EQ(run.errors.substr(0, run.errors.find('\n') + 1), "vantrel-frames: " + firstLine + "\n");
  EXPECT_EQ(run.errors.find(usage), run.errors.find('\n') + 1) << run.errors;
  EXPECT_EQ(run.errors.back(), '\n');
  EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 2) << run.errors;
}

TEST_F(FramesTool, RejectsABadCommandLineOrPathWithOneLineAndTheUsage) {
  std::ofstream(path("file")) << "not a folder";
  expectUsageError({"--seed", "1", "--colour"}, "unknown option '--colour'");
  expectUsageError({"--seed", "1", "--frames"}, "--frames needs a value");
  expectUsageError({"--seed", "1", "--frames", "0"},
                   "--frames must be a whole number of at least 1, not '0'");
  expectUsageError({"--seed", "1", "--dump", path("missing/run.jsonl")},
                   "cannot write '" + path("missing/run.jsonl") + "': No such file or directory");
  expectUsageError({"--seed", "1", "--png", path("file")},
                   "cannot write '" + path("file") + "': not a directory that can be made");
  expectUsageError({"--seed", "1", "--glyphs", path("file/font.png")},
                   "cannot write '" + path("file/font.png") + "': Not a directory");
}

TEST_F(FramesTool, DumpsTheSameRunTwiceForTheSameSeed) {
  for (const char* name : {"first.jsonl", "second.jsonl"}) {
    ASSERT_EQ(runFramesTool({"--seed", std::to_string(seed), "--frames", "4", "--dump", path(name)})
                  .status,
              0);
  }
  const std::vector<std::string> first = testing::readLines(path("first.jsonl"));
  EXPECT_EQ(first.size(), 5U);
  EXPECT_EQ(first, testing::readLines(path("second.jsonl")));
}

TEST_F(FramesTool, FrameOneIsWhatTheDemosOwnFrameCodeDraws) {
  ASSERT_EQ(runFramesTool({"--seed", std::to_string(seed), "--dump", path("run.jsonl")}).status, 0);
  const std::vector<std::string> lines = testing::readLines(path("run.jsonl"));
  ASSERT_EQ(lines.size(), 2U);
  const DemoAtFrameOne expected(seed);

  EXPECT_EQ(jsonField(lines[0], "seed"), std::to_string(seed));
  EXPECT_EQ(testing::jsonString(jsonField(lines[0], "message")),
            expected.demo->scroller.scrollText);
  const std::vector<float> spawned = floatsOf(jsonField(lines[0], "particles"));
  ASSERT_EQ(spawned.size(), 3U * static_cast<std::size_t>(expected.spawned.particleCount));
  for (int slot = 1; slot <= expected.spawned.particleCount; ++slot) {
    const Particle& p = expected.spawned.particleTable[slot];
    const auto at = 3 * static_cast<std::size_t>(slot - 1);
    EXPECT_EQ(spawned[at], p.x);
    EXPECT_EQ(spawned[at + 1], p.y);
    EXPECT_EQ(spawned[at + 2], p.mass);
  }

  const std::string& frame = lines[1];
  EXPECT_EQ(jsonField(frame, "frame"), "1");
  EXPECT_EQ(jsonField(frame, "phase"), std::to_string(expected.demo->ripple.ripplePhase));
  EXPECT_EQ(jsonField(frame, "scrollPos"), std::to_string(expected.demo->scroller.scrollPos));
  const std::vector<float> moved = floatsOf(jsonField(frame, "particles"));
  ASSERT_EQ(moved.size(), 7U * static_cast<std::size_t>(expected.demo->particles.particleCount));
  for (int slot = 1; slot <= expected.demo->particles.particleCount; ++slot) {
    const Particle& p = expected.demo->particles.particleTable[slot];
    const auto at = 7 * static_cast<std::size_t>(slot - 1);
    EXPECT_EQ(std::vector<float>(moved.begin() + static_cast<std::ptrdiff_t>(at),
                                 moved.begin() + static_cast<std::ptrdiff_t>(at + 7)),
              (std::vector<float>{p.x, p.y, p.mass, p.ax, p.ay, p.vx, p.vy}));
  }
  EXPECT_EQ(testing::jsonList(jsonField(frame, "spectrum")), std::vector<std::string>(241, "0"));
  EXPECT_EQ(
      firstDifference(testing::cellsFromBase64(testing::jsonString(jsonField(frame, "cells"))),
                      expected.demo->cellScreen),
      "");
}

TEST_F(FramesTool, FrameNReadsTheShippedTracksSpectrumAtNMinusOneTimesElevenMilliseconds) {
  ASSERT_EQ(runFramesTool({"--seed", std::to_string(seed), "--spectrum", "music", "--frames", "90",
                           "--every", "45", "--dump", path("run.jsonl")})
                .status,
            0);
  const std::vector<std::string> lines = testing::readLines(path("run.jsonl"));
  ASSERT_EQ(lines.size(), 4U);

  // The same run in this process: the demo's frames over the track's spectrum.
  TrackAnalysis track(VANTREL_SHIPPED_MUSIC);
  ASSERT_TRUE(track.hasAudio());
  DemoAtFrameOne expected(seed, &track);
  std::size_t line = 1;
  for (int frame = 1; frame <= 90; ++frame) {
    if (frame > 1) {
      track.spectrumAt((frame - 1) * 11 / 1000.0, *expected.spectrum);
      drawFrame(*expected.demo);
    }
    if (frame != 1 && frame % 45 != 0) continue;
    const std::string& dumped = lines[line++];
    ASSERT_EQ(jsonField(dumped, "frame"), std::to_string(frame));
    const std::vector<std::string> entries = testing::jsonList(jsonField(dumped, "spectrum"));
    ASSERT_EQ(entries.size(), 241U);
    for (int entry = 0; entry < 241; ++entry) {
      EXPECT_EQ(std::strtof(entries[static_cast<std::size_t>(entry)].c_str(), nullptr),
                readEntry(expected.spectrum->data(), entry))
          << "frame " << frame << " entry " << entry;
    }
    EXPECT_EQ(
        firstDifference(testing::cellsFromBase64(testing::jsonString(jsonField(dumped, "cells"))),
                        expected.demo->cellScreen),
        "")
        << "frame " << frame;
  }
}

TEST_F(FramesTool, DrawsFrameOneAndEveryMthFrameInPalettesColoursOfItsCells) {
  ASSERT_EQ(runFramesTool({"--seed", std::to_string(seed), "--frames", "7", "--every", "3",
                           "--dump", path("run.jsonl"), "--png", path("pictures")})
                .status,
            0);
  const std::vector<std::string> lines = testing::readLines(path("run.jsonl"));
  ASSERT_EQ(lines.size(), 4U);
  EXPECT_EQ(jsonField(lines[1], "frame"), "1");
  EXPECT_EQ(jsonField(lines[2], "frame"), "3");
  EXPECT_EQ(jsonField(lines[3], "frame"), "6");
  std::vector<std::string> pictures;
  for (const auto& entry : fs::directory_iterator(path("pictures"))) {
    pictures.push_back(entry.path().filename().string());
  }
  std::sort(pictures.begin(), pictures.end());
  EXPECT_EQ(pictures,
            (std::vector<std::string>{"frame-00001.png", "frame-00003.png", "frame-00006.png"}));

  const CellScreen cells =
      testing::cellsFromBase64(testing::jsonString(jsonField(lines[3], "cells")));
  const DemoAtFrameOne font(seed);
  const auto picture = testing::readPng(path("pictures/frame-00006.png"));
  ASSERT_TRUE(picture);
  ASSERT_EQ(picture->width, 640);
  ASSERT_EQ(picture->height, 600);
  for (int y = 0; y < 600; ++y) {
    for (int x = 0; x < 640; ++x) {
      const Cell& cell = cells[cellIndex(y / 12, x / 8 + 1)];
      const auto glyphRow =
          font.demo->glyphTable[cell.character & 0xFFU][static_cast<std::size_t>(y % 12)];
      const bool lit = (glyphRow & (0x80 >> (x % 8))) != 0;
      const Rgb colour =
          consolePalette[lit ? cell.attribute & 0xFU : (cell.attribute >> 4U) & 0xFU];
      const std::size_t at = 3 * (static_cast<std::size_t>(y) * 640 + static_cast<std::size_t>(x));
      ASSERT_EQ((Rgb{picture->rgb[at], picture->rgb[at + 1], picture->rgb[at + 2]}), colour)
          << "pixel " << x << "," << y;
    }
  }
}

TEST_F(FramesTool, GlyphSheetShowsTheDemosFontWhiteOnBlack) {
  ASSERT_EQ(runFramesTool({"--seed", "1", "--glyphs", path("font.png")}).status, 0);
  const auto sheet = testing::readPng(path("font.png"));
  ASSERT_TRUE(sheet);
  ASSERT_EQ(sheet->width, 128);
  ASSERT_EQ(sheet->height, 192);
  const DemoAtFrameOne font(1);
  for (int code = 0; code < 256; ++code) {
    for (int y = 0; y < 12; ++y) {
      for (int x = 0; x < 8; ++x) {
        const bool lit =
            (font.demo->glyphTable[static_cast<std::size_t>(code)][static_cast<std::size_t>(y)] &
             (0x80 >> x)) != 0;
        const std::size_t at = 3 * (static_cast<std::size_t>(code / 16 * 12 + y) * 128 +
                                    static_cast<std::size_t>(code % 16 * 8 + x));
        const std::uint8_t level = lit ? 255 : 0;
        ASSERT_EQ((Rgb{sheet->rgb[at], sheet->rgb[at + 1], sheet->rgb[at + 2]}),
                  (Rgb{level, level, level}))
            << "code " << code << " pixel " << x << "," << y;
      }
    }
  }
}

// The whole demo, 5296 frames.
TEST_F(FramesTool, EndsWithTheFrameInWhichTheScrollerRunsOutOfMessage) {
  const testing::ToolRun run = runFramesTool({"--seed", std::to_string(seed), "--frames", "6000",
                                              "--every", "1000", "--dump", path("run.jsonl")});
  ASSERT_EQ(run.status, 0) << run.errors;
  const std::vector<std::string> lines = testing::readLines(path("run.jsonl"));
  ASSERT_EQ(lines.size(), 8U);  // start, frames 1, 1000 .. 5000, the end
  EXPECT_EQ(jsonField(lines[6], "frame"), "5000");
  EXPECT_EQ(lines.back().substr(0, 80), R"({"frame": 5296, "ended": true})");
}

}  // namespace
}  // namespace vantrel::frames
