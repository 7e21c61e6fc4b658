#include "platform/windows/console_keys.hpp"

namespace vantrel {

namespace {

constexpr char32_t replacementCharacter = 0xFFFD;

bool isHighSurrogate(char16_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isLowSurrogate(char16_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

char32_t combineSurrogates(char16_t high, char16_t low) {
  return 0x10000 + ((static_cast<char32_t>(high) - 0xD800) << 10) +
         (static_cast<char32_t>(low) - 0xDC00);
}

char utf8Byte(char32_t bits) {
  return static_cast<char>(static_cast<unsigned char>(bits));
}

}  // namespace

bool isModifierKey(std::uint16_t virtualKey) {
  using namespace virtual_key;
  return virtualKey == shift || virtualKey == control || virtualKey == alt ||
         virtualKey == capsLock || virtualKey == numLock || virtualKey == scrollLock ||
         virtualKey == leftWindows || virtualKey == rightWindows ||
         (virtualKey >= leftShift && virtualKey <= rightAlt);
}

KeyPress keyPressForCodePoint(char32_t codePoint) {
  if ((codePoint >= 0xD800 && codePoint <= 0xDFFF) || codePoint > 0x10FFFF) {
    codePoint = replacementCharacter;
  }
  char bytes[4];
  if (codePoint < 0x80) {
    bytes[0] = utf8Byte(codePoint);
    return KeyPress::character({bytes, 1});
  }
  if (codePoint < 0x800) {
    bytes[0] = utf8Byte(0xC0 | (codePoint >> 6));
    bytes[1] = utf8Byte(0x80 | (codePoint & 0x3F));
    return KeyPress::character({bytes, 2});
  }
  if (codePoint < 0x10000) {
    bytes[0] = utf8Byte(0xE0 | (codePoint >> 12));
    bytes[1] = utf8Byte(0x80 | ((codePoint >> 6) & 0x3F));
    bytes[2] = utf8Byte(0x80 | (codePoint & 0x3F));
    return KeyPress::character({bytes, 3});
  }
  bytes[0] = utf8Byte(0xF0 | (codePoint >> 18));
  bytes[1] = utf8Byte(0x80 | ((codePoint >> 12) & 0x3F));
  bytes[2] = utf8Byte(0x80 | ((codePoint >> 6) & 0x3F));
  bytes[3] = utf8Byte(0x80 | (codePoint & 0x3F));
  return KeyPress::character({bytes, 4});
}

std::optional<KeyPress> ConsoleKeyDecoder::decode(const ConsoleKeyEvent& event) {
  const auto press = decodeOnce(event);
  if (press) {
    repeatedPress_ = *press;
    // A count of 0 still stands for the one press the event reports.
    repeatsLeft_ = event.repeatCount > 1 ? static_cast<std::uint16_t>(event.repeatCount - 1) : 0;
  }
  return press;
}

std::optional<KeyPress> ConsoleKeyDecoder::takeRepeat() {
  if (repeatsLeft_ == 0) return std::nullopt;
  --repeatsLeft_;
  return repeatedPress_;
}

std::optional<KeyPress> ConsoleKeyDecoder::decodeOnce(const ConsoleKeyEvent& event) {
  if (!event.keyDown) return std::nullopt;
  // Wine reports Esc with the virtual key and no character; Windows with both.
  if (event.virtualKey == virtual_key::escape || event.character == KeyPress::escape) {
    pendingHighSurrogate_ = 0;
    return KeyPress::character({"\x1b", 1});
  }
  if (event.character == 0) {
    if (isModifierKey(event.virtualKey)) return std::nullopt;
    pendingHighSurrogate_ = 0;
    return KeyPress::specialKey(static_cast<unsigned char>(event.scanCode & 0xFF));
  }
  if (isHighSurrogate(event.character)) {
    pendingHighSurrogate_ = event.character;
    return std::nullopt;
  }
  const char16_t high = pendingHighSurrogate_;
  pendingHighSurrogate_ = 0;
  if (isLowSurrogate(event.character)) {
    if (high == 0) return keyPressForCodePoint(replacementCharacter);
    return keyPressForCodePoint(combineSurrogates(high, event.character));
  }
  return keyPressForCodePoint(event.character);
}

}  // namespace vantrel
