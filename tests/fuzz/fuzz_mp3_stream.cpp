// The MP3 frame scan, ID3 skipping and LAME tag reading (the Windows build's
// own parser) over arbitrary files: every frame found lies inside the file,
// in order, of the stream's format, and the trim stays within what decodes.

#include "audio/mp3_frames.hpp"
#include "fuzz_input.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantrel;
  using fuzz::require;
  const std::span<const std::uint8_t> file(data, size);
  require(skipId3v2Tags(file) <= size, "the tags end past the file");
  if (const auto header = parseMp3FrameHeader(file)) {
    require(header->frameBytes > 4, "a frame too short for its own header");
    (void)readMp3InfoFrame(file.first(std::min(size, header->frameBytes)), *header);
  }
  const std::optional<Mp3Stream> stream = scanMp3Stream(file);
  if (!stream) return 0;
  require(!stream->frames.empty(), "a stream without frames");
  std::size_t end = 0;
  std::size_t largest = 0;
  for (const Mp3FrameSpan& frame : stream->frames) {
    require(frame.offset >= end, "frames overlap or go backwards");
    require(frame.bytes <= size && frame.offset <= size - frame.bytes, "a frame past the end");
    const auto header = parseMp3FrameHeader(file.subspan(frame.offset, frame.bytes));
    require(header && header->sameStream(stream->format), "a frame of another stream");
    require(header->frameBytes == frame.bytes, "a frame of the wrong size");
    end = frame.offset + frame.bytes;
    largest = std::max(largest, frame.bytes);
  }
  require(largest == stream->largestFrame, "the largest frame is misreported");
  const auto decoded =
      static_cast<std::int64_t>(stream->frames.size()) * stream->format.samplesPerFrame;
  require(stream->keptSamples >= 0 && stream->keptSamples <= decoded,
          "keeps samples never decoded");
  require(stream->skippedSamples >= 0 &&
              stream->skippedSamples + stream->keptSamples <= decoded + mp3DecoderDelay,
          "the trim runs past the decoded samples");
  return 0;
}
