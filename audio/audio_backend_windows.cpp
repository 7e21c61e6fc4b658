// The Windows audio pieces: the Audio Compression Manager decodes, waveOut plays.

#include <windows.h>

#include "audio/acm_decoder.hpp"
#include "audio/audio_backend.hpp"
#include "audio/wave_out_output.hpp"

namespace vantrel {

std::unique_ptr<PcmDecoder> makeDecoder() {
  return std::make_unique<AcmDecoder>();
}

// waveOut on the default device; under wine without a sound driver none
// opens and the layer plays on its paced thread.
std::unique_ptr<AudioOutput> openSoundDevice(BlockSource& source) {
  return WaveOutOutput::open(source);
}

// The Windows audio calls print nothing on the console.
LibraryChatterGuard::LibraryChatterGuard(bool) {}
LibraryChatterGuard::~LibraryChatterGuard() = default;

}  // namespace vantrel
