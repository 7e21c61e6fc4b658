#include "platform/terminal/kitty_graphics.hpp"

#include <array>

#include "platform/terminal/terminal_sequences.hpp"

namespace vantrel {

namespace {

constexpr std::string_view base64Digits =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::size_t bytesPerChunk = kittyChunkSize / 4 * 3;
// a=T: transmit and place; f=100: PNG; i, p: the one image and placement,
// replaced by the next; C=1: the cursor stays; q=2: no answer.
constexpr std::string_view firstKeys = "\x1b_Ga=T,f=100,i=7,p=1,C=1,q=2,m=";
constexpr std::string_view nextKeys = "\x1b_Gm=";

void appendBase64(OutputBuffer& out, std::span<const std::uint8_t> bytes) {
  std::array<char, 4> quad{};
  for (std::size_t at = 0; at < bytes.size(); at += 3) {
    const std::size_t count = bytes.size() - at < 3 ? bytes.size() - at : 3;
    std::uint32_t group = static_cast<std::uint32_t>(bytes[at]) << 16;
    if (count > 1) group |= static_cast<std::uint32_t>(bytes[at + 1]) << 8;
    if (count > 2) group |= bytes[at + 2];
    for (std::size_t digit = 0; digit < 4; ++digit) {
      quad[digit] = digit <= count ? base64Digits[(group >> (18 - 6 * digit)) & 0x3F] : '=';
    }
    out.append({quad.data(), quad.size()});
  }
}

}  // namespace

void appendKittyImage(OutputBuffer& out, std::span<const std::uint8_t> png) {
  for (std::size_t at = 0; at < png.size() || at == 0; at += bytesPerChunk) {
    const std::span<const std::uint8_t> chunk =
        png.subspan(at, std::min(bytesPerChunk, png.size() - at));
    const bool more = at + bytesPerChunk < png.size();
    out.append(at == 0 ? firstKeys : nextKeys);
    out.append(more ? "1;" : "0;");
    appendBase64(out, chunk);
    out.append(stringTerminator);
    if (png.empty()) break;
  }
}

std::size_t kittyImageSizeFor(std::size_t pngSize) {
  const std::size_t chunks = pngSize / bytesPerChunk + 1;
  return chunks * (firstKeys.size() + 2 + stringTerminator.size()) + (pngSize + 2) / 3 * 4;
}

}  // namespace vantrel
