#include "audio/repeating_track.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace vantrel {
namespace {

// A track of `length` frames whose left sample is the frame number and
// right sample its negative, handed out at most `chunk` frames per read.
struct ScriptedDecoder final : PcmDecoder {
  int length = 0;
  std::size_t chunk = 1000;
  bool canRewind = true;
  bool emptyAfterRewind = false;  // a file cut short or damaged after its first pass
  int position = 0;
  int rewinds = 0;

  bool open(const std::filesystem::path&) override { return true; }
  bool openBytes(std::span<const std::uint8_t>) override { return true; }
  std::size_t read(PcmSample* out, std::size_t frames) override {
    std::size_t count = 0;
    while (count < frames && count < chunk && position < length) {
      out[2 * count] = static_cast<PcmSample>(position);
      out[2 * count + 1] = static_cast<PcmSample>(-position);
      ++count;
      ++position;
    }
    return count;
  }
  bool rewind() override {
    ++rewinds;
    position = emptyAfterRewind ? length : 0;
    // Refused after a few, so a track that would rewind for ever fails the
    // test instead of hanging it.
    return canRewind && rewinds < 10;
  }
};

std::vector<PcmSample> play(RepeatingTrack& track, std::size_t frames) {
  std::vector<PcmSample> out(frames * pcmChannels, 99);
  track.fill(out.data(), frames);
  return out;
}

TEST(RepeatingTrack, StartsAgainWithoutAGapWhenTheTrackEnds) {
  auto decoder = std::make_unique<ScriptedDecoder>();
  decoder->length = 700;
  decoder->chunk = 333;
  RepeatingTrack track(std::move(decoder));
  std::vector<PcmSample> heard;
  for (int block = 0; block < 5; ++block) {
    const std::vector<PcmSample> out = play(track, 512);
    heard.insert(heard.end(), out.begin(), out.end());
  }
  for (std::size_t frame = 0; frame < heard.size() / 2; ++frame) {
    ASSERT_EQ(heard[2 * frame], static_cast<PcmSample>(frame % 700)) << "frame " << frame;
    ASSERT_EQ(heard[2 * frame + 1], static_cast<PcmSample>(-static_cast<int>(frame % 700)));
  }
  EXPECT_FALSE(track.silent());
}

TEST(RepeatingTrack, ATrackWithNoFramesGivesSilenceAndDoesNotSpin) {
  auto decoder = std::make_unique<ScriptedDecoder>();
  auto* script = decoder.get();
  RepeatingTrack track(std::move(decoder));
  EXPECT_EQ(play(track, 512), std::vector<PcmSample>(1024, 0));
  EXPECT_EQ(play(track, 512), std::vector<PcmSample>(1024, 0));
  EXPECT_TRUE(track.silent());
  EXPECT_EQ(script->rewinds, 0);
}

TEST(RepeatingTrack, ATrackThatCannotStartAgainEndsInSilence) {
  auto decoder = std::make_unique<ScriptedDecoder>();
  decoder->length = 100;
  decoder->canRewind = false;
  RepeatingTrack track(std::move(decoder));
  const std::vector<PcmSample> out = play(track, 512);
  EXPECT_EQ(out[2 * 99], 99);
  EXPECT_EQ(out[2 * 100], 0);
  EXPECT_EQ(out[2 * 511 + 1], 0);
  EXPECT_TRUE(track.silent());
}

// The track plays once; started again, it yields nothing. The music goes on
// to its end and then falls silent for good, and the track is tried again
// once, not over and over.
TEST(RepeatingTrack, ATrackThatYieldsNothingAfterItsRewindFallsSilentAfterOnePass) {
  auto decoder = std::make_unique<ScriptedDecoder>();
  auto* script = decoder.get();
  decoder->length = 700;
  decoder->chunk = 300;
  decoder->emptyAfterRewind = true;
  RepeatingTrack track(std::move(decoder));
  const std::vector<PcmSample> first = play(track, 512);
  const std::vector<PcmSample> second = play(track, 512);
  EXPECT_EQ(first[2 * 511], 511);
  EXPECT_EQ(second[2 * 187], 699) << "the first pass plays to its last frame";
  EXPECT_EQ(second[2 * 188], 0);
  EXPECT_EQ(std::count(second.begin() + 2 * 188, second.end(), PcmSample{0}), 2 * (512 - 188));
  EXPECT_TRUE(track.silent());
  EXPECT_EQ(play(track, 512), std::vector<PcmSample>(1024, 0));
  EXPECT_EQ(script->rewinds, 1);
}

TEST(RepeatingTrack, NoDecoderIsSilence) {
  RepeatingTrack track(nullptr);
  EXPECT_EQ(play(track, 4), std::vector<PcmSample>(8, 0));
  EXPECT_TRUE(track.silent());
}

}  // namespace
}  // namespace vantrel
