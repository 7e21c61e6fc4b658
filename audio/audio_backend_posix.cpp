// The POSIX audio pieces: libmpg123 decodes, SDL2 plays.

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "audio/audio_backend.hpp"
#include "audio/mpg123_decoder.hpp"
#include "audio/sdl_output.hpp"

namespace vantrel {

std::unique_ptr<PcmDecoder> makeDecoder() {
  return std::make_unique<Mpg123Decoder>();
}

std::unique_ptr<AudioOutput> openSoundDevice(BlockSource& source) {
  return SdlOutput::open(source);
}

LibraryChatterGuard::LibraryChatterGuard(bool alwaysSilence) {
  if (!alwaysSilence && isatty(STDERR_FILENO) == 0) return;
  const int nullDevice = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (nullDevice < 0) return;
  std::fflush(stderr);
  savedStderr_ = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
  if (savedStderr_ >= 0) dup2(nullDevice, STDERR_FILENO);
  close(nullDevice);
}

LibraryChatterGuard::~LibraryChatterGuard() {
  if (savedStderr_ < 0) return;
  std::fflush(stderr);
  dup2(savedStderr_, STDERR_FILENO);
  close(savedStderr_);
}

}  // namespace vantrel
