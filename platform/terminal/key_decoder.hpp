#pragma once
// Turns the bytes a terminal sends for its keys into key presses, one at a
// time in order of arrival. Pure: the caller does the reading.
//
// A key is one of: a character (ASCII or one UTF-8 character), Esc (a lone
// ESC byte), or a key without a character, sent as a CSI (ESC [) or SS3
// (ESC O) sequence, possibly with parameters, which becomes a KeyPress whose
// first byte is 0. An ESC followed by any other key is that key with Alt held
// and gives the key itself.
//
// A terminal sends each key in one burst, but a read may still split it. So
// an incomplete key at the end of the buffer is held until more bytes come;
// once a poll finds no new bytes ("quiet"), the held bytes are taken as they
// stand: a lone ESC is Esc, a cut sequence is a key without a character, a
// cut UTF-8 character is dropped. That holds for every byte such a poll has
// seen, even one still behind other keys when more bytes come.

#include <array>
#include <bitset>
#include <cstddef>
#include <span>
#include <string_view>

#include "platform/key_press.hpp"

namespace vantrel {

// Codes of keys without a character: the PC keyboard's scan codes, the way
// the Windows console reports them, so both layers agree.
namespace keycode {
inline constexpr unsigned char unknown = 0;
inline constexpr unsigned char shiftTab = 15;
inline constexpr unsigned char f1 = 59;  // F1..F10 are 59..68
inline constexpr unsigned char home = 71;
inline constexpr unsigned char up = 72;
inline constexpr unsigned char pageUp = 73;
inline constexpr unsigned char left = 75;
inline constexpr unsigned char right = 77;
inline constexpr unsigned char end = 79;
inline constexpr unsigned char down = 80;
inline constexpr unsigned char pageDown = 81;
inline constexpr unsigned char insert = 82;
inline constexpr unsigned char del = 83;
inline constexpr unsigned char f11 = 133;
inline constexpr unsigned char f12 = 134;
}  // namespace keycode

class KeyDecoder {
 public:
  static constexpr std::size_t capacity = 128;
  // A sequence longer than this is not a key: it is dropped rather than
  // allowed to fill the buffer while waiting for an end that never comes.
  static constexpr std::size_t longestSequence = 32;

  // Free room at the end of the buffer for the next read.
  std::span<char> space();
  // `count` bytes were read into space().
  void received(std::size_t count);
  // Copies as much of `bytes` as fits; returns how much did.
  std::size_t feed(std::string_view bytes);

  // The next key press, or an empty one when no complete key is waiting.
  // `quiet`: the latest read brought nothing, so held bytes are final.
  KeyPress next(bool quiet);

  std::size_t pending() const { return end_ - start_; }

 private:
  enum class Scan { key, incomplete, skip };
  struct Result {
    Scan scan = Scan::skip;
    std::size_t length = 1;  // bytes the key (or the skipped garbage) takes
    KeyPress key{};
  };

  // Where a key being scanned must end, and whether bytes may still come.
  struct Span {
    std::size_t end = 0;
    bool final = false;
  };

  // The bytes a key starting at `at` may take, and whether they are final.
  Span spanFrom(std::size_t at, bool quiet) const;
  Result scanKey(std::size_t at, bool quiet) const;
  Result scanEscape(std::size_t at, Span span) const;
  Result scanSequence(std::size_t at, Span span) const;
  Result scanCharacter(std::size_t at, Span span) const;
  unsigned char byteAt(std::size_t at) const { return static_cast<unsigned char>(buffer_[at]); }

  std::array<char, capacity> buffer_{};
  std::size_t start_ = 0;
  std::size_t end_ = 0;
  // Where the buffer ended at each quiet poll since: what arrived later cannot
  // finish a key begun before such a cut (an Esc seen alone stays Esc, even
  // after later quiet polls). Bit i: a cut after the first i bytes.
  std::bitset<capacity + 1> cuts_;
};

}  // namespace vantrel
