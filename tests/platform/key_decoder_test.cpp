#include "platform/terminal/key_decoder.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace vantrel {
namespace {

const KeyPress esc = KeyPress::character("\x1b");
KeyPress special(unsigned char code) {
  return KeyPress::specialKey(code);
}

// Feeds `bursts` one read at a time, polling once after each; then polls
// while quiet until nothing more comes. Returns every key in order.
std::vector<KeyPress> decode(const std::vector<std::string_view>& bursts) {
  KeyDecoder decoder;
  std::vector<KeyPress> keys;
  for (std::string_view burst : bursts) {
    EXPECT_EQ(decoder.feed(burst), burst.size());
    if (KeyPress key = decoder.next(false); !key.empty()) keys.push_back(key);
  }
  for (KeyPress key = decoder.next(true); !key.empty(); key = decoder.next(true)) {
    keys.push_back(key);
  }
  EXPECT_EQ(decoder.pending(), 0U);
  return keys;
}

TEST(KeyDecoder, PlainBytesAreOneKeyEachInOrderCtrlCIncluded) {
  EXPECT_EQ(decode({"a\x03\r"}), (std::vector{KeyPress::character("a"), KeyPress::character("\x03"),
                                              KeyPress::character("\r")}));
}

TEST(KeyDecoder, LoneEscIsEscOnlyOnceAPollFindsNothingAfterIt) {
  KeyDecoder decoder;
  decoder.feed("\x1b");
  EXPECT_TRUE(decoder.next(false).empty()) << "more of a sequence may still be on its way";
  EXPECT_EQ(decoder.next(true), esc);
  EXPECT_TRUE(decoder.next(true).empty());

  EXPECT_EQ(decode({"x\x1b"}), (std::vector{KeyPress::character("x"), esc}));
  EXPECT_EQ(decode({"\x1b\x1b"}), (std::vector{esc, esc}));
}

TEST(KeyDecoder, CsiAndSs3SequencesAreKeysWithoutCharacter) {
  EXPECT_EQ(decode({"\x1b[A\x1b[B\x1b[C\x1b[D"}),
            (std::vector{special(keycode::up), special(keycode::down), special(keycode::right),
                         special(keycode::left)}));
  EXPECT_EQ(decode({"\x1bOA\x1bOP\x1bOS\x1bOH"}),
            (std::vector{special(keycode::up), special(keycode::f1), special(keycode::f1 + 3),
                         special(keycode::home)}));
  // Parameters: modifiers, VT220 numbered keys, and sequences nobody maps.
  EXPECT_EQ(decode({"\x1b[1;5A\x1b[3~\x1b[15;2~\x1b[24~\x1b[6~\x1bO1;2Q\x1b[?1;2c"}),
            (std::vector{special(keycode::up), special(keycode::del), special(keycode::f1 + 4),
                         special(keycode::f12), special(keycode::pageDown),
                         special(keycode::f1 + 1), special(keycode::unknown)}));
  EXPECT_EQ(decode({"\x1b[[B"}), (std::vector{special(keycode::f1 + 1)}));
  for (const KeyPress& key : decode({"\x1b[27~\x1b[27;5;27~\x1bO"})) {
    EXPECT_FALSE(key.isEscape()) << "a key without a character must never read as Esc";
    EXPECT_EQ(key.first(), KeyPress::special);
  }
}

TEST(KeyDecoder, SequencesSplitAcrossReadsAreHeldUntilComplete) {
  const std::vector expected{special(keycode::f1 + 4), KeyPress::character("z")};
  EXPECT_EQ(decode({"\x1b", "[", "1", "5", "~z"}), expected);
  EXPECT_EQ(decode({"\x1b[15", "~", "z"}), expected);
  EXPECT_EQ(decode({"\x1bO", "A"}), std::vector{special(keycode::up)});
  // An ESC then a quiet poll is Esc even if a '[' follows later.
  KeyDecoder decoder;
  decoder.feed("\x1b");
  EXPECT_TRUE(decoder.next(false).empty());
  EXPECT_EQ(decoder.next(true), esc);
  decoder.feed("[");
  EXPECT_EQ(decoder.next(false), KeyPress::character("["));
}

TEST(KeyDecoder, ACutSequenceIsNotEscAndTheByteThatCutItStartsTheNextKey) {
  EXPECT_EQ(decode({"\x1b[1;", ""}), std::vector{special(keycode::unknown)});
  EXPECT_EQ(decode({"\x1b[1\x1b"}), (std::vector{special(keycode::unknown), esc}));
  EXPECT_EQ(decode({"\x1b[12\x03"}),
            (std::vector{special(keycode::unknown), KeyPress::character("\x03")}));
}

TEST(KeyDecoder, AnEndlessSequenceIsDroppedInsteadOfFillingTheBuffer) {
  const std::string endless = "\x1b[" + std::string(100, '1');
  KeyDecoder decoder;
  std::vector<KeyPress> keys;
  for (char byte : endless + "q") {
    decoder.feed(std::string_view(&byte, 1));
    if (KeyPress key = decoder.next(false); !key.empty()) keys.push_back(key);
  }
  for (KeyPress key = decoder.next(true); !key.empty(); key = decoder.next(true)) {
    keys.push_back(key);
  }
  ASSERT_FALSE(keys.empty());
  EXPECT_EQ(keys.back(), KeyPress::character("q"));
  for (std::size_t i = 0; i + 1 < keys.size(); ++i) EXPECT_FALSE(keys[i].isEscape());
}

TEST(KeyDecoder, Utf8CharacterIsOneKeyEvenWhenSplit) {
  EXPECT_EQ(decode({"\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80"}),
            (std::vector{KeyPress::character("\xc3\xa9"), KeyPress::character("\xe2\x82\xac"),
                         KeyPress::character("\xf0\x9f\x98\x80")}));
  EXPECT_EQ(decode({"\xf0\x9f", "\x98", "\x80"}),
            std::vector{KeyPress::character("\xf0\x9f\x98\x80")});
  // Stray continuation bytes, a lead cut by another key, a cut end: skipped.
  EXPECT_EQ(decode({"\x80\xbf"
                    "a\xc3"
                    "b\xe2\x82"}),
            (std::vector{KeyPress::character("a"), KeyPress::character("b")}));
}

TEST(KeyDecoder, EscBeforeAnotherKeyIsThatKeyWithAlt) {
  EXPECT_EQ(decode({"\x1bx\x1b\xc3\xa9"}),
            (std::vector{KeyPress::character("x"), KeyPress::character("\xc3\xa9")}));
}

TEST(KeyDecoder, AFloodOfKeysIsTakenInOrderAsRoomAllows) {
  const std::string flood(1000, 'k');
  KeyDecoder decoder;
  std::size_t fed = 0;
  std::size_t taken = 0;
  while (taken < flood.size()) {
    fed += decoder.feed(std::string_view(flood).substr(fed));
    ASSERT_EQ(decoder.next(false), KeyPress::character("k"));
    ++taken;
  }
  EXPECT_EQ(fed, flood.size());
  EXPECT_TRUE(decoder.next(true).empty());
}

}  // namespace
}  // namespace vantrel
