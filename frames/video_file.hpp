#pragma once
// The show as one video file with its music, encoded by libavcodec and
// muxed by libavformat: MP4 (H.264 in yuv420p, AAC, the index at the front so
// browsers play it as it loads) or Matroska (FFV1 in RGB, FLAC), whose
// decoded frames are the frame tool's pictures bit for bit.
//
// Frame n of the show is shown from (n - 1) x 11 ms, the music time the frame
// tool draws it at, so the video runs at 1000/11 frames a second and the
// sound, from the track's first sample at time 0, is in step by construction.
// At a fixed output rate each output frame is the show's frame showing at
// its time.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "audio/pcm_format.hpp"
#include "picture/console_picture.hpp"

namespace vantrel::frames {

enum class VideoKind { mp4, mkv };

// By the file name's extension (.mp4 or .mkv, in any case); none otherwise.
std::optional<VideoKind> videoKindOf(std::string_view path);

struct VideoSettings {
  VideoKind kind = VideoKind::mp4;
  int scale = 2;             // each picture pixel becomes scale x scale pixels
  int outputRate = 0;        // frames a second; 0 is the show's own 1000/11
  std::string videoEncoder;  // libavcodec's name for it; empty: the kind's own
};

// The default magnification: 2 for MP4, so every cell keeps its colours
// through the halved chroma; 1 for the lossless file.
int defaultVideoScale(VideoKind kind);

// How many output frames a video of the show's first `shownFrames` frames
// has, and which show frame (from 1) output frame k (from 0) shows.
std::int64_t outputFrameCount(int shownFrames, int outputRate);
int showFrameAt(std::int64_t outputFrame, int outputRate);

// The number of sound frames (at 44100 Hz) that play during the show's
// first `shownFrames` frames: up to the end of the last one.
std::int64_t soundFramesFor(int shownFrames);

class VideoEncoder;

class VideoFile {
 public:
  // Starts the file at `path` (written as it goes); `track` is the music,
  // interleaved stereo at 44100 Hz, repeated as the demo repeats it. Null,
  // with one line in `error`, when the encoders or the file cannot be opened.
  static std::unique_ptr<VideoFile> open(const std::string& path, const VideoSettings& settings,
                                         std::span<const PcmSample> track, std::string& error);
  ~VideoFile();
  VideoFile(const VideoFile&) = delete;
  VideoFile& operator=(const VideoFile&) = delete;

  // Adds show frame `frame` (1, 2, ... in order) and the sound that plays
  // until the next one. False, with the reason in error(), on a failure.
  bool addFrame(int frame, const RgbImage& picture);
  // Flushes the encoders and completes the file.
  bool finish();
  const std::string& error() const;

 private:
  explicit VideoFile(std::unique_ptr<VideoEncoder> encoder);
  std::unique_ptr<VideoEncoder> encoder_;
};

}  // namespace vantrel::frames
