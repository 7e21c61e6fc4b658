#pragma once
// Reading a fuzzer's bytes as the choices of one run: numbers from the front,
// the rest as data.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string_view>
#include <vector>

namespace vantrel::fuzz {

class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : bytes_(data, size) {}

  // A number from lo to hi; lo when the bytes have run out.
  std::uint32_t number(std::uint32_t lo, std::uint32_t hi) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4 && !bytes_.empty(); ++i) {
      value = (value << 8) | bytes_.front();
      bytes_ = bytes_.subspan(1);
    }
    return lo + value % (hi - lo + 1);
  }
  std::size_t remaining() const { return bytes_.size(); }
  std::span<const std::uint8_t> take(std::size_t count) {
    const std::span<const std::uint8_t> taken =
        bytes_.first(count < remaining() ? count : remaining());
    bytes_ = bytes_.subspan(taken.size());
    return taken;
  }
  std::span<const std::uint8_t> rest() { return take(remaining()); }

 private:
  std::span<const std::uint8_t> bytes_;
};

// How a terminal's reads split what it sends: 1 to 8 sizes of 1 to 40
// bytes, taken in turn.
inline std::vector<std::size_t> readSizes(FuzzInput& input) {
  std::vector<std::size_t> reads(input.number(1, 8));
  for (std::size_t& read : reads) read = input.number(1, 40);
  return reads;
}

inline std::string_view asText(std::span<const std::uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// An invariant that does not hold: a finding, reported like a crash.
[[noreturn]] inline void broken(const char* what) {
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}
inline void require(bool holds, const char* what) {
  if (!holds) broken(what);
}

}  // namespace vantrel::fuzz
