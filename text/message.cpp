#include "text/message.hpp"

#include <algorithm>
#include <string_view>

namespace vantrel {

namespace {

// The font draws every code from 32 to 121 in the message's style; the
// message stays inside that range.
constexpr bool usesMessageCharactersOnly(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= ' ' && c <= 'y'; });
}

constexpr std::string_view greeting =
    " Hello, and welcome to VANTREL: waves, bars and big letters, all made of text cells. ";
constexpr std::string_view musicCredit =
    "The music, Blue Noise, was written, played and mixed by the vantrel crew for this demo. ";
constexpr std::string_view codeAndFontCredit =
    "The code is plain C++20 on one thread; the 8x12 font was drawn pixel by pixel by hand. ";
constexpr std::string_view thanks = "Thank you for watching. Copy me, share me, and travel on.";
// The tail lets the last words leave the screen before the message ends.
constexpr std::string_view tailSpace = " ";
constexpr int tailSpaceRepeats = 15;

static_assert(greeting.size() == 85 && greeting.front() == ' ' && greeting.back() == ' ');
static_assert(musicCredit.size() == 88 && musicCredit.back() == ' ');
static_assert(codeAndFontCredit.size() == 87 && codeAndFontCredit.back() == ' ');
static_assert(thanks.size() == 57 && thanks.back() == '.');
static_assert(usesMessageCharactersOnly(greeting) && usesMessageCharactersOnly(musicCredit) &&
              usesMessageCharactersOnly(codeAndFontCredit) && usesMessageCharactersOnly(thanks));
static_assert(greeting.size() + musicCredit.size() + codeAndFontCredit.size() + thanks.size() +
                  tailSpaceRepeats * tailSpace.size() ==
              scrollMessageLength);

}  // namespace

std::string buildScrollText() {
  std::string text;
  text.reserve(scrollMessageLength);
  text += greeting;
  text += musicCredit;
  text += codeAndFontCredit;
  text += thanks;
  for (int i = 0; i < tailSpaceRepeats; ++i) text += tailSpace;
  return text;
}

}  // namespace vantrel
