#include "audio/sound_system.hpp"

namespace vantrel {

// Placeholder until the decoder and the output land: a silent layer.
struct SoundSystem::State {
  SpectrumArray spectrum{};
};

SoundSystem::SoundSystem() : state_(std::make_unique<State>()) {}
SoundSystem::~SoundSystem() = default;

bool SoundSystem::soundInit(int, int, unsigned) { return false; }
int SoundSystem::soundSpectrumUnit() { return 0; }
bool SoundSystem::soundSetUnitActive(int, int) { return false; }
SoundStream* SoundSystem::soundOpenStream(const char*, int, int, int) { return nullptr; }
int SoundSystem::soundPlayStream(int, SoundStream*) { return -1; }
const SpectrumEntry* SoundSystem::soundGetSpectrum() { return state_->spectrum.data(); }

}  // namespace vantrel
