// The terminal key decoder over arbitrary bytes split at arbitrary read
// boundaries, its promises checked on every run:
// - the same bytes give the same keys however the reads split them;
// - an Esc that a quiet poll found standing alone stays Esc, whatever comes
//   after it, even behind keys still waiting to be taken;
// - keys never hold more bytes than came in, and bytes with no ESC among
//   them, valid UTF-8, come out as exactly those characters.

#include <string>
#include <vector>

#include "fuzz_input.hpp"
#include "platform/terminal/key_decoder.hpp"

namespace vantrel::fuzz {
namespace {

// Feeds `bytes` in reads of the given sizes, taking every key that is ready
// after each read, then settles what is held with quiet polls. As the
// terminal layer does, a poll with no room left to read into is quiet.
std::vector<KeyPress> decode(std::string_view bytes, const std::vector<std::size_t>& reads) {
  KeyDecoder decoder;
  std::vector<KeyPress> keys;
  const auto takeReady = [&](bool quiet) {
    for (KeyPress key = decoder.next(quiet); !key.empty(); key = decoder.next(quiet)) {
      keys.push_back(key);
    }
  };
  std::size_t read = 0;
  while (!bytes.empty()) {
    const std::size_t wanted = reads.empty() ? bytes.size() : reads[read++ % reads.size()];
    std::string_view chunk = bytes.substr(0, wanted == 0 ? 1 : wanted);
    while (!chunk.empty()) {
      const std::size_t fitted = decoder.feed(chunk);
      chunk.remove_prefix(fitted);
      bytes.remove_prefix(fitted);
      takeReady(fitted == 0);
      require(fitted > 0 || decoder.pending() < KeyDecoder::capacity,
              "a full buffer that even a quiet poll cannot empty");
    }
  }
  takeReady(true);
  return keys;
}

// Well-formed UTF-8 (RFC 3629): no overlong forms, no surrogates, nothing
// past U+10FFFF.
bool isValidUtf8(std::string_view text) {
  const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    unsigned char low = 0x80;  // the range of the byte after the lead
    unsigned char high = 0xBF;
    if (lead < 0x80) {
      length = 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const unsigned char next = byte(i + k);
      if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF)) return false;
    }
    i += length;
  }
  return true;
}

void checkSplitsAgree(std::string_view bytes, const std::vector<std::size_t>& reads) {
  const std::vector<KeyPress> whole = decode(bytes, {});
  const std::vector<KeyPress> split = decode(bytes, reads);
  // Only a buffer that fills up (a flood of bytes no poll can settle) may
  // make the split matter.
  if (bytes.size() < KeyDecoder::capacity) {
    require(whole == split, "the same bytes give other keys when the reads split them otherwise");
  }
  std::size_t keyBytes = 0;
  for (const KeyPress& key : whole) keyBytes += key.length;
  require(keyBytes <= bytes.size(), "the keys hold more bytes than came in");
  if (bytes.find('\x1b') == std::string_view::npos && isValidUtf8(bytes)) {
    std::string text;
    for (const KeyPress& key : whole) text += key.view();
    require(text == bytes, "characters lost or invented");
  }
}

// Plain keys waiting, then an ESC that a quiet poll sees standing alone, then
// anything at all: the Esc is the key right after the plain ones.
void checkSettledEscStays(std::string_view waiting, std::string_view after) {
  KeyDecoder decoder;
  std::vector<KeyPress> keys;
  std::string plain;
  for (const char c : waiting) {
    if (c >= 'a' && c <= 'z' && plain.size() < 40) plain += c;
  }
  decoder.feed(plain + '\x1b');
  if (KeyPress key = decoder.next(true); !key.empty()) keys.push_back(key);
  // The read that brings `after` is not quiet; the polls after it are.
  decoder.feed(after.substr(0, KeyDecoder::capacity - decoder.pending()));
  if (KeyPress key = decoder.next(false); !key.empty()) keys.push_back(key);
  for (KeyPress key = decoder.next(true); !key.empty(); key = decoder.next(true))
    keys.push_back(key);
  require(keys.size() > plain.size() && keys[plain.size()].isEscape(),
          "an Esc a quiet poll found alone was read as something else");
}

}  // namespace
}  // namespace vantrel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantrel::fuzz;
  FuzzInput input(data, size);
  const std::vector<std::size_t> reads = readSizes(input);
  const std::string_view bytes = asText(input.rest());
  checkSplitsAgree(bytes, reads);
  checkSettledEscStays(bytes.substr(0, bytes.size() / 2), bytes.substr(bytes.size() / 2));
  return 0;
}
