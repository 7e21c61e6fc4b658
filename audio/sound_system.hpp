#pragma once
// The audio layer: opens the output, streams the music and keeps a running
// spectrum of what is played. Every failure is harmless: a layer that could
// not open its output or its file still answers every call, and its spectrum
// stays zero.
//
// The output is the sound card when one opens; otherwise a thread of the
// layer's own (or the caller, see silencePacedByCaller) delivers the music
// silently at the real rate, so the spectrum moves just the same. The music
// repeats without a gap when it ends; a music file is read whole when it
// opens.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <vector>

#include "audio/music_file.hpp"
#include "audio/spectrum.hpp"

namespace vantrel {

class SoundStream;

struct SoundOptions {
  // False: never touch a sound device; the music plays silently on the
  // layer's own thread. Tests use this.
  bool openDevice = true;
  // Where a bare music file name is looked for, in order.
  std::vector<std::filesystem::path> musicFolders = defaultMusicFolders();
  // The track built into the program (audio/built_in_track.hpp), played for
  // its name when no folder holds a file of that name. Empty: none.
  std::span<const std::uint8_t> builtInMusic;
  // True: where no device opens, the silent stand-in delivers the music only
  // when soundPump is called (the frame loop calls it every frame), so that
  // silence costs no wake-ups of its own.
  bool silencePacedByCaller = false;
};

class SoundSystem {
 public:
  SoundSystem();
  explicit SoundSystem(SoundOptions options);
  ~SoundSystem();
  SoundSystem(const SoundSystem&) = delete;
  SoundSystem& operator=(const SoundSystem&) = delete;

  // Opens the audio output at `mixRate` Hz (44100 is the one rate played);
  // false when the output cannot play at that rate.
  bool soundInit(int mixRate, int maxChannels, unsigned flags);
  // The unit that analyses the output's spectrum.
  int soundSpectrumUnit();
  // Switches the spectrum analysis on or off; do it before playing.
  bool soundSetUnitActive(int unit, int active);
  // Opens the music file `name`, or the built-in track when `name` is its
  // name and no folder holds such a file; null when there is nothing to play.
  SoundStream* soundOpenStream(const char* name, int mode, int offset, int length);
  // Starts the stream on a free channel (-1: any); returns the channel or -1.
  // One stream plays at a time.
  int soundPlayStream(int channel, SoundStream* stream);
  // The spectrum array; one fixed address for the layer's whole life.
  const SpectrumEntry* soundGetSpectrum();
  // Where the silence is paced by the caller (silencePacedByCaller), delivers
  // the music due by now; otherwise does nothing. Never blocks.
  void soundPump();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace vantrel
