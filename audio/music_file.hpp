#pragma once
// Where the music file is found. A bare name is looked for in the current
// folder first, then beside the program, then in the data folder of an
// installation around the program (../share/vantrel), then in the installed
// data folder, so an installed vantrel plays its music from anywhere.

#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

// The folders a bare name is looked for in, in order.
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
