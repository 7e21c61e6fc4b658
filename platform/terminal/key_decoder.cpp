#include "platform/terminal/key_decoder.hpp"

#include <algorithm>
#include <cstring>

namespace vantrel {

namespace {

constexpr unsigned char escapeByte = 27;

bool isParameterByte(unsigned char byte) {
  return byte >= 0x30 && byte <= 0x3F;
}
bool isIntermediateByte(unsigned char byte) {
  return byte >= 0x20 && byte <= 0x2F;
}
bool isFinalByte(unsigned char byte) {
  return byte >= 0x40 && byte <= 0x7E;
}
bool isContinuationByte(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// Bytes in a UTF-8 character that starts with `lead`; 0 if it cannot start one.
std::size_t utf8Length(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

// The number before the first ';' of a parameter text, or 0.
int firstParameter(std::string_view parameters) {
  int value = 0;
  for (char digit : parameters) {
    if (digit < '0' || digit > '9' || value > 999) break;
    value = value * 10 + (digit - '0');
  }
  return value;
}

// Keys sent as CSI number ~ (VT220 editing and function keys).
unsigned char tildeKeyCode(int number) {
  switch (number) {
    case 1:
    case 7:
      return keycode::home;
    case 2:
      return keycode::insert;
    case 3:
      return keycode::del;
    case 4:
    case 8:
      return keycode::end;
    case 5:
      return keycode::pageUp;
    case 6:
      return keycode::pageDown;
    case 23:
      return keycode::f11;
    case 24:
      return keycode::f12;
    default:
      break;
  }
  if (number >= 11 && number <= 15) return static_cast<unsigned char>(keycode::f1 + number - 11);
  if (number >= 17 && number <= 21)
    return static_cast<unsigned char>(keycode::f1 + 5 + number - 17);
  return keycode::unknown;
}

// Keys sent as CSI or SS3 with a letter as the final byte; modifiers ignored.
unsigned char letterKeyCode(unsigned char final) {
  switch (final) {
    case 'A':
      return keycode::up;
    case 'B':
      return keycode::down;
    case 'C':
      return keycode::right;
    case 'D':
      return keycode::left;
    case 'H':
      return keycode::home;
    case 'F':
      return keycode::end;
    case 'P':
    case 'Q':
    case 'R':
    case 'S':
      return static_cast<unsigned char>(keycode::f1 + final - 'P');
    case 'Z':
      return keycode::shiftTab;
    default:
      return keycode::unknown;
  }
}

KeyPress sequenceKey(std::string_view parameters, unsigned char final) {
  if (final == '~') return KeyPress::specialKey(tildeKeyCode(firstParameter(parameters)));
  return KeyPress::specialKey(letterKeyCode(final));
}

}  // namespace

std::span<char> KeyDecoder::space() {
  if (start_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + start_, end_ - start_);
    end_ -= start_;
    cuts_ >>= start_;
    start_ = 0;
  }
  return {buffer_.data() + end_, capacity - end_};
}

void KeyDecoder::received(std::size_t count) {
  end_ = std::min(capacity, end_ + count);
}

std::size_t KeyDecoder::feed(std::string_view bytes) {
  const std::span<char> room = space();
  const std::size_t count = std::min(room.size(), bytes.size());
  std::memcpy(room.data(), bytes.data(), count);
  received(count);
  return count;
}

KeyPress KeyDecoder::next(bool quiet) {
  if (quiet && end_ > start_) cuts_.set(end_);
  while (start_ < end_) {
    const Result result = scanKey(start_, quiet);
    if (result.scan == Scan::incomplete) return {};
    start_ += result.length;
    if (result.scan == Scan::key) return result.key;
  }
  return {};
}

KeyDecoder::Span KeyDecoder::spanFrom(std::size_t at, bool quiet) const {
  // Bytes a quiet poll has seen are final: what arrives after them cannot
  // finish a key they started (an Esc seen alone stays Esc).
  for (std::size_t cut = at + 1; cut <= end_; ++cut) {
    if (cuts_[cut]) return {cut, true};
  }
  return {end_, quiet};
}

KeyDecoder::Result KeyDecoder::scanKey(std::size_t at, bool quiet) const {
  const Span span = spanFrom(at, quiet);
  if (byteAt(at) == escapeByte) return scanEscape(at, span);
  return scanCharacter(at, span);
}

KeyDecoder::Result KeyDecoder::scanEscape(std::size_t at, Span span) const {
  const Result escape{Scan::key, 1, KeyPress::character("\x1b")};
  if (at + 1 == span.end) return span.final ? escape : Result{Scan::incomplete};
  const unsigned char introducer = byteAt(at + 1);
  if (introducer == '[' || introducer == 'O') return scanSequence(at, span);
  // ESC before another key: that key with Alt held. Alt+Esc, or ESC before
  // bytes that are no key, is not Esc: the ESC goes with them.
  Result altKey = introducer == escapeByte ? scanEscape(at + 1, span) : scanCharacter(at + 1, span);
  if (altKey.scan == Scan::incomplete) return altKey;
  if (altKey.scan == Scan::skip || altKey.key.isEscape()) return {Scan::skip, altKey.length + 1};
  ++altKey.length;
  return altKey;
}

KeyDecoder::Result KeyDecoder::scanSequence(std::size_t at, Span span) const {
  const bool csi = byteAt(at + 1) == '[';
  std::size_t index = at + 2;
  // The Linux console sends F1..F5 as ESC [ [ A..E.
  if (csi && index < span.end && byteAt(index) == '[') {
    if (index + 1 == span.end) {
      if (!span.final) return {Scan::incomplete};
      return {Scan::key, span.end - at, KeyPress::specialKey(keycode::unknown)};
    }
    const unsigned char letter = byteAt(index + 1);
    const unsigned char code = letter >= 'A' && letter <= 'E'
                                   ? static_cast<unsigned char>(keycode::f1 + letter - 'A')
                                   : keycode::unknown;
    return {Scan::key, index + 2 - at, KeyPress::specialKey(code)};
  }
  // A sequence is cut after longestSequence bytes however the reads split
  // it, so the same bytes always give the same keys.
  const std::size_t limit = std::min(span.end, at + longestSequence);
  const std::size_t parametersStart = index;
  while (index < limit && isParameterByte(byteAt(index))) ++index;
  const std::size_t parametersEnd = index;
  while (index < limit && isIntermediateByte(byteAt(index))) ++index;

  const Result cut{Scan::key, index - at, KeyPress::specialKey(keycode::unknown)};
  if (index - at >= longestSequence) return cut;
  if (index == span.end) return span.final ? cut : Result{Scan::incomplete};
  const unsigned char final = byteAt(index);
  // A byte that cannot belong to a sequence ends it unfinished; that byte
  // then starts the next key.
  if (!isFinalByte(final)) return cut;
  const std::string_view parameters(buffer_.data() + parametersStart,
                                    parametersEnd - parametersStart);
  return {Scan::key, index + 1 - at, sequenceKey(parameters, final)};
}

KeyDecoder::Result KeyDecoder::scanCharacter(std::size_t at, Span span) const {
  const std::size_t length = utf8Length(byteAt(at));
  if (length == 0) return {Scan::skip, 1};
  for (std::size_t offset = 1; offset < length; ++offset) {
    if (at + offset == span.end)
      return span.final ? Result{Scan::skip, offset} : Result{Scan::incomplete};
    if (!isContinuationByte(byteAt(at + offset))) return {Scan::skip, offset};
  }
  return {Scan::key, length, KeyPress::character({buffer_.data() + at, length})};
}

}  // namespace vantrel
