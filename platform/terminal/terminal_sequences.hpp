#pragma once
// The control sequences with which the demo takes an xterm-like terminal over
// and gives it back. The live console sends them; the frame tool's terminal
// recording replays the same bytes.

#include <array>
#include <charconv>
#include <cstddef>
#include <string>
#include <string_view>

namespace vantrel {

// xterm keeps a stack of titles: push the terminal's own, pop it at the end.
inline constexpr std::string_view saveTitle = "\x1b[22;0t";
inline constexpr std::string_view restoreTitle = "\x1b[23;0t";
inline constexpr std::string_view enterAlternateScreen = "\x1b[?1049h";
inline constexpr std::string_view leaveAlternateScreen = "\x1b[?1049l";
inline constexpr std::string_view hideCursorSequence = "\x1b[?25l";
inline constexpr std::string_view showCursorSequence = "\x1b[?25h";
// A synchronized update: the terminal shows what comes between at once.
inline constexpr std::string_view beginUpdate = "\x1b[?2026h";
inline constexpr std::string_view endUpdate = "\x1b[?2026l";
inline constexpr std::string_view resetColours = "\x1b[0m";
// ST: ends a device control or application program command string (a sixel
// image, a kitty graphics command, a probe's question).
inline constexpr std::string_view stringTerminator = "\x1b\\";

// CSI 8 ; rows ; columns t: xterm's request for a window size, spelled out
// on the stack (the frame loop sends it when a terminal's rows and window
// disagree).
class SizeRequest {
 public:
  SizeRequest(int rows, int columns) {
    add("\x1b[8;");
    addNumber(rows);
    add(";");
    addNumber(columns);
    add("t");
  }
  std::string_view view() const { return {bytes_.data(), length_}; }

 private:
  void add(std::string_view text) {
    for (const char byte : text) bytes_[length_++] = byte;
  }
  void addNumber(int value) {
    const auto result = std::to_chars(bytes_.data() + length_, bytes_.data() + length_ + 11, value);
    length_ = static_cast<std::size_t>(result.ptr - bytes_.data());
  }
  std::array<char, 32> bytes_{};
  std::size_t length_ = 0;
};

inline std::string sizeRequest(int rows, int columns) {
  return std::string(SizeRequest(rows, columns).view());
}

// OSC 2: the window title. A control byte would end the title early, so
// each becomes a space.
inline std::string titleSequence(std::string_view title) {
  std::string osc = "\x1b]2;";
  for (const char byte : title) {
    const auto code = static_cast<unsigned char>(byte);
    osc += code < 0x20 || code == 0x7F ? ' ' : byte;
  }
  osc += '\a';
  return osc;
}

}  // namespace vantrel
