#pragma once
// The spectrum of a music file as the live audio layer shows it at any
// moment of playback, worked out offline (no sound device, no threads, no
// waiting). It runs the very analysis the live layer runs, on the same
// decoded frames, so the numbers are the ones the demo's bars would read.
//
//   TrackAnalysis track{decodeWholeTrack(builtInTrack())};
//   SpectrumArray spectrum;
//   track.spectrumAt(2.5, spectrum);  // as it stands 2.5 s after the start

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "audio/pcm_format.hpp"
#include "audio/spectrum.hpp"
#include "audio/spectrum_analyzer.hpp"

namespace vantrel {

// The last whole 512-frame block delivered `seconds` after the music started
// (block n is delivered n x 512 frames after the start), counted from 0; -1
// before the start.
inline std::int64_t blockDeliveredBy(double seconds) {
  if (seconds < 0.0) return -1;
  return static_cast<std::int64_t>(
      std::floor(seconds * pcmRate / static_cast<double>(blockFrames)));
}

class TrackAnalysis {
 public:
  // Decodes the whole file at `path` (about 10 MB of frames per minute).
  // A file with no playable audio gives an analysis that reads all zero.
  explicit TrackAnalysis(const std::filesystem::path& path);
  // The track as decoded already: interleaved stereo frames at pcmRate.
  explicit TrackAnalysis(std::vector<PcmSample> frames);

  // One pass of the decoded track, interleaved stereo, as the output plays it.
  const std::vector<PcmSample>& frames() const { return frames_; }

  bool hasAudio() const { return !frames_.empty(); }
  // The decoded length of one pass through the track, in frames.
  std::size_t frameCount() const { return frames_.size() / pcmChannels; }

  // Sets `spectrum` to what the live layer holds `seconds` after the music
  // started: the spectrum after the last whole 512-frame block delivered by
  // then (block n is delivered n x 512 frames after the start), the track
  // repeating from its start as it does live. All zero before the start or
  // without audio.
  void spectrumAt(double seconds, SpectrumArray& spectrum);

  // The same, after block `block` (counted from 0).
  void spectrumAfterBlock(std::int64_t block, SpectrumArray& spectrum);

  // The interleaved frames of block `block` as the output receives them.
  void copyBlock(std::int64_t block, PcmSample* out) const;

 private:
  std::vector<PcmSample> frames_;  // one pass, interleaved stereo
  SpectrumAnalyzer analyzer_;
  std::vector<PcmSample> block_;
};

// Every frame of the file at `path` as this platform's decoder gives it, or
// none when it holds no playable audio.
std::vector<PcmSample> decodeWholeTrack(const std::filesystem::path& path);
// The same for a music file's bytes in memory.
std::vector<PcmSample> decodeWholeTrack(std::span<const std::uint8_t> file);

}  // namespace vantrel
