#include "frames/frames_options.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace vantrel::frames {
namespace {

ParsedOptions parse(std::vector<std::string_view> args) {
  return parseFramesOptions(args);
}

TEST(FramesOptions, DefaultsToOneSilentFrameWithNoOutput) {
  const ParsedOptions parsed = parse({"--seed", "4294967295"});
  ASSERT_EQ(parsed.error, "");
  EXPECT_EQ(parsed.options.seed, 4294967295U);
  EXPECT_EQ(parsed.options.frames, 1);
  EXPECT_EQ(parsed.options.every, 1);
  EXPECT_EQ(parsed.options.spectrum, SpectrumChoice::silence);
  EXPECT_EQ(parsed.options.dumpPath, "");
  EXPECT_EQ(parsed.options.pngDir, "");
  EXPECT_EQ(parsed.options.glyphsPath, "");
}

TEST(FramesOptions, ReadsEveryOptionInAnyOrder) {
  const ParsedOptions parsed =
      parse({"--png", "pics", "--frames", "6000", "--spectrum", "music", "--every", "100",
             "--glyphs", "font.png", "--dump", "run.jsonl", "--seed", "0"});
  ASSERT_EQ(parsed.error, "");
  EXPECT_EQ(parsed.options.seed, 0U);
  EXPECT_EQ(parsed.options.frames, 6000);
  EXPECT_EQ(parsed.options.every, 100);
  EXPECT_EQ(parsed.options.spectrum, SpectrumChoice::music);
  EXPECT_EQ(parsed.options.dumpPath, "run.jsonl");
  EXPECT_EQ(parsed.options.pngDir, "pics");
  EXPECT_EQ(parsed.options.glyphsPath, "font.png");
}

TEST(FramesOptions, SaysWhatIsWrongInOneLine) {
  const std::vector<std::pair<std::vector<std::string_view>, std::string>> cases = {
      {{"--seed", "1", "--fast"}, "unknown option '--fast'"},
      {{"frames", "--seed", "1"}, "unknown option 'frames'"},
      {{"--seed"}, "--seed needs a value"},
      {{"--seed", "1", "--dump"}, "--dump needs a value"},
      {{"--seed", "1", "--dump", ""}, "--dump needs a non-empty path"},
      {{"--seed", "1", "--frames", "0"}, "--frames must be a whole number of at least 1, not '0'"},
      {{"--seed", "1", "--frames", "-3"},
       "--frames must be a whole number of at least 1, not '-3'"},
      {{"--seed", "1", "--frames", "5x"},
       "--frames must be a whole number of at least 1, not '5x'"},
      {{"--seed", "1", "--frames", "99999999999"},
       "--frames must be a whole number of at least 1, not '99999999999'"},
      {{"--seed", "1", "--every", "0"}, "--every must be a whole number of at least 1, not '0'"},
      {{"--seed", "-1"}, "--seed must be a whole number from 0 to 4294967295, not '-1'"},
      {{"--seed", "4294967296"},
       "--seed must be a whole number from 0 to 4294967295, not '4294967296'"},
      {{"--seed", "1", "--spectrum", "noise"}, "--spectrum must be silence or music, not 'noise'"},
      {{"--seed", "1", "--video", "show.avi"}, "--video makes .mp4 or .mkv files, not 'show.avi'"},
      {{"--seed", "1", "--fps", "60"}, "--fps is for --video"},
      {{"--seed", "1", "--cast", "a.cast", "--scale", "2"}, "--scale is for --video"},
      {{"--seed", "1", "--video", "a.mp4", "--fps", "241"},
       "--fps must be a whole number from 1 to 240, not '241'"},
      {{"--seed", "1", "--video", "a.mp4", "--scale", "9"},
       "--scale must be a whole number from 1 to 8, not '9'"},
      {{"--frames", "3"}, "--seed N is required"},
      {{}, "--seed N is required"},
  };
  for (const auto& [args, error] : cases) EXPECT_EQ(parse(args).error, error);
}

TEST(FramesOptions, RecordsTheWholeShowWithItsMusicUnlessToldOtherwise) {
  const ParsedOptions video = parse({"--seed", "1", "--video", "show.mp4"});
  ASSERT_EQ(video.error, "");
  EXPECT_EQ(video.options.frames, std::numeric_limits<int>::max());
  EXPECT_EQ(video.options.spectrum, SpectrumChoice::music);
  EXPECT_EQ(video.options.outputRate, 0);
  EXPECT_EQ(video.options.videoScale, 0);
  const ParsedOptions cast =
      parse({"--spectrum", "silence", "--cast", "show.cast", "--frames", "9", "--seed", "1"});
  ASSERT_EQ(cast.error, "");
  EXPECT_EQ(cast.options.frames, 9);
  EXPECT_EQ(cast.options.spectrum, SpectrumChoice::silence);
  EXPECT_EQ(cast.options.castPath, "show.cast");
  const ParsedOptions sixty =
      parse({"--seed", "1", "--video", "show.MKV", "--fps", "60", "--scale", "3"});
  ASSERT_EQ(sixty.error, "");
  EXPECT_EQ(sixty.options.outputRate, 60);
  EXPECT_EQ(sixty.options.videoScale, 3);
}

TEST(FramesOptions, HelpStopsTheParse) {
  EXPECT_TRUE(parse({"--help", "--bogus"}).helpAsked);
  EXPECT_EQ(parse({"--help", "--bogus"}).error, "");
}

}  // namespace
}  // namespace vantrel::frames
