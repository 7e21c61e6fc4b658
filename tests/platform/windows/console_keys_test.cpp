#include "platform/windows/console_keys.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace vantrel {
namespace {

constexpr std::uint16_t letterA = 0x41;
constexpr std::uint16_t upArrow = 0x26;
constexpr std::uint16_t upArrowScan = 0x48;

ConsoleKeyEvent down(std::uint16_t virtualKey, char16_t character, std::uint16_t scanCode = 0) {
  return {.keyDown = true, .virtualKey = virtualKey, .scanCode = scanCode, .character = character};
}

// Decodes a run of events and keeps the key presses that come out.
std::vector<KeyPress> decodeAll(const std::vector<ConsoleKeyEvent>& events) {
  ConsoleKeyDecoder decoder;
  std::vector<KeyPress> presses;
  for (const ConsoleKeyEvent& event : events) {
    if (auto press = decoder.decode(event)) presses.push_back(*press);
  }
  return presses;
}

TEST(ConsoleKeys, EscIsTheVirtualKeyOrTheCharacter) {
  // Windows sends both; wine sends the virtual key with character 0.
  for (const auto& event :
       {down(virtual_key::escape, 27), down(virtual_key::escape, 0), down(0, 27)}) {
    const auto presses = decodeAll({event});
    ASSERT_EQ(presses.size(), 1U);
    EXPECT_TRUE(presses[0].isEscape());
    EXPECT_EQ(presses[0].length, 1);
  }
}

TEST(ConsoleKeys, ReleasesAndModifiersAloneAreSkipped) {
  ConsoleKeyEvent release = down(letterA, u'a');
  release.keyDown = false;
  const auto presses =
      decodeAll({release, down(virtual_key::shift, 0), down(virtual_key::control, 0),
                 down(virtual_key::alt, 0), down(virtual_key::capsLock, 0),
                 down(virtual_key::numLock, 0), down(virtual_key::leftShift, 0),
                 down(virtual_key::rightAlt, 0), down(virtual_key::leftWindows, 0)});
  EXPECT_TRUE(presses.empty());
}

TEST(ConsoleKeys, CharactersComeOutAsUtf8) {
  const auto presses = decodeAll({down(letterA, u'a'), down(letterA, 3), down(0, u'\u00e9'),
                                  down(0, u'\u20ac'), down(0, 0xD83D), down(0, 0xDE00)});
  ASSERT_EQ(presses.size(), 5U);
  EXPECT_EQ(presses[0].view(), "a");
  EXPECT_EQ(presses[1].view(), "\x03");  // Ctrl+C in raw mode is an ordinary key
  EXPECT_EQ(presses[2].view(), "\xc3\xa9");
  EXPECT_EQ(presses[3].view(), "\xe2\x82\xac");
  EXPECT_EQ(presses[4].view(), "\xf0\x9f\x98\x80");  // one press for the surrogate pair
}

TEST(ConsoleKeys, UnpairedSurrogatesBecomeTheReplacementCharacter) {
  // A low half alone, and a high half followed by an ordinary character.
  const auto presses = decodeAll({down(0, 0xDC00), down(0, 0xD800), down(letterA, u'a')});
  ASSERT_EQ(presses.size(), 2U);
  EXPECT_EQ(presses[0].view(), "\xef\xbf\xbd");
  EXPECT_EQ(presses[1].view(), "a");
  EXPECT_EQ(keyPressForCodePoint(0x110000).view(), "\xef\xbf\xbd");
}

TEST(ConsoleKeys, KeysWithoutACharacterGiveZeroAndTheScanCode) {
  const auto presses = decodeAll({down(upArrow, 0, upArrowScan), down(0x70, 0, 0x3B)});
  ASSERT_EQ(presses.size(), 2U);
  EXPECT_EQ(presses[0], KeyPress::specialKey(upArrowScan));
  EXPECT_EQ(presses[1], KeyPress::specialKey(0x3B));
  EXPECT_FALSE(presses[0].isEscape());
}

// Takes presses the way the console does, one per frame: what a repeat count
// still owes first, then the next event.
std::vector<KeyPress> pollAll(const std::vector<ConsoleKeyEvent>& events) {
  ConsoleKeyDecoder decoder;
  std::vector<KeyPress> presses;
  auto next = events.begin();
  for (;;) {
    if (auto repeat = decoder.takeRepeat()) {
      presses.push_back(*repeat);
      continue;
    }
    if (next == events.end()) return presses;
    if (auto press = decoder.decode(*next++)) presses.push_back(*press);
  }
}

ConsoleKeyEvent repeated(ConsoleKeyEvent event, std::uint16_t count) {
  event.repeatCount = count;
  return event;
}

TEST(ConsoleKeys, ARepeatCountOfNIsNPressesBeforeTheNextKey) {
  const auto presses =
      pollAll({repeated(down(letterA, u'a'), 3), repeated(down(upArrow, 0, upArrowScan), 2),
               down(virtual_key::escape, 27)});
  ASSERT_EQ(presses.size(), 6U);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(presses[static_cast<std::size_t>(i)].view(), "a");
  EXPECT_EQ(presses[3], KeyPress::specialKey(upArrowScan));
  EXPECT_EQ(presses[4], KeyPress::specialKey(upArrowScan));
  EXPECT_TRUE(presses[5].isEscape());
}

TEST(ConsoleKeys, RepeatCountsOfSkippedEventsAndZeroCountsOweNothing) {
  ConsoleKeyEvent release = repeated(down(letterA, u'a'), 5);
  release.keyDown = false;
  const auto presses =
      pollAll({release, repeated(down(virtual_key::shift, 0), 4), repeated(down(0, 0xD83D), 3),
               repeated(down(0, 0xDE00), 2), repeated(down(letterA, u'b'), 0)});
  ASSERT_EQ(presses.size(), 3U);
  EXPECT_EQ(presses[0].view(), "\xf0\x9f\x98\x80");  // the pair's second half counts
  EXPECT_EQ(presses[1].view(), "\xf0\x9f\x98\x80");
  EXPECT_EQ(presses[2].view(), "b");
}

}  // namespace
}  // namespace vantrel
