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
  decoder.feed("\x1b");
  EXPECT_EQ(decoder.next(true), esc) << "a second press, after a quiet poll, is Esc again";
}

// 40 keys, then Esc, then x a moment later: the poll that found nothing new
// saw the Esc standing alone, so it stays Esc though x now follows it.
TEST(KeyDecoder, AnEscAQuietPollSawAloneStaysEscWhateverComesAfter) {
  KeyDecoder decoder;
  decoder.feed(std::string(40, 'k') + "\x1b");
  EXPECT_EQ(decoder.next(false), KeyPress::character("k"));
  EXPECT_EQ(decoder.next(true), KeyPress::character("k"));
  decoder.feed("x");
  std::vector<KeyPress> keys;
  for (KeyPress key = decoder.next(false); !key.empty(); key = decoder.next(false)) {
    keys.push_back(key);
  }
  ASSERT_EQ(keys.size(), 40U);
  EXPECT_EQ(keys[38], esc);
  EXPECT_EQ(keys[39], KeyPress::character("x"));
}

// As the demo polls: one key a frame, quiet while nothing new comes. The x
// arrives behind the settled Esc, and the quiet polls after it must not join
// the two into Alt+x.
TEST(KeyDecoder, AnEscSettledBehindWaitingKeysSurvivesLaterQuietPolls) {
  KeyDecoder decoder;
  decoder.feed(std::string(40, 'k') + "\x1b");
  std::vector<KeyPress> keys;
  for (int frame = 0; frame < 9; ++frame) keys.push_back(decoder.next(true));
  decoder.feed("x");
  keys.push_back(decoder.next(false));
  for (KeyPress key = decoder.next(true); !key.empty(); key = decoder.next(true)) {
    keys.push_back(key);
  }
  ASSERT_EQ(keys.size(), 42U);
  EXPECT_EQ(keys[40], esc);
  EXPECT_EQ(keys[41], KeyPress::character("x"));
}

TEST(KeyDecoder, EscBeforeBytesThatAreNoKeyIsDroppedWithThemNeverEsc) {
  EXPECT_EQ(decode({"\x1b\x9c"}), std::vector<KeyPress>{}) << "a stray continuation byte";
  EXPECT_EQ(decode({"\x1b\xf7"}), std::vector<KeyPress>{}) << "a byte UTF-8 never uses";
  EXPECT_EQ(decode({"\x1b\xc3\x28"}), std::vector{KeyPress::character("(")})
      << "a character cut by another byte";
  EXPECT_EQ(decode({"\x1b\xe2\x82"}), std::vector<KeyPress>{}) << "a character cut at the end";
  EXPECT_EQ(decode({"\x1b\x1b"}), std::vector<KeyPress>{}) << "Alt+Esc";
  EXPECT_EQ(decode({"\x1b\x1b[A"}), std::vector{special(keycode::up)}) << "Alt+Up";
  EXPECT_EQ(decode({"\x1b\x1bq"}), std::vector{KeyPress::character("q")});
}

// Whatever garbage arrives in one read, the only Esc it can give is a lone
// ESC at its very end.
TEST(KeyDecoder, RandomBytesGiveEscOnlyForAnEscAtTheirEnd) {
  const std::string alphabet = "\x1b\x1b\x1b[O1;~a\x80\x9c\xc3\xe2\xf0\xf7\xff\x04";
  unsigned state = 12345;
  const auto random = [&state](std::size_t below) {
    state = state * 1103515245U + 12345U;
    return (state >> 16) % below;
  };
  for (int trial = 0; trial < 5000; ++trial) {
    std::string bytes;
    const std::size_t length = 1 + random(12);
    for (std::size_t i = 0; i < length; ++i) bytes += alphabet[random(alphabet.size())];
    int escapes = 0;
    for (const KeyPress& key : decode({bytes})) escapes += key.isEscape() ? 1 : 0;
    const bool loneEscAtEnd =
        bytes.back() == '\x1b' && (bytes.size() == 1 || bytes[bytes.size() - 2] != '\x1b');
    EXPECT_LE(escapes, loneEscAtEnd ? 1 : 0) << ::testing::PrintToString(bytes);
  }
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

// Found by fuzzing: an overlong sequence gave other keys when a read split it.
TEST(KeyDecoder, AnOverlongSequenceGivesTheSameKeysHoweverTheReadsSplitIt) {
  const std::string bytes = "\x1bO" + std::string(39, '+') + "P";
  const auto decode = [&bytes](std::size_t readSize) {
    KeyDecoder decoder;
    std::vector<KeyPress> keys;
    for (std::size_t at = 0; at < bytes.size(); at += readSize) {
      decoder.feed(std::string_view(bytes).substr(at, readSize));
      for (KeyPress key = decoder.next(false); !key.empty(); key = decoder.next(false)) {
        keys.push_back(key);
      }
    }
    for (KeyPress key = decoder.next(true); !key.empty(); key = decoder.next(true)) {
      keys.push_back(key);
    }
    return keys;
  };
  const std::vector<KeyPress> whole = decode(bytes.size());
  EXPECT_EQ(whole.front(), KeyPress::specialKey(keycode::unknown));
  for (const std::size_t readSize : {1U, 3U, 20U}) EXPECT_EQ(decode(readSize), whole) << readSize;
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
  EXPECT_EQ(decode({"\x1b\x04"}), std::vector{KeyPress::character("\x04")}) << "Alt+Ctrl+D";
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
