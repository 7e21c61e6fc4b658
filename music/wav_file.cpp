#include "music/wav_file.hpp"

#include <fstream>

namespace vantrel::compose {

namespace {

void put(std::ofstream& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((value >> (8 * i)) & 0xFFU));
}

}  // namespace

bool writeStereoWav(const std::filesystem::path& path, const std::vector<std::int16_t>& samples) {
  constexpr std::uint32_t rate = 44100;
  constexpr std::uint32_t channels = 2;
  constexpr std::uint32_t frameBytes = channels * 2;
  std::ofstream out(path, std::ios::binary);
  const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
  out.write("RIFF", 4);
  put(out, 36 + dataBytes, 4);
  out.write("WAVEfmt ", 8);
  put(out, 16, 4);
  put(out, 1, 2);  // integer PCM
  put(out, channels, 2);
  put(out, rate, 4);
  put(out, rate * frameBytes, 4);
  put(out, frameBytes, 2);
  put(out, 16, 2);
  out.write("data", 4);
  put(out, dataBytes, 4);
  for (std::int16_t sample : samples) put(out, static_cast<std::uint16_t>(sample), 2);
  return static_cast<bool>(out);
}

}  // namespace vantrel::compose
