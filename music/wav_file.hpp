#pragma once
// Writes 44.1 kHz stereo 16-bit PCM as a WAV file.

#include <cstdint>
#include <filesystem>
#include <vector>

namespace vantrel::compose {

// False when the file cannot be written.
bool writeStereoWav(const std::filesystem::path& path, const std::vector<std::int16_t>& samples);

}  // namespace vantrel::compose
