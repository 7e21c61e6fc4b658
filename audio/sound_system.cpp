#include "audio/sound_system.hpp"

#include <string_view>

#include "audio/audio_backend.hpp"
#include "audio/built_in_track.hpp"
#include "audio/music_feed.hpp"
#include "audio/paced_output.hpp"
#include "audio/repeating_track.hpp"

namespace vantrel {

class SoundStream {
 public:
  explicit SoundStream(std::unique_ptr<PcmDecoder> decoder) : track(std::move(decoder)) {}
  RepeatingTrack track;
};

namespace {
constexpr int spectrumUnit = 1;
constexpr int playChannel = 0;
}  // namespace

// Declared in the order they may be torn down in reverse: the output stops
// first, so its thread never sees a stream or the feed go away.
struct SoundSystem::State {
  explicit State(SoundOptions chosen) : options(std::move(chosen)) {}

  SoundOptions options;
  SpectrumArray spectrum{};
  MusicFeed feed{spectrum};
  SteadyOutputClock clock;
  std::unique_ptr<SpectrumSchedule> schedule;
  std::vector<std::unique_ptr<SoundStream>> streams;
  std::unique_ptr<LibraryChatterGuard> chatterGuard;
  std::unique_ptr<AudioOutput> output;
  bool playing = false;
};

SoundSystem::SoundSystem() : SoundSystem(SoundOptions{}) {}
SoundSystem::SoundSystem(SoundOptions options)
    : state_(std::make_unique<State>(std::move(options))) {}
SoundSystem::~SoundSystem() = default;

bool SoundSystem::soundInit(int mixRate, int maxChannels, unsigned) {
  State& state = *state_;
  if (state.output) return true;
  if (mixRate != pcmRate || maxChannels < 1) return false;
  if (state.options.openDevice) {
    state.chatterGuard = std::make_unique<LibraryChatterGuard>();
    state.output = openSoundDevice(state.feed);
  }
  if (!state.output) state.output = std::make_unique<PacedOutput>(state.feed, state.clock);
  if (const auto delay = state.output->playDelay(); delay.count() > 0) {
    state.schedule = std::make_unique<SpectrumSchedule>(state.spectrum, state.clock);
    state.feed.showLater(*state.schedule, state.clock, delay);
  }
  return true;
}

int SoundSystem::soundSpectrumUnit() {
  return spectrumUnit;
}

bool SoundSystem::soundSetUnitActive(int unit, int active) {
  if (unit != spectrumUnit || state_->playing) return false;
  state_->feed.setAnalysing(active != 0);
  return true;
}

SoundStream* SoundSystem::soundOpenStream(const char* name, int, int, int) {
  if (name == nullptr) return nullptr;
  const SoundOptions& options = state_->options;
  const std::filesystem::path file = locateMusicFile(name, options.musicFolders);
  std::unique_ptr<PcmDecoder> decoder = makeDecoder();
  // A file found is what plays, even a damaged one: the built-in copy stands
  // in only for a file that is not there.
  if (!file.empty()) {
    if (!decoder->open(file)) return nullptr;
  } else if (std::string_view{name} != builtInTrackName || options.builtInMusic.empty() ||
             !decoder->openBytes(options.builtInMusic)) {
    return nullptr;
  }
  return state_->streams.emplace_back(std::make_unique<SoundStream>(std::move(decoder))).get();
}

int SoundSystem::soundPlayStream(int channel, SoundStream* stream) {
  State& state = *state_;
  if (stream == nullptr || !state.output || state.playing) return -1;
  if (channel != -1 && channel != playChannel) return -1;
  state.feed.attach(&stream->track);
  if (state.schedule) state.schedule->start();
  state.output->start();
  state.playing = true;
  return playChannel;
}

const SpectrumEntry* SoundSystem::soundGetSpectrum() {
  return state_->spectrum.data();
}

}  // namespace vantrel
