// Run by the build: the built-in track must decode whole through this
// platform's decoder, or the build stops: every frame its encoder counted is
// there, and the decoder gives as many samples as those frames hold, to
// within one frame. A file that is not an MP3, one cut short, or one damaged
// where the decoder gives up is caught here, not by a user hearing silence.

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "audio/built_in_track.hpp"
#include "audio/mp3_frames.hpp"
#include "audio/pcm_format.hpp"
#include "audio/track_analysis.hpp"

namespace {

int refuse(const char* why) {
  std::fprintf(stderr, "built-in track %s: %s\n", vantrel::builtInTrackName, why);
  return EXIT_FAILURE;
}

}  // namespace

int main() {
  using namespace vantrel;
  const auto file = builtInTrack();
  const auto stream = scanMp3Stream(file);
  if (!stream) return refuse("holds no MP3 audio frames");
  if (stream->statedFrames > static_cast<std::int64_t>(stream->frames.size())) {
    std::fprintf(stderr, "built-in track %s: cut short: %zu of its %lld frames\n", builtInTrackName,
                 stream->frames.size(), static_cast<long long>(stream->statedFrames));
    return EXIT_FAILURE;
  }
  const double framedSeconds = static_cast<double>(stream->keptSamples) / stream->format.sampleRate;
  const double frameSeconds =
      static_cast<double>(stream->format.samplesPerFrame) / stream->format.sampleRate;
  const double decodedSeconds =
      static_cast<double>(decodeWholeTrack(file).size() / pcmChannels) / pcmRate;
  if (decodedSeconds < framedSeconds - frameSeconds || decodedSeconds == 0.0) {
    std::fprintf(stderr, "built-in track %s: decodes %.3f s of its %.3f s\n", builtInTrackName,
                 decodedSeconds, framedSeconds);
    return EXIT_FAILURE;
  }
  std::printf("built-in track %s: %.3f s, decodes whole\n", builtInTrackName, decodedSeconds);
  return EXIT_SUCCESS;
}
