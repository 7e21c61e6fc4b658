#pragma once
// One key press as a short text: a character key gives its character (a
// UTF-8 sequence of up to four bytes); Esc gives the byte 27; a key without a
// character (arrow, function key, ...) gives two bytes, 0 then a key code.

#include <array>
#include <cstdint>
#include <string_view>

namespace vantrel {

struct KeyPress {
  static constexpr unsigned char escape = 27;
  static constexpr unsigned char special = 0;

  std::array<char, 4> text{};
  std::uint8_t length = 0;

  bool empty() const { return length == 0; }
  unsigned char first() const { return static_cast<unsigned char>(text[0]); }
  bool isEscape() const { return length > 0 && first() == escape; }
  std::string_view view() const { return {text.data(), length}; }

  static KeyPress character(std::string_view bytes) {
    KeyPress key;
    for (char byte : bytes.substr(0, key.text.size())) key.text[key.length++] = byte;
    return key;
  }
  static KeyPress specialKey(unsigned char code) {
    KeyPress key;
    key.text = {static_cast<char>(special), static_cast<char>(code), 0, 0};
    key.length = 2;
    return key;
  }

  friend bool operator==(const KeyPress& a, const KeyPress& b) { return a.view() == b.view(); }
};

}  // namespace vantrel
