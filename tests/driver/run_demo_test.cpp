#include "driver/run_demo.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "audio/audio_fixtures.hpp"
#include "support/fake_platform.hpp"

namespace vantrel {
namespace {

using testing::FakeClock;
using testing::FakeConsole;

int runWith(FakeConsole& console) {
  FakeClock clock;
  // No sound device and no music file: the layer answers every call silently.
  SoundSystem sound({.openDevice = false, .musicFolders = {}, .builtInMusic = {}});
  return runDemo({console, clock, sound});
}

TEST(RunDemo, SetsUpAnEightyByFiftyWindowWithoutCursor) {
  FakeConsole console;
  console.keys = {KeyPress::character("\x1b")};
  EXPECT_EQ(runWith(console), 0);
  EXPECT_EQ(console.rows, 50);
  EXPECT_TRUE(console.cursorHidden);
}

TEST(RunDemo, TakesOneKeyPerFrameAndEndsOnEscAfterPresenting) {
  FakeConsole console;
  console.keys = {KeyPress::character("a"), KeyPress::specialKey(72), KeyPress::character("\x1b"),
                  KeyPress::character("b")};
  EXPECT_EQ(runWith(console), 0);
  EXPECT_EQ(console.frames.size(), 3U);
  EXPECT_EQ(console.keys.size(), 1U);
}

TEST(RunDemo, IgnoresCtrlCAndKeysWithoutACharacter) {
  FakeConsole console;
  console.keys = {KeyPress::character("\x03"), KeyPress::specialKey(27), KeyPress::specialKey(0),
                  KeyPress::character("\x1b")};
  runWith(console);
  EXPECT_EQ(console.frames.size(), 4U);
}

TEST(RunDemo, EndsWhenTheMessageRunsOutWithoutPresentingThatFrame) {
  FakeConsole console;
  EXPECT_EQ(runWith(console), 0);
  // The scroller ends the demo in frame 5296, before presenting it.
  EXPECT_EQ(console.frames.size(), 5295U);
}

// The start-up with real audio: the analysis is on before the music plays
// and the spectrum is fetched once it does, so bars rise within a moment of
// real time. The console presses Esc once a presented frame shows a bar.
class BarWatchingConsole final : public Console {
 public:
  int frames = 0;
  bool sawBars = false;

  void openWindow() override {}
  void setWindowRows(int) override {}
  void placeWindow(int, int) override {}
  void setWindowTitle(std::string_view) override {}
  void hideCursor() override {}
  void writeCells(const Cell* cells, BufferCoord, BufferCoord, WriteRegion&) override {
    ++frames;
    for (int i = 0; i < cellCount; ++i) sawBars = sawBars || cells[i].character == 179;
  }
  KeyPress pollKey() override {
    if (sawBars || frames >= 300) return KeyPress::character("\x1b");
    std::this_thread::sleep_for(std::chrono::milliseconds(10));  // real time for the music
    return {};
  }
  void restore() noexcept override {}
};

TEST(RunDemo, StartsTheMusicSoThatTheBarsMoveWithIt) {
  const testing::ScratchFolder folder;
  testing::writeSineMp3(folder / "BlueNoise.mp3", 44100, 2, 440.0, 2.0, 0.8);
  BarWatchingConsole console;
  FakeClock clock;
  // As the program runs it: the frame loop delivers the silent music.
  SoundSystem sound({.openDevice = false,
                     .musicFolders = {folder.path()},
                     .builtInMusic = {},
                     .silencePacedByCaller = true});
  EXPECT_EQ(runDemo({console, clock, sound}), 0);
  EXPECT_TRUE(console.sawBars) << "no bar in " << console.frames << " frames";
}

}  // namespace
}  // namespace vantrel
