#include "driver/run_demo.hpp"

#include <gtest/gtest.h>

#include "support/fake_platform.hpp"

namespace vantrel {
namespace {

using testing::FakeClock;
using testing::FakeConsole;

int runWith(FakeConsole& console) {
  FakeClock clock;
  // No sound device and no music file: the layer answers every call silently.
  SoundSystem sound({.openDevice = false, .musicFolders = {}});
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

}  // namespace
}  // namespace vantrel
