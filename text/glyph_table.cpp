#include "text/glyph_table.hpp"

#include <cstddef>
#include <cstdint>

#include "text/glyph_data_items.hpp"

namespace vantrel {

namespace {

constexpr std::size_t countFieldSize = 2;
constexpr std::size_t labelSize = 8;  // "CHR$(HH)"

constexpr bool isUpperHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

// The block as it sits in the program: the 16-bit little-endian item count,
// then the items with their NULs.
constexpr std::array<unsigned char, glyphDataSize> buildGlyphBlock() {
  std::array<unsigned char, glyphDataSize> block{};
  block[0] = static_cast<unsigned char>(glyphDataItemCount & 0xFF);
  block[1] = static_cast<unsigned char>(glyphDataItemCount >> 8);
  for (std::size_t i = 0; i < glyphDataItems.size(); ++i) {
    block[countFieldSize + i] = static_cast<unsigned char>(glyphDataItems[i]);
  }
  return block;
}

constexpr std::array<unsigned char, glyphDataSize> glyphBlock = buildGlyphBlock();

// itemStart[n] is the offset of item n (1-based) in the block; itemStart[count + 1]
// is one past the last NUL, so item n ends at itemStart[n + 1] - 1.
using ItemStarts = std::array<std::uint16_t, glyphDataItemCount + 2>;

constexpr ItemStarts buildItemStarts() {
  ItemStarts starts{};
  std::size_t item = 1;
  starts[item] = countFieldSize;
  for (std::size_t offset = countFieldSize; offset < glyphDataSize && item <= glyphDataItemCount;
       ++offset) {
    if (glyphBlock[offset] == 0) starts[++item] = static_cast<std::uint16_t>(offset + 1);
  }
  return starts;
}

constexpr ItemStarts itemStart = buildItemStarts();

struct ItemBounds {
  std::size_t first;  // offset of the item's first byte
  std::size_t size;   // bytes before its NUL
};

constexpr ItemBounds itemBounds(int n) {
  const std::size_t first = itemStart[static_cast<std::size_t>(n)];
  return {first, itemStart[static_cast<std::size_t>(n) + 1] - 1 - first};
}

constexpr bool itemIsHexRow(int n) {
  const ItemBounds item = itemBounds(n);
  return item.size == 2 && isUpperHexDigit(static_cast<char>(glyphBlock[item.first])) &&
         isUpperHexDigit(static_cast<char>(glyphBlock[item.first + 1]));
}

constexpr bool itemIsLabelOf(int n, int code) {
  constexpr std::string_view hexDigits = "0123456789ABCDEF";
  const char expected[labelSize] = {'C',
                                    'H',
                                    'R',
                                    '$',
                                    '(',
                                    hexDigits[static_cast<std::size_t>(code >> 4)],
                                    hexDigits[static_cast<std::size_t>(code & 0xF)],
                                    ')'};
  const ItemBounds item = itemBounds(n);
  if (item.size != labelSize) return false;
  for (std::size_t i = 0; i < labelSize; ++i) {
    if (static_cast<char>(glyphBlock[item.first + i]) != expected[i]) return false;
  }
  return true;
}

// The loader trusts the block, so its shape is proven here, once, when the
// program is built: every group is twelve two-digit rows and its own label.
constexpr bool blockIsWellFormed() {
  if (itemStart[glyphDataItemCount + 1] != glyphDataSize) return false;
  for (int code = 0; code < glyphCount; ++code) {
    const int firstItem = code * (glyphRows + 1) + 1;
    for (int row = 0; row < glyphRows; ++row) {
      if (!itemIsHexRow(firstItem + row)) return false;
    }
    if (!itemIsLabelOf(firstItem + glyphRows, code)) return false;
  }
  return true;
}

static_assert(glyphDataItems.size() + countFieldSize == glyphDataSize);
static_assert(blockIsWellFormed(), "the glyph items are not twelve hex rows and a label per code");

int hexDigitValue(char digit) {
  return digit <= '9' ? digit - '0' : digit - 'A' + 10;
}

int hexByteValue(std::string_view text) {
  int value = 0;
  for (const char digit : text) value = value * 16 + hexDigitValue(digit);
  return value;
}

}  // namespace

std::span<const unsigned char, glyphDataSize> glyphData() {
  return glyphBlock;
}

std::string_view readDataItem(int n) {
  const int count = glyphBlock[0] | (glyphBlock[1] << 8);
  if (n < 1 || n > count) return {};
  const ItemBounds item = itemBounds(n);
  return {reinterpret_cast<const char*>(glyphBlock.data()) + item.first, item.size};
}

void loadGlyphTable(GlyphTable& glyphTable) {
  int item = 1;
  for (auto& rows : glyphTable) {
    for (std::int32_t& row : rows) row = hexByteValue(readDataItem(item++));
    ++item;  // the label: it names the code, which the position already gives
  }
}

}  // namespace vantrel
