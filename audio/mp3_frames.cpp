#include "audio/mp3_frames.hpp"

#include <algorithm>
#include <array>
#include <cstring>

namespace vantrel {

namespace {

// Layer III bitrates in kbit/s by index 1..14, for MPEG-1 and for MPEG-2/2.5.
constexpr std::array<int, 15> mpeg1Bitrates{0,   32,  40,  48,  56,  64,  80, 96,
                                            112, 128, 160, 192, 224, 256, 320};
constexpr std::array<int, 15> mpeg2Bitrates{0,  8,  16, 24,  32,  40,  48, 56,
                                            64, 80, 96, 112, 128, 144, 160};
constexpr std::array<int, 3> mpeg1Rates{44100, 48000, 32000};

constexpr std::size_t headerBytes = 4;
constexpr std::size_t id3HeaderBytes = 10;
// A frame needs this many chained successors to count (see scanMp3Stream).
constexpr int firstFrameSuccessors = 2;
constexpr int laterFrameSuccessors = 1;

std::uint32_t bigEndian32(std::span<const std::uint8_t> bytes) {
  return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
         (std::uint32_t{bytes[2]} << 8) | std::uint32_t{bytes[3]};
}

// Bytes of side information between the header (and checksum) and the data.
std::size_t sideInfoBytes(const Mp3FrameHeader& header) {
  if (header.version == 1) return header.channels == 1 ? 17 : 32;
  return header.channels == 1 ? 9 : 17;
}

bool hasTag(std::span<const std::uint8_t> bytes, std::size_t at, const char* tag) {
  return at + 4 <= bytes.size() && std::memcmp(bytes.data() + at, tag, 4) == 0;
}

// Reads the frame count of a Xing/Info header, and delay and padding from
// the LAME tag that follows it.
void readLameTag(std::span<const std::uint8_t> frame, std::size_t xingAt, Mp3InfoFrame& info) {
  if (xingAt + 8 > frame.size()) return;
  const std::uint32_t flags = bigEndian32(frame.subspan(xingAt + 4, 4));
  std::size_t lameAt = xingAt + 8;
  if ((flags & 0x1U) != 0 && lameAt + 4 <= frame.size()) {
    info.statedFrames = bigEndian32(frame.subspan(lameAt, 4));
    lameAt += 4;
  }
  if ((flags & 0x2U) != 0) lameAt += 4;    // byte count
  if ((flags & 0x4U) != 0) lameAt += 100;  // seek table
  if ((flags & 0x8U) != 0) lameAt += 4;    // quality
  // The tag: 9 bytes of encoder name, then 12 more; delay and padding are
  // 12 bits each in the 3 bytes at offset 21.
  constexpr std::size_t gaplessAt = 21;
  if (lameAt + gaplessAt + 3 > frame.size() || !hasTag(frame, lameAt, "LAME")) return;
  const std::uint8_t* gapless = frame.data() + lameAt + gaplessAt;
  info.hasGapless = true;
  info.encoderDelay = (gapless[0] << 4) | (gapless[1] >> 4);
  info.encoderPadding = ((gapless[1] & 0x0F) << 8) | gapless[2];
}

// True when the frame at `offset` ends exactly at the file's end or where
// `successors` more frames of the same stream follow one after another.
bool isChained(std::span<const std::uint8_t> file, std::size_t offset, const Mp3FrameHeader& header,
               int successors) {
  std::size_t next = offset + header.frameBytes;
  for (int i = 0; i < successors; ++i) {
    if (next == file.size()) return true;
    const auto following = parseMp3FrameHeader(file.subspan(next));
    if (!following || !following->sameStream(header) ||
        next + following->frameBytes > file.size()) {
      // An ID3v1 tag may close the file.
      return next + 3 <= file.size() && std::memcmp(file.data() + next, "TAG", 3) == 0;
    }
    next += following->frameBytes;
  }
  return true;
}

}  // namespace

std::optional<Mp3FrameHeader> parseMp3FrameHeader(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < headerBytes) return std::nullopt;
  const std::uint32_t word = bigEndian32(bytes);
  if ((word & 0xFFE00000U) != 0xFFE00000U) return std::nullopt;
  const unsigned versionBits = (word >> 19) & 0x3U;
  const unsigned layerBits = (word >> 17) & 0x3U;
  const unsigned bitrateIndex = (word >> 12) & 0xFU;
  const unsigned rateIndex = (word >> 10) & 0x3U;
  if (versionBits == 1 || layerBits != 1 || bitrateIndex == 0 || bitrateIndex == 15 ||
      rateIndex == 3) {
    return std::nullopt;
  }
  Mp3FrameHeader header;
  header.version = versionBits == 3 ? 1 : versionBits == 2 ? 2 : 25;
  const bool mpeg1 = header.version == 1;
  header.bitrate = (mpeg1 ? mpeg1Bitrates : mpeg2Bitrates)[bitrateIndex] * 1000;
  header.sampleRate = mpeg1Rates[rateIndex] / (mpeg1 ? 1 : header.version == 2 ? 2 : 4);
  header.channels = ((word >> 6) & 0x3U) == 3 ? 1 : 2;
  header.hasChecksum = ((word >> 16) & 0x1U) == 0;
  header.samplesPerFrame = mpeg1 ? 1152 : 576;
  const auto padding = static_cast<std::size_t>((word >> 9) & 0x1U);
  const int bytesPerSample8 = header.samplesPerFrame / 8;  // 144 or 72
  header.frameBytes =
      static_cast<std::size_t>(bytesPerSample8 * header.bitrate / header.sampleRate) + padding;
  return header;
}

std::size_t skipId3v2Tags(std::span<const std::uint8_t> file) {
  std::size_t offset = 0;
  while (offset + id3HeaderBytes <= file.size() &&
         std::memcmp(file.data() + offset, "ID3", 3) == 0) {
    const std::uint8_t* tag = file.data() + offset;
    if (((tag[6] | tag[7] | tag[8] | tag[9]) & 0x80) != 0) break;  // not a sync-safe size
    const std::size_t size = (std::size_t{tag[6]} << 21) | (std::size_t{tag[7]} << 14) |
                             (std::size_t{tag[8]} << 7) | std::size_t{tag[9]};
    const bool hasFooter = (tag[5] & 0x10) != 0;
    offset += id3HeaderBytes + size + (hasFooter ? id3HeaderBytes : 0);
  }
  return offset < file.size() ? offset : file.size();
}

std::optional<Mp3InfoFrame> readMp3InfoFrame(std::span<const std::uint8_t> frame,
                                             const Mp3FrameHeader& header) {
  const std::size_t xingAt = headerBytes + (header.hasChecksum ? 2 : 0) + sideInfoBytes(header);
  if (hasTag(frame, xingAt, "Xing") || hasTag(frame, xingAt, "Info")) {
    Mp3InfoFrame info;
    readLameTag(frame, xingAt, info);
    return info;
  }
  // Fraunhofer's VBRI header sits at a fixed place after the side information.
  if (hasTag(frame, headerBytes + 32, "VBRI")) return Mp3InfoFrame{};
  return std::nullopt;
}

std::optional<Mp3Stream> scanMp3Stream(std::span<const std::uint8_t> file) {
  Mp3Stream stream;
  std::optional<Mp3FrameHeader> format;
  Mp3InfoFrame info;
  std::size_t offset = skipId3v2Tags(file);
  while (offset + headerBytes <= file.size()) {
    const auto header = parseMp3FrameHeader(file.subspan(offset));
    const bool fits = header && offset + header->frameBytes <= file.size();
    const bool ours =
        fits && (!format || header->sameStream(*format)) &&
        isChained(file, offset, *header, format ? laterFrameSuccessors : firstFrameSuccessors);
    if (!ours) {
      ++offset;  // resynchronise byte by byte
      continue;
    }
    const auto frame = file.subspan(offset, header->frameBytes);
    if (!format) {
      format = header;
      stream.format = *header;
      if (const auto infoFrame = readMp3InfoFrame(frame, *header)) {
        info = *infoFrame;
        offset += header->frameBytes;
        continue;
      }
    }
    stream.frames.push_back({offset, header->frameBytes});
    stream.largestFrame = std::max(stream.largestFrame, header->frameBytes);
    offset += header->frameBytes;
  }
  if (stream.frames.empty()) return std::nullopt;

  const auto decoded =
      static_cast<std::int64_t>(stream.frames.size()) * stream.format.samplesPerFrame;
  stream.keptSamples = decoded;
  stream.statedFrames = info.statedFrames;
  if (info.hasGapless) {
    const std::int64_t trimmed = std::int64_t{info.encoderDelay} + info.encoderPadding;
    if (trimmed < decoded) {
      stream.skippedSamples = std::int64_t{info.encoderDelay} + mp3DecoderDelay;
      stream.keptSamples = decoded - trimmed;
    }
  }
  return stream;
}

}  // namespace vantrel
