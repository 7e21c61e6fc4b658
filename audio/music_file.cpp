#include "audio/music_file.hpp"

#include <system_error>

#include "audio/audio_backend.hpp"

namespace vantrel {

std::vector<std::filesystem::path> defaultMusicFolders() {
  std::vector<std::filesystem::path> folders{"."};
  if (std::filesystem::path program = programFolder(); !program.empty()) {
    folders.push_back(std::move(program));
  }
  folders.emplace_back(VANTREL_DATA_DIR);
  return folders;
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

}  // namespace vantrel
