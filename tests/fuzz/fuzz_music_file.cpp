// The music file as the demo opens it on POSIX (libmpg123 behind our
// decoder) over arbitrary file bytes: no crash, reads within what was asked,
// a rewound track reads the same samples again, and the same bytes opened in
// memory (as the built-in track is) read as the file does.

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "audio/mpg123_decoder.hpp"
#include "fuzz_input.hpp"

namespace {

// One file per fuzzing process, rewritten for every run.
const std::string& scratchPath() {
  static const std::string path = "/tmp/vantrel-fuzz-music-" + std::to_string(getpid()) + ".mp3";
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantrel;
  using fuzz::require;
  std::FILE* file = std::fopen(scratchPath().c_str(), "wb");
  if (file == nullptr) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);

  Mpg123Decoder decoder;
  if (!decoder.open(scratchPath())) return 0;
  constexpr std::size_t chunk = 4096;
  constexpr std::size_t mostFrames = 30 * chunk;  // a few seconds is plenty
  std::vector<PcmSample> first(chunk * pcmChannels);
  const std::size_t firstCount = decoder.read(first.data(), chunk);
  require(firstCount <= chunk, "read more frames than asked");
  std::vector<PcmSample> more(chunk * pcmChannels);
  for (std::size_t total = firstCount; total < mostFrames;) {
    const std::size_t got = decoder.read(more.data(), chunk);
    require(got <= chunk, "read more frames than asked");
    if (got == 0) break;
    total += got;
  }
  if (decoder.rewind()) {
    std::vector<PcmSample> again(chunk * pcmChannels);
    require(decoder.read(again.data(), chunk) == firstCount && again == first,
            "the rewound track reads other samples");
  }
  Mpg123Decoder inMemory;
  require(inMemory.openBytes({data, size}), "the file opens, its bytes in memory do not");
  std::vector<PcmSample> fromMemory(chunk * pcmChannels);
  require(inMemory.read(fromMemory.data(), chunk) == firstCount && fromMemory == first,
          "the bytes in memory read other samples than the file");
  return 0;
}
