#pragma once
// Turns Windows console key events into the demo's key presses. Kept apart
// from the console calls so the rules can be tested without a console.

#include <cstdint>
#include <optional>

#include "platform/key_press.hpp"

namespace vantrel {

// The fields of a console KEY_EVENT_RECORD that decide the key press.
struct ConsoleKeyEvent {
  bool keyDown = false;
  std::uint16_t virtualKey = 0;
  std::uint16_t scanCode = 0;
  char16_t character = 0;         // UTF-16 code unit; 0 when the key has no character
  std::uint16_t repeatCount = 1;  // a key held down may come as one event for n presses
};

// Decodes one event at a time. A character outside the Basic Multilingual
// Plane arrives as two events (high then low surrogate), so the decoder
// keeps the first half until the second comes. An event with a repeat count
// of n stands for n presses: decode gives the first, takeRepeat the others,
// one per call, so each is taken in a frame of its own.
class ConsoleKeyDecoder {
 public:
  // The key press the event stands for, or nothing when it is to be skipped:
  // releases, modifier and lock keys alone, and the first half of a pair.
  std::optional<KeyPress> decode(const ConsoleKeyEvent& event);

  // The next press still owed by the last decoded event's repeat count.
  std::optional<KeyPress> takeRepeat();

 private:
  std::optional<KeyPress> decodeOnce(const ConsoleKeyEvent& event);

  char16_t pendingHighSurrogate_ = 0;
  KeyPress repeatedPress_{};
  std::uint16_t repeatsLeft_ = 0;
};

// Virtual-key codes the decoder looks at (the values of the Windows VK_ names).
namespace virtual_key {
inline constexpr std::uint16_t escape = 0x1B;
inline constexpr std::uint16_t shift = 0x10;
inline constexpr std::uint16_t control = 0x11;
inline constexpr std::uint16_t alt = 0x12;
inline constexpr std::uint16_t capsLock = 0x14;
inline constexpr std::uint16_t leftWindows = 0x5B;
inline constexpr std::uint16_t rightWindows = 0x5C;
inline constexpr std::uint16_t numLock = 0x90;
inline constexpr std::uint16_t scrollLock = 0x91;
inline constexpr std::uint16_t leftShift = 0xA0;
inline constexpr std::uint16_t rightAlt = 0xA5;
}  // namespace virtual_key

// True for shift, control, alt, the Windows keys and the lock keys.
bool isModifierKey(std::uint16_t virtualKey);

// The UTF-8 key press of one Unicode code point (U+FFFD for a surrogate or a
// value past U+10FFFF, which have no UTF-8 form).
KeyPress keyPressForCodePoint(char32_t codePoint);

}  // namespace vantrel
