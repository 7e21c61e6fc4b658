#pragma once
// The bytes of one frame for the terminal, gathered for one write. Room is
// made up front, so that a frame's appends allocate nothing.

#include <cstddef>
#include <string_view>
#include <vector>

namespace vantrel {

class OutputBuffer {
 public:
  // Room for `bytes` in all; what is in the buffer stays.
  void reserve(std::size_t bytes) {
    if (bytes_.size() < bytes) bytes_.resize(bytes);
  }
  void clear() { length_ = 0; }
  void append(std::string_view text) {
    if (length_ + text.size() > bytes_.size()) bytes_.resize(2 * (length_ + text.size()));
    text.copy(bytes_.data() + length_, text.size());
    length_ += text.size();
  }
  void append(char byte) { append(std::string_view(&byte, 1)); }
  // A whole number in decimal.
  void appendNumber(int value) {
    char digits[12];
    std::size_t count = 0;
    const bool negative = value < 0;
    unsigned magnitude =
        negative ? 0U - static_cast<unsigned>(value) : static_cast<unsigned>(value);
    do {
      digits[count++] = static_cast<char>('0' + magnitude % 10);
      magnitude /= 10;
    } while (magnitude > 0);
    if (negative) append('-');
    while (count > 0) append(digits[--count]);
  }
  std::string_view view() const { return {bytes_.data(), length_}; }
  std::size_t size() const { return length_; }

 private:
  std::vector<char> bytes_;
  std::size_t length_ = 0;
};

}  // namespace vantrel
