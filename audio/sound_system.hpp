#pragma once
// The audio layer: opens the output, streams the music and keeps a running
// spectrum of what is played. Every failure is harmless: a layer that could
// not open its output or its file still answers every call, and its spectrum
// stays zero.

#include <memory>

#include "audio/spectrum.hpp"

namespace vantrel {

class SoundStream;

class SoundSystem {
 public:
  SoundSystem();
  ~SoundSystem();
  SoundSystem(const SoundSystem&) = delete;
  SoundSystem& operator=(const SoundSystem&) = delete;

  // Opens the audio output at `mixRate` Hz.
  bool soundInit(int mixRate, int maxChannels, unsigned flags);
  // The unit that analyses the output's spectrum.
  int soundSpectrumUnit();
  bool soundSetUnitActive(int unit, int active);
  // Opens the music file `name`; null when there is nothing to play.
  SoundStream* soundOpenStream(const char* name, int mode, int offset, int length);
  // Starts the stream on a free channel (-1: any); returns the channel or -1.
  int soundPlayStream(int channel, SoundStream* stream);
  // The spectrum array; one fixed address for the layer's whole life.
  const SpectrumEntry* soundGetSpectrum();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace vantrel
