#pragma once
// The Windows music decoder: MP3 frames found by audio/mp3_frames.hpp are fed
// one at a time through the Audio Compression Manager, which decodes them to
// 16-bit PCM at the file's own rate and channels (the MP3 codec converts
// nothing else); PcmRateConverter then makes 44100 Hz stereo of that.

// The multimedia headers need windows.h first.
// clang-format off
#include <windows.h>
#include <mmreg.h>
#include <msacm.h>
// clang-format on

#include <cstdint>
#include <span>
#include <vector>

#include "audio/mp3_frames.hpp"
#include "audio/pcm_decoder.hpp"
#include "audio/pcm_rate_converter.hpp"

namespace vantrel {

class AcmDecoder final : public PcmDecoder {
 public:
  AcmDecoder() = default;
  ~AcmDecoder() override;
  AcmDecoder(const AcmDecoder&) = delete;
  AcmDecoder& operator=(const AcmDecoder&) = delete;

  bool open(const std::filesystem::path& path) override;
  bool openBytes(std::span<const std::uint8_t> file) override;
  std::size_t read(PcmSample* out, std::size_t frames) override;
  bool rewind() override;

 private:
  bool openStream();
  void closeStream();
  // Decodes the next MP3 frame into ready_; false at the end of the track.
  bool decodeNextFrame();
  // Passes the decoded frames that lie inside the track's trimmed length on.
  void keepTrimmed(const PcmSample* decoded, std::size_t frames);

  std::vector<std::uint8_t> fileRead_;  // a file opened by path, read whole
  std::span<const std::uint8_t> file_;  // the file's bytes: fileRead_, or the caller's
  Mp3Stream stream_;
  HACMSTREAM acm_ = nullptr;
  ACMSTREAMHEADER header_{};
  bool headerPrepared_ = false;
  bool started_ = false;
  std::vector<std::uint8_t> input_;  // one MP3 frame
  std::vector<PcmSample> decoded_;   // what ACM made of it
  std::vector<PcmSample> ready_;     // 44100 Hz stereo, not yet read
  std::size_t readyAt_ = 0;
  std::size_t readyEnd_ = 0;
  std::size_t nextFrame_ = 0;
  std::int64_t decodedFrames_ = 0;  // source frames decoded so far, before trimming
  bool finished_ = false;
  PcmRateConverter converter_;
};

}  // namespace vantrel
