#include "audio/music_file.hpp"

#include <array>
#include <fstream>
#include <system_error>

#include "audio/audio_backend.hpp"

namespace vantrel {

std::vector<std::filesystem::path> defaultMusicFolders() {
  return {"."};
}

std::filesystem::path locateMusicFile(std::string_view name,
                                      std::span<const std::filesystem::path> folders) {
  const std::filesystem::path file{name};
  if (name.empty()) return {};
  if (file.has_parent_path()) return file;
  for (const std::filesystem::path& folder : folders) {
    std::filesystem::path candidate = folder / file;
    std::error_code error;
    if (std::filesystem::is_regular_file(candidate, error)) return candidate;
  }
  return {};
}

std::string whyMusicCannotPlay(const std::filesystem::path& path) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (!std::filesystem::exists(status)) return "no such file";
  if (std::filesystem::is_directory(status)) return "a folder, not a music file";
  if (!std::ifstream(path, std::ios::binary).is_open()) return "cannot be read";
  const std::unique_ptr<PcmDecoder> decoder = makeDecoder();
  std::array<PcmSample, 1024 * pcmChannels> samples{};
  if (!decoder->open(path) || decoder->read(samples.data(), 1024) == 0) {
    return "not an audio file that can be decoded";
  }
  return {};
}

}  // namespace vantrel
