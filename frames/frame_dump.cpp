#include "frames/frame_dump.hpp"

#include <cmath>
#include <cstdio>

namespace vantrel::frames {

namespace {

constexpr std::string_view base64Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

void appendInt(std::string& out, long long value) {
  out += std::to_string(value);
}

// [f1, f2, ...] of the given particle fields.
template <std::size_t N>
void appendFloatList(std::string& out, const std::array<float, N>& values) {
  out += '[';
  for (std::size_t i = 0; i < N; ++i) {
    if (i != 0) out += ", ";
    appendJsonFloat(out, values[i]);
  }
  out += ']';
}

template <typename Fields>
void appendParticles(std::string& out, const ParticleSystem& system, Fields fields) {
  out += '[';
  for (int slot = 1; slot <= system.particleCount; ++slot) {
    if (slot != 1) out += ", ";
    appendFloatList(out, fields(system.particleTable[slot]));
  }
  out += ']';
}

void appendSpectrum(std::string& out, const SpectrumArray& spectrum) {
  out += '[';
  for (int entry = 0; entry < dumpedSpectrumEntries; ++entry) {
    if (entry != 0) out += ", ";
    appendJsonFloat(out, readEntry(spectrum.data(), entry));
  }
  out += ']';
}

void putLittleEndian16(std::uint8_t* bytes, std::uint16_t value) {
  bytes[0] = static_cast<std::uint8_t>(value & 0xFFU);
  bytes[1] = static_cast<std::uint8_t>(value >> 8U);
}

}  // namespace

void appendJsonFloat(std::string& out, float value) {
  if (!std::isfinite(value)) {
    out += "null";
    return;
  }
  char text[32];
  const int length = std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
  out.append(text, static_cast<std::size_t>(length));
}

void appendJsonString(std::string& out, std::string_view text, HighBytes high) {
  out += '"';
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == '"' || byte == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || byte == 0x7F || (byte > 0x7F && high == HighBytes::asCodes)) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(byte));
      out += escape;
    } else {
      out += c;
    }
  }
  out += '"';
}

void appendBase64(std::string& out, std::span<const std::uint8_t> bytes) {
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const unsigned group =
        (unsigned{bytes[i]} << 16U) | (unsigned{bytes[i + 1]} << 8U) | unsigned{bytes[i + 2]};
    for (const unsigned shift : {18U, 12U, 6U, 0U}) out += base64Alphabet[(group >> shift) & 63U];
  }
  const std::size_t rest = bytes.size() - i;
  if (rest == 0) return;
  unsigned group = unsigned{bytes[i]} << 16U;
  if (rest == 2) group |= unsigned{bytes[i + 1]} << 8U;
  out += base64Alphabet[(group >> 18U) & 63U];
  out += base64Alphabet[(group >> 12U) & 63U];
  out += rest == 2 ? base64Alphabet[(group >> 6U) & 63U] : '=';
  out += '=';
}

CellScreenBytes cellScreenToBytes(const CellScreen& cellScreen) {
  CellScreenBytes bytes{};
  for (int index = 1; index <= cellCount; ++index) {
    std::uint8_t* cellBytes = bytes.data() + 4 * static_cast<std::size_t>(index - 1);
    putLittleEndian16(cellBytes, cellScreen[index].character);
    putLittleEndian16(cellBytes + 2, cellScreen[index].attribute);
  }
  return bytes;
}

std::string startLine(std::uint32_t seed, std::string_view scrollText,
                      const ParticleSystem& particles) {
  std::string line = "{\"seed\": ";
  appendInt(line, seed);
  line += ", \"message\": ";
  appendJsonString(line, scrollText);
  line += ", \"particles\": ";
  appendParticles(line, particles, [](const Particle& p) {
    return std::array<float, 3>{p.x, p.y, p.mass};
  });
  line += '}';
  return line;
}

std::string frameLine(int frame, const Demo& demo, const SpectrumArray& spectrum) {
  std::string line;
  line.reserve(32 * 1024);
  line += "{\"frame\": ";
  appendInt(line, frame);
  line += ", \"phase\": ";
  appendInt(line, demo.ripple.ripplePhase);
  line += ", \"scrollPos\": ";
  appendInt(line, demo.scroller.scrollPos);
  line += ", \"glyphColumn\": ";
  appendInt(line, demo.scroller.glyphColumn);
  line += ", \"particles\": ";
  appendParticles(line, demo.particles, [](const Particle& p) {
    return std::array<float, 7>{p.x, p.y, p.mass, p.ax, p.ay, p.vx, p.vy};
  });
  line += ", \"spectrum\": ";
  appendSpectrum(line, spectrum);
  line += ", \"cells\": \"";
  appendBase64(line, cellScreenToBytes(demo.cellScreen));
  line += "\"}";
  return line;
}

std::string endedLine(int frame) {
  std::string line = "{\"frame\": ";
  appendInt(line, frame);
  line += ", \"ended\": true}";
  return line;
}

}  // namespace vantrel::frames
