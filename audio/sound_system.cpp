#include "audio/sound_system.hpp"

#include <fstream>
#include <iterator>
#include <optional>
#include <string_view>
#include <vector>

#include "audio/audio_backend.hpp"
#include "audio/built_in_track.hpp"
#include "audio/music_feed.hpp"
#include "audio/paced_output.hpp"
#include "audio/repeating_track.hpp"

namespace vantrel {

class SoundStream {
 public:
  SoundStream(std::vector<std::uint8_t> bytes, std::unique_ptr<PcmDecoder> decoder)
      : fileBytes(std::move(bytes)), track(std::move(decoder)) {}
  // The music file read whole, where the decoder reads it from memory; it
  // outlives the decoder.
  std::vector<std::uint8_t> fileBytes;
  RepeatingTrack track;
};

namespace {
constexpr int spectrumUnit = 1;
constexpr int playChannel = 0;

// The whole of a file, or nothing when it cannot be read.
std::optional<std::vector<std::uint8_t>> wholeFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                  std::istreambuf_iterator<char>()};
  if (in.bad()) return std::nullopt;
  return bytes;
}
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
  PacedOutput* pumpedOutput = nullptr;  // the silent stand-in, when soundPump paces it
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
  if (!state.output) {
    const Pacing pacing = state.options.silencePacedByCaller ? Pacing::byCaller : Pacing::ownThread;
    auto silent = std::make_unique<PacedOutput>(state.feed, state.clock, pacing);
    if (pacing == Pacing::byCaller) state.pumpedOutput = silent.get();
    state.output = std::move(silent);
  }
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
  std::vector<std::uint8_t> bytes;
  // A file found is what plays, even a damaged one: the built-in copy stands
  // in only for a file that is not there. The file is read whole now, so
  // that whoever delivers the music (a device's thread, or the frame loop)
  // reads no file.
  if (!file.empty()) {
    auto read = wholeFile(file);
    if (!read || !decoder->openBytes(*read)) return nullptr;
    bytes = std::move(*read);
  } else if (std::string_view{name} != builtInTrackName || options.builtInMusic.empty() ||
             !decoder->openBytes(options.builtInMusic)) {
    return nullptr;
  }
  // Moving the bytes keeps them where the decoder reads them.
  return state_->streams
      .emplace_back(std::make_unique<SoundStream>(std::move(bytes), std::move(decoder)))
      .get();
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

void SoundSystem::soundPump() {
  State& state = *state_;
  if (state.pumpedOutput != nullptr) state.pumpedOutput->deliverDue(state.clock.now());
}

const SpectrumEntry* SoundSystem::soundGetSpectrum() {
  return state_->spectrum.data();
}

}  // namespace vantrel
