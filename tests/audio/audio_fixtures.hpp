#pragma once
// Sound files made at test time: sine tones as WAV, encoded to MP3 with lame.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "audio/pcm_format.hpp"
#ifdef _WIN32
#include "support/wine_host.hpp"
#endif

namespace vantrel::testing {

// A fresh folder under the system's temporary folder, removed afterwards.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::random_device seed;
    path_ = std::filesystem::temp_directory_path() /
            ("vantrel-audio-" + std::to_string(seed()) + std::to_string(seed()));
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const char* name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// `seconds` of a sine of `frequency` Hz at `amplitude` (1 = full scale),
// the same in every channel.
inline std::vector<std::int16_t> sineSamples(int rate, int channels, double frequency,
                                             double seconds, double amplitude) {
  const auto frames = static_cast<std::size_t>(seconds * rate);
  std::vector<std::int16_t> samples;
  samples.reserve(frames * static_cast<std::size_t>(channels));
  for (std::size_t n = 0; n < frames; ++n) {
    const double phase = 2.0 * std::numbers::pi * frequency * static_cast<double>(n) / rate;
    const auto value =
        static_cast<std::int16_t>(std::lround(amplitude * 32767.0 * std::sin(phase)));
    for (int c = 0; c < channels; ++c) samples.push_back(value);
  }
  return samples;
}

inline void putLittleEndian(std::ofstream& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((value >> (8 * i)) & 0xFFU));
}

// A 16-bit PCM WAV file.
inline void writeWav(const std::filesystem::path& path, int rate, int channels,
                     const std::vector<std::int16_t>& samples) {
  std::ofstream out(path, std::ios::binary);
  const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
  const auto blockAlign = static_cast<std::uint32_t>(channels * 2);
  out.write("RIFF", 4);
  putLittleEndian(out, 36 + dataBytes, 4);
  out.write("WAVEfmt ", 8);
  putLittleEndian(out, 16, 4);
  putLittleEndian(out, 1, 2);
  putLittleEndian(out, static_cast<std::uint32_t>(channels), 2);
  putLittleEndian(out, static_cast<std::uint32_t>(rate), 4);
  putLittleEndian(out, static_cast<std::uint32_t>(rate) * blockAlign, 4);
  putLittleEndian(out, blockAlign, 2);
  putLittleEndian(out, 16, 2);
  out.write("data", 4);
  putLittleEndian(out, dataBytes, 4);
  for (std::int16_t sample : samples) putLittleEndian(out, static_cast<std::uint16_t>(sample), 2);
}

// Encodes `wav` to `mp3` with lame (a test package); fails the test if lame fails.
#ifdef _WIN32
// The Windows tests run under wine and use the Linux host's lame.
inline void encodeMp3(const std::filesystem::path& wav, const std::filesystem::path& mp3) {
  const auto wavOnHost = hostPath(wav);
  const auto mp3OnHost = hostPath(mp3);
  ASSERT_TRUE(wavOnHost && mp3OnHost) << "the Windows tests run under wine";
  const std::string command = "lame --quiet -b 128 '" + *wavOnHost + "' '" + *mp3OnHost + "'";
  ASSERT_EQ(runHostCommand(command), 0) << command;
  std::error_code error;
  ASSERT_GT(std::filesystem::file_size(mp3, error), 0U) << "lame made no " << mp3;
}
#else
inline void encodeMp3(const std::filesystem::path& wav, const std::filesystem::path& mp3) {
  const std::string command = "lame --quiet -b 128 '" + wav.string() + "' '" + mp3.string() + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
}
#endif

// A sine tone as an MP3 file at `rate` Hz with `channels` channels.
inline void writeSineMp3(const std::filesystem::path& mp3, int rate, int channels, double frequency,
                         double seconds, double amplitude = 0.5) {
  const std::filesystem::path wav = mp3.string() + ".wav";
  writeWav(wav, rate, channels, sineSamples(rate, channels, frequency, seconds, amplitude));
  encodeMp3(wav, mp3);
  std::filesystem::remove(wav);
}

inline std::vector<char> readBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeBytes(const std::filesystem::path& path, const std::vector<char>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The frequency at the centre of spectrum entry `bin`.
inline double binFrequency(int bin) {
  return bin * static_cast<double>(pcmRate) / 1024.0;
}

}  // namespace vantrel::testing
