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

TEST(CommandLine, SeedViewAndColoursChooseTheShowAndHowItIsShown) {
  const CommandLine line = parse({"--seed", "4294967295", "--view=fitted", "--colours", "console"});
  EXPECT_EQ(line.action, Action::run);
  EXPECT_EQ(line.seed, 4294967295U);
  EXPECT_EQ(line.console.view, ViewChoice::fitted);
  EXPECT_EQ(line.console.colours, ColourChoice::console);
  EXPECT_EQ(parse({"--seed=0"}).seed, 0U);
  EXPECT_EQ(parse({"--view", "exact"}).console.view, ViewChoice::exact);
  EXPECT_EQ(parse({"--colours=terminal"}).console.colours, ColourChoice::terminal);
  const CommandLine plain = parse({});
  EXPECT_FALSE(plain.seed);
  EXPECT_EQ(plain.console.view, ViewChoice::bySize);
  EXPECT_EQ(plain.console.colours, ColourChoice::byTerminal);
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
                                                  {"--music", "a", "--music", "b"},
                                                  {"--seed"},
                                                  {"--seed", "-1"},
                                                  {"--seed", "4294967296"},
                                                  {"--seed", "12x"},
                                                  {"--seed", "1", "--seed", "2"},
                                                  {"--view", "half"},
                                                  {"--colours", "rgb"},
                                                  {"--colours"}}) {
    const CommandLine line = parse(arguments);
    EXPECT_EQ(line.action, Action::misuse) << arguments.front();
    EXPECT_FALSE(line.problem.empty());
  }
  EXPECT_NE(parse({"--bogus"}).problem.find("--bogus"), std::string::npos);
  EXPECT_NE(usageText().find("--music FILE"), std::string_view::npos);
  EXPECT_NE(parse({"--seed", "12x"}).problem.find("12x"), std::string::npos);
}

}  // namespace
}  // namespace vantrel
