#pragma once
// Where the music file is found: a bare name in the current folder (the
// built-in track, audio/built_in_track.hpp, stands in when it is not there).

#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

// The folders a bare name is looked for in, in order: the current folder.
std::vector<std::filesystem::path> defaultMusicFolders();

// The first regular file called `name` in `folders`. A name with a folder
// part is a path and is taken as it is. Empty when nothing is found.
std::filesystem::path locateMusicFile(std::string_view name,
                                      std::span<const std::filesystem::path> folders);

// Why the music file at `path` cannot be played ("no such file", "not an
// audio file that can be decoded", ...), or empty when it can: it opens and
// the decoder reads sound from it.
std::string whyMusicCannotPlay(const std::filesystem::path& path);

}  // namespace vantrel
