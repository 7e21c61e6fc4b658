// Finding MP3 frames without decoding them: headers, tags and damage.

#include "audio/mp3_frames.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "audio_fixtures.hpp"

namespace vantrel {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A Layer III header: version bits 3 (MPEG-1), 2 (MPEG-2) or 0 (MPEG-2.5).
Bytes header(unsigned versionBits, unsigned bitrateIndex, unsigned rateIndex, bool padding,
             bool mono, unsigned layerBits = 1) {
  return {0xFF, static_cast<std::uint8_t>(0xE0 | (versionBits << 3) | (layerBits << 1) | 1),
          static_cast<std::uint8_t>((bitrateIndex << 4) | (rateIndex << 2) | (padding ? 2 : 0)),
          static_cast<std::uint8_t>(mono ? 0xC0 : 0x00)};
}

// A whole frame: the header, then zero bytes up to the frame's size.
Bytes frame(unsigned versionBits = 3, unsigned bitrateIndex = 9, bool padding = false,
            bool mono = false) {
  Bytes bytes = header(versionBits, bitrateIndex, 0, padding, mono);
  const auto parsed = parseMp3FrameHeader(bytes);
  bytes.resize(parsed->frameBytes, 0);
  return bytes;
}

void append(Bytes& to, const Bytes& more) {
  to.insert(to.end(), more.begin(), more.end());
}

Bytes frames(int count) {
  Bytes bytes;
  for (int i = 0; i < count; ++i) append(bytes, frame(3, 9, i % 3 == 0));
  return bytes;
}

// An Info frame counting `count` audio frames, with a LAME tag saying
// `delay` and `padding`.
Bytes infoFrame(int delay, int padding, std::uint32_t count) {
  Bytes bytes = frame();
  const std::size_t xing = 4 + 32;  // MPEG-1 stereo side information
  const char tag[] = "Info";
  std::copy(tag, tag + 4, bytes.begin() + xing);
  bytes[xing + 7] = 0x01;  // flags: frame count only
  for (std::size_t i = 0; i < 4; ++i) {
    bytes[xing + 8 + i] = static_cast<std::uint8_t>(count >> (24 - 8 * i));
  }
  const std::size_t lame = xing + 8 + 4;
  const char name[] = "LAME3.100";
  std::copy(name, name + 9, bytes.begin() + static_cast<std::ptrdiff_t>(lame));
  bytes[lame + 21] = static_cast<std::uint8_t>(delay >> 4);
  bytes[lame + 22] = static_cast<std::uint8_t>(((delay & 0xF) << 4) | (padding >> 8));
  bytes[lame + 23] = static_cast<std::uint8_t>(padding & 0xFF);
  return bytes;
}

TEST(Mp3FrameHeader, GivesSizeRateAndChannelsOfEachVersion) {
  const auto mpeg1 = parseMp3FrameHeader(header(3, 9, 0, false, false));  // 128 kbit/s, 44100
  ASSERT_TRUE(mpeg1);
  EXPECT_EQ(mpeg1->sampleRate, 44100);
  EXPECT_EQ(mpeg1->channels, 2);
  EXPECT_EQ(mpeg1->frameBytes, 417U);
  EXPECT_EQ(mpeg1->samplesPerFrame, 1152);
  EXPECT_EQ(parseMp3FrameHeader(header(3, 9, 0, true, false))->frameBytes, 418U);
  EXPECT_EQ(parseMp3FrameHeader(header(3, 14, 2, true, false))->frameBytes, 1441U);  // largest

  const auto mpeg2 = parseMp3FrameHeader(header(2, 8, 0, false, true));  // 64 kbit/s, 22050
  ASSERT_TRUE(mpeg2);
  EXPECT_EQ(mpeg2->sampleRate, 22050);
  EXPECT_EQ(mpeg2->channels, 1);
  EXPECT_EQ(mpeg2->frameBytes, 208U);
  EXPECT_EQ(mpeg2->samplesPerFrame, 576);
  EXPECT_EQ(parseMp3FrameHeader(header(0, 1, 2, false, false))->sampleRate, 8000);
}

TEST(Mp3FrameHeader, RejectsWhatIsNotALayerThreeFrame) {
  EXPECT_FALSE(parseMp3FrameHeader(Bytes{0xFF, 0xFB, 0x90}));           // too short
  EXPECT_FALSE(parseMp3FrameHeader(Bytes{0xFF, 0x1B, 0x90, 0x64}));     // no sync
  EXPECT_FALSE(parseMp3FrameHeader(header(1, 9, 0, false, false)));     // reserved version
  EXPECT_FALSE(parseMp3FrameHeader(header(3, 9, 0, false, false, 2)));  // Layer II
  EXPECT_FALSE(parseMp3FrameHeader(header(3, 0, 0, false, false)));     // free format
  EXPECT_FALSE(parseMp3FrameHeader(header(3, 15, 0, false, false)));    // bad bitrate
  EXPECT_FALSE(parseMp3FrameHeader(header(3, 9, 3, false, false)));     // reserved rate
}

TEST(Mp3Stream, SkipsId3TagsAndReadsTheLameTagsTrim) {
  Bytes file{'I', 'D', '3', 4, 0, 0x10, 0, 0, 1, 0};  // 128 bytes of tag, and a footer
  file.resize(10 + 128 + 10, 0);
  append(file, infoFrame(576, 1000, 0x01020A));
  append(file, frames(10));
  EXPECT_EQ(skipId3v2Tags(file), 148U);

  const auto stream = scanMp3Stream(file);
  ASSERT_TRUE(stream);
  ASSERT_EQ(stream->frames.size(), 10U);  // the Info frame carries no audio
  EXPECT_EQ(stream->frames[0].offset, 148U + 417U);
  EXPECT_EQ(stream->skippedSamples, 576 + mp3DecoderDelay);
  EXPECT_EQ(stream->keptSamples, 10 * 1152 - 576 - 1000);
  EXPECT_EQ(stream->largestFrame, 418U);
  EXPECT_EQ(stream->statedFrames, 0x01020A) << "the file is cut short of what the encoder counted";
}

// A file as lame writes it, whose Xing header carries every optional field
// before the LAME tag: the samples kept are exactly the ones lame was given.
TEST(Mp3Stream, KeepsExactlyTheSamplesLameEncoded) {
  const testing::ScratchFolder folder;
  const std::vector<std::int16_t> samples = testing::sineSamples(44100, 2, 440.0, 1.3, 0.5);
  testing::writeWav(folder / "tone.wav", 44100, 2, samples);
  testing::encodeMp3(folder / "tone.wav", folder / "tone.mp3");
  const std::vector<char> bytes = testing::readBytes(folder / "tone.mp3");
  const Bytes file(bytes.begin(), bytes.end());
  const auto stream = scanMp3Stream(file);
  ASSERT_TRUE(stream);
  EXPECT_EQ(stream->keptSamples, static_cast<std::int64_t>(samples.size() / 2));
  EXPECT_GT(stream->skippedSamples, mp3DecoderDelay) << "lame's own delay not skipped";
}

TEST(Mp3Stream, WithoutALameTagKeepsEverySample) {
  const auto stream = scanMp3Stream(frames(5));
  ASSERT_TRUE(stream);
  EXPECT_EQ(stream->skippedSamples, 0);
  EXPECT_EQ(stream->keptSamples, 5 * 1152);
  EXPECT_EQ(stream->statedFrames, -1);
}

TEST(Mp3Stream, StepsOverDamageAndDropsAnUnfinishedLastFrame) {
  Bytes file{'j', 'u', 'n', 'k', 0xFF, 0xFB};  // a false sync among the junk
  append(file, frames(4));
  Bytes noise(300);
  std::mt19937 random(3);
  for (auto& byte : noise) byte = static_cast<std::uint8_t>(random());
  append(file, noise);
  append(file, frames(3));
  Bytes cut = frame();
  cut.resize(100);
  append(file, cut);

  const auto stream = scanMp3Stream(file);
  ASSERT_TRUE(stream);
  // The frame just before the noise and the one before the cut have no
  // frame after them, so only 3 + 2 frames are sure to be frames.
  EXPECT_EQ(stream->frames.size(), 5U);
  for (const Mp3FrameSpan& span : stream->frames) {
    EXPECT_LE(span.offset + span.bytes, file.size());
    EXPECT_TRUE(parseMp3FrameHeader(std::span(file).subspan(span.offset)));
  }
}

TEST(Mp3Stream, FindsNothingInWhatIsNotMp3) {
  Bytes noise(200'000);
  std::mt19937 random(7);
  for (auto& byte : noise) byte = static_cast<std::uint8_t>(random());
  EXPECT_FALSE(scanMp3Stream(noise));
  EXPECT_FALSE(scanMp3Stream(Bytes{}));
  EXPECT_FALSE(scanMp3Stream(Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}));
  // A tag claiming more bytes than the file has.
  EXPECT_FALSE(scanMp3Stream(Bytes{'I', 'D', '3', 4, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F, 0xFF, 0xFB}));
  // One frame of another stream in the middle does not belong.
  Bytes mixed = frames(3);
  append(mixed, frame(2, 8, false, true));
  append(mixed, frames(3));
  EXPECT_EQ(scanMp3Stream(mixed)->frames.size(), 5U);
}

}  // namespace
}  // namespace vantrel
