// Decoding a whole music file for the offline analysis: the part of it that
// needs this platform's decoder.

#include "audio/audio_backend.hpp"
#include "audio/track_analysis.hpp"

namespace vantrel {

namespace {

std::vector<PcmSample> decodeToEnd(PcmDecoder& decoder) {
  std::vector<PcmSample> frames;
  constexpr std::size_t chunkFrames = 16 * 1024;
  for (;;) {
    const std::size_t used = frames.size();
    frames.resize(used + chunkFrames * pcmChannels);
    const std::size_t got = decoder.read(frames.data() + used, chunkFrames);
    frames.resize(used + got * pcmChannels);
    if (got == 0) return frames;
  }
}

}  // namespace

std::vector<PcmSample> decodeWholeTrack(const std::filesystem::path& path) {
  std::unique_ptr<PcmDecoder> decoder = makeDecoder();
  if (!decoder->open(path)) return {};
  return decodeToEnd(*decoder);
}

std::vector<PcmSample> decodeWholeTrack(std::span<const std::uint8_t> file) {
  std::unique_ptr<PcmDecoder> decoder = makeDecoder();
  if (!decoder->openBytes(file)) return {};
  return decodeToEnd(*decoder);
}

TrackAnalysis::TrackAnalysis(const std::filesystem::path& path)
    : TrackAnalysis(decodeWholeTrack(path)) {}

}  // namespace vantrel
