#include "audio/sdl_output.hpp"

#include <SDL.h>

namespace vantrel {

namespace {

constexpr std::size_t deviceBufferFrames = 16 * blockFrames;

// SDL logs through its own handler to stderr; the layer wants no output.
void discardLog(void*, int, SDL_LogPriority, const char*) {}

bool startAudioSubsystem() {
  // SDL must not take SIGINT and SIGTERM from the console layer, which
  // gives the terminal back on those.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "vantrel");
  SDL_LogSetOutputFunction(discardLog, nullptr);
  return SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
}

}  // namespace

std::unique_ptr<SdlOutput> SdlOutput::open(BlockSource& source) {
  if (!startAudioSubsystem()) return nullptr;
  std::unique_ptr<SdlOutput> output(new SdlOutput(source));
  SDL_AudioSpec wanted{};
  wanted.freq = pcmRate;
  wanted.format = AUDIO_S16SYS;
  wanted.channels = pcmChannels;
  wanted.samples = static_cast<Uint16>(deviceBufferFrames);
  wanted.callback = &SdlOutput::play;
  wanted.userdata = output.get();
  SDL_AudioSpec obtained{};
  output->device_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
  if (output->device_ == 0) return nullptr;  // the destructor ends the subsystem
  output->bufferFrames_ = obtained.samples;
  return output;
}

SdlOutput::~SdlOutput() {
  if (device_ != 0) SDL_CloseAudioDevice(device_);
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void SdlOutput::start() {
  SDL_PauseAudioDevice(device_, 0);
}

// The callback's frames start to sound about five eighths of a buffer after
// it runs: measured end to end through PulseAudio with tools/measure-bar-lag
// (half a buffer left the bars 32 ms ahead of the sound with 8192 frames,
// and 10 ms ahead with 4096).
std::chrono::nanoseconds SdlOutput::playDelay() const {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
      FrameTicks{static_cast<std::int64_t>(bufferFrames_ * 5 / 8)});
}

void SdlOutput::play(void* output, std::uint8_t* stream, int bytes) {
  auto* self = static_cast<SdlOutput*>(output);
  const auto frames = static_cast<std::size_t>(bytes) / (pcmChannels * sizeof(PcmSample));
  self->source_.fill(reinterpret_cast<PcmSample*>(stream), frames);
}

}  // namespace vantrel
