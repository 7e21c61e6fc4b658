#pragma once
// What the audio layer needs of a music decoder: a file, or a file's bytes
// held in memory, turned into frames
// of the layer's one format (44100 Hz stereo S16, see pcm_format.hpp),
// whatever the file's own rate and channels. Each platform supplies one
// (audio_backend.hpp says which).

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>

#include "audio/pcm_format.hpp"

namespace vantrel {

class PcmDecoder {
 public:
  virtual ~PcmDecoder() = default;

  // Opens `path`. False when it holds no playable audio (missing, not a
  // music file, no frames); the decoder is then closed.
  virtual bool open(const std::filesystem::path& path) = 0;

  // Opens a music file's bytes held in memory, as `open` opens the file. The
  // bytes are not copied: they must outlive the decoder (the built-in track
  // does).
  virtual bool openBytes(std::span<const std::uint8_t> file) = 0;

  // Decodes up to `frames` interleaved stereo frames into `out` and returns
  // how many it wrote. 0 means the end of the track: its real end, or a
  // damaged part that cannot be read past.
  virtual std::size_t read(PcmSample* out, std::size_t frames) = 0;

  // Goes back to the first frame. False when the track cannot be read again.
  virtual bool rewind() = 0;
};

}  // namespace vantrel
