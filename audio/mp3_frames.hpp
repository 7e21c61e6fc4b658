#pragma once
// MPEG audio Layer III frames in an MP3 file, found without decoding them:
// each frame's header gives its size, rate and channels, so a decoder that
// takes whole frames (the Windows Audio Compression Manager) can be fed one
// frame at a time. Also reads the LAME tag that says how many samples of
// encoder delay and padding to cut for the track's exact length.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace vantrel {

struct Mp3FrameHeader {
  int version = 1;  // 1: MPEG-1, 2: MPEG-2, 25: MPEG-2.5
  int bitrate = 0;  // bits per second
  int sampleRate = 0;
  int channels = 0;
  bool hasChecksum = false;
  std::size_t frameBytes = 0;
  int samplesPerFrame = 0;

  // Frames of one stream share these; a header that differs is not ours.
  bool sameStream(const Mp3FrameHeader& other) const {
    return version == other.version && sampleRate == other.sampleRate && channels == other.channels;
  }
};

// The Layer III frame header at the start of `bytes`; nothing when the bytes
// are not one (no sync, reserved or free-format values, another layer).
std::optional<Mp3FrameHeader> parseMp3FrameHeader(std::span<const std::uint8_t> bytes);

// Where the audio starts: past any ID3v2 tags at the start of the file.
std::size_t skipId3v2Tags(std::span<const std::uint8_t> file);

// Samples the decoder's output is late by (Layer III synthesis).
inline constexpr int mp3DecoderDelay = 529;

// What an encoder's information frame (Xing/Info, VBRI) says. That frame
// carries no audio.
struct Mp3InfoFrame {
  bool hasGapless = false;         // a LAME tag gave delay and padding
  int encoderDelay = 0;            // samples of silence the encoder put in front
  int encoderPadding = 0;          // samples it added at the end
  std::int64_t statedFrames = -1;  // audio frames the Xing/Info header counts; -1: not said
};

// The information frame `frame` is, or nothing when it is an audio frame.
std::optional<Mp3InfoFrame> readMp3InfoFrame(std::span<const std::uint8_t> frame,
                                             const Mp3FrameHeader& header);

struct Mp3FrameSpan {
  std::size_t offset = 0;
  std::size_t bytes = 0;
};

// The audio frames of a whole file, in order, and how to trim them.
struct Mp3Stream {
  Mp3FrameHeader format;  // of the first audio frame
  std::vector<Mp3FrameSpan> frames;
  std::size_t largestFrame = 0;
  // Decoded samples (per channel) to drop at the start, and to keep in all;
  // keptSamples is every decoded sample when the file says nothing.
  std::int64_t skippedSamples = 0;
  std::int64_t keptSamples = 0;
  // Audio frames the encoder said the file holds; -1 when it said nothing.
  // More than `frames` holds means the file was cut short.
  std::int64_t statedFrames = -1;
};

// Finds every whole audio frame of `file`. Damaged parts are stepped over: a
// frame counts only when its header matches the stream and another frame
// (or the end of the file) follows it exactly; the first frame needs two
// such successors. Nothing when the file holds no audio frame.
std::optional<Mp3Stream> scanMp3Stream(std::span<const std::uint8_t> file);

}  // namespace vantrel
