#include "driver/command_line.hpp"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace vantrel {
namespace {

using Action = CommandLine::Action;

CommandLine parse(std::vector<std::string_view> arguments) {
  return parseCommandLine(arguments);
}

TEST(CommandLine, NoArgumentsRunsTheShowWithItsOwnTrack) {
  const CommandLine line = parse({});
  EXPECT_EQ(line.action, Action::run);
  EXPECT_TRUE(line.musicFile.empty());
}

TEST(CommandLine, MusicTakesAFileInEitherUsualForm) {
  EXPECT_EQ(parse({"--music", "song.mp3"}).musicFile, "song.mp3");
  EXPECT_EQ(parse({"--music=dir/song one.mp3"}).musicFile, "dir/song one.mp3");
  EXPECT_EQ(parse({"--music", "-odd-name.mp3"}).musicFile, "-odd-name.mp3");
  EXPECT_EQ(parse({"--music", "song.mp3"}).action, Action::run);
}

TEST(CommandLine, HelpAndVersionWinOverEverythingElse) {
  EXPECT_EQ(parse({"--help"}).action, Action::help);
  EXPECT_EQ(parse({"-h"}).action, Action::help);
  EXPECT_EQ(parse({"--music", "a.mp3", "--help"}).action, Action::help);
  EXPECT_EQ(parse({"--version"}).action, Action::version);
}

TEST(CommandLine, MisuseSaysWhatWasWrong) {
  for (const auto& arguments :
       std::vector<std::vector<std::string_view>>{{"--music"},
                                                  {"--music="},
                                                  {"--bogus"},
                                                  {"song.mp3"},
                                                  {"--music", "a", "--music", "b"}}) {
    const CommandLine line = parse(arguments);
    EXPECT_EQ(line.action, Action::misuse) << arguments.front();
    EXPECT_FALSE(line.problem.empty());
  }
  EXPECT_NE(parse({"--bogus"}).problem.find("--bogus"), std::string::npos);
  EXPECT_NE(usageText().find("--music FILE"), std::string_view::npos);
}

}  // namespace
}  // namespace vantrel
