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

}  // namespace
}  // namespace vantrel
