#pragma once
// The frame dump: one JSON object per line, first the start-up (seed, message,
// freshly spawned particles), then one line per dumped frame. Floats are
// written with nine significant digits so that they read back exactly.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "audio/spectrum.hpp"
#include "driver/demo.hpp"
#include "effects/particles.hpp"
#include "screen/cell_screen.hpp"

namespace vantrel::frames {

// Spectrum entries a frame line carries: 0 up to the last one the bars read.
inline constexpr int dumpedSpectrumEntries = 241;
// Bytes of the cell screen as the console receives it.
inline constexpr std::size_t cellScreenBytes = 4 * static_cast<std::size_t>(cellCount);

using CellScreenBytes = std::array<std::uint8_t, cellScreenBytes>;

// Appends `value` as a JSON number (printf %.9g), or null when it is not finite.
void appendJsonFloat(std::string& out, float value);
// What a JSON string makes of the bytes from 0x80 up.
enum class HighBytes {
  asCodes,    // \u00XX with the byte's own value (the message is code page 437)
  asTheyAre,  // left as they are (UTF-8 text, as the terminal recording holds)
};
// Appends `text` as a JSON string, quotes included: quotes and backslashes
// escaped, control bytes and DEL as \u00XX, the bytes from 0x80 up as `high` says.
void appendJsonString(std::string& out, std::string_view text, HighBytes high = HighBytes::asCodes);
// Standard base64 with padding.
void appendBase64(std::string& out, std::span<const std::uint8_t> bytes);

// Cell 1 first, each a little-endian 16-bit character then a little-endian
// 16-bit attribute.
CellScreenBytes cellScreenToBytes(const CellScreen& cellScreen);

// Line 1: {"seed": N, "message": "...", "particles": [[x, y, mass], ...]}.
std::string startLine(std::uint32_t seed, std::string_view scrollText,
                      const ParticleSystem& particles);
// One dumped frame, as the demo's state stands after drawing it.
std::string frameLine(int frame, const Demo& demo, const SpectrumArray& spectrum);
// The frame in which the scroller ran out of message.
std::string endedLine(int frame);

}  // namespace vantrel::frames
