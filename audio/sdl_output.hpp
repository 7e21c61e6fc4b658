#pragma once
// The sound card through SDL2: one callback-driven device at 44100 Hz stereo
// S16 with an 8192-frame buffer (186 ms). No format change is allowed, so SDL
// converts when the card wants another format and the source always sees
// ours.
//
// Why so large a buffer: SDL's PulseAudio output asks the server to hold
// just one buffer, and the server makes its own latency a quarter of that;
// the quarter is all the time the callback thread has to wake and refill.
// With 512 frames that is 2.9 ms, and any scheduling hiccup is a dropout
// (the server logs an underrun and the music slips); with 4096 (23 ms) a
// busy machine still made it slip now and then; with 8192 it is 46 ms. The
// spectrum does not run ahead of the sound for it: it is shown when its
// block is heard (playDelay, spectrum_schedule.hpp).

#include <cstdint>
#include <memory>

#include "audio/audio_output.hpp"

namespace vantrel {

class SdlOutput final : public AudioOutput {
 public:
  // Opens the default device, paused; null when none opens.
  static std::unique_ptr<SdlOutput> open(BlockSource& source);
  ~SdlOutput() override;
  SdlOutput(const SdlOutput&) = delete;
  SdlOutput& operator=(const SdlOutput&) = delete;

  void start() override;
  std::chrono::nanoseconds playDelay() const override;

 private:
  explicit SdlOutput(BlockSource& source) : source_(source) {}
  static void play(void* output, std::uint8_t* stream, int bytes);

  BlockSource& source_;
  std::uint32_t device_ = 0;
  std::size_t bufferFrames_ = 0;  // the device buffer SDL obtained
};

}  // namespace vantrel
