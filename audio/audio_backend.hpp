#pragma once
// The one place where the platform's audio pieces are chosen. Everything
// else in audio/ (the analysis, the repeat, the paced output, the layer)
// is shared by every platform. audio_backend_posix.cpp supplies libmpg123
// and SDL2.

#include <memory>

#include "audio/audio_output.hpp"
#include "audio/pcm_decoder.hpp"

namespace vantrel {

// A decoder for the music file, not yet opened.
std::unique_ptr<PcmDecoder> makeDecoder();

// The default sound device, fed by `source` once started; null when no
// device opens (no sound card, no sound server).
std::unique_ptr<AudioOutput> openSoundDevice(BlockSource& source);

// While alive, keeps what audio libraries print (ALSA prints several lines
// on a machine without a sound card, some of them later, from the device's
// own thread) off the screen: the process's standard error goes to the null
// device if it is a terminal, and comes back when this ends. An error stream
// that is a file or a pipe is left alone: it is not the screen, and test
// logs and sanitizer reports stay readable there.
class LibraryChatterGuard {
 public:
  // `alwaysSilence` silences a standard error that is not a terminal too.
  explicit LibraryChatterGuard(bool alwaysSilence = false);
  ~LibraryChatterGuard();
  LibraryChatterGuard(const LibraryChatterGuard&) = delete;
  LibraryChatterGuard& operator=(const LibraryChatterGuard&) = delete;

 private:
  int savedStderr_ = -1;
};

}  // namespace vantrel
