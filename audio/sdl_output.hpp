#pragma once
// The sound card through SDL2: one callback-driven device at 44100 Hz stereo
// S16 with a 512-frame buffer. No format change is allowed, so SDL converts
// when the card wants another format and the source always sees ours.

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

 private:
  explicit SdlOutput(BlockSource& source) : source_(source) {}
  static void play(void* output, std::uint8_t* stream, int bytes);

  BlockSource& source_;
  std::uint32_t device_ = 0;
};

}  // namespace vantrel
