// The start-up probe's answers as real terminals sent them (recorded from
// xterm, kitty, alacritty, Konsole and xfce4-terminal under Xvfb), read
// whole, split, mixed with keys and garbage; and what they decide: the
// colours, and the rows a terminal really shows.

#include "platform/terminal/terminal_probe.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/terminal/terminal_abilities.hpp"

namespace vantrel {
namespace {

struct Recorded {
  const char* terminal;
  std::string_view answers;
};

// Their answers to probeQuestions(true), byte for byte.
constexpr std::string_view xtermAnswers =
    "\x1bP>|XTerm(379)\x1b\\\x1bP1$r0;48:2::1:2:3m\x1b\\\x1b[1;2R"
    "\x1b[?64;1;2;6;9;15;16;17;18;21;22;28c";
constexpr std::string_view xtermVt340Answers =
    "\x1bP>|XTerm(379)\x1b\\\x1bP1$r0;48:2::1:2:3m\x1b\\\x1b[?2;0;480;312S\x1b[1;2R"
    "\x1b[?63;1;2;4;6;9;15;16;22;28c";
constexpr std::string_view kittyAnswers =
    "\x1bP>|kitty(0.26.5)\x1b\\\x1b[6;19;10t\x1bP0+r524742\x1b\\\x1bP0+r5463\x1b\\"
    "\x1bP1$r48:2:1:2:3m\x1b\\\x1b_Gi=31;OK\x1b\\\x1b[1;2R\x1b[?62;c";
constexpr std::string_view alacrittyAnswers = "\x1b[1;2R\x1b[?6c";
constexpr std::string_view konsoleAnswers =
    "\x1bP>|Konsole 22.12.3\x1b\\\x1b[6;17;8t\x1b_Gi=31;OK\x1b\\\x1b[?2;0;16384;16384S"
    "\x1b[1;2R\x1b[?62;1;4c";
constexpr std::string_view vteAnswers = "\x1bP0$r\x1b\\\x1b[1;2R\x1b[?65;1;9c";

struct Reading {
  TerminalAnswers answers;
  std::string keys;
};

// `bytes` fed in the pieces `cuts` make of it (offsets in order).
Reading readInPieces(std::string_view bytes, const std::vector<std::size_t>& cuts = {}) {
  ProbeReader reader;
  std::size_t from = 0;
  for (const std::size_t cut : cuts) {
    reader.feed(bytes.substr(from, cut - from));
    from = cut;
  }
  reader.feed(bytes.substr(from));
  reader.finish();
  return {reader.answers(), reader.keys()};
}

TEST(TerminalProbe, ReadsWhatRealTerminalsAnswered) {
  const Reading xterm = readInPieces(xtermAnswers);
  EXPECT_TRUE(xterm.answers.deviceAttributes);
  EXPECT_FALSE(xterm.answers.sixel);
  EXPECT_EQ(xterm.answers.version, "XTerm(379)");
  EXPECT_TRUE(xterm.answers.directColourReadBack) << "48:2::1:2:3, the colour space's slot empty";
  EXPECT_FALSE(xterm.answers.cell.known()) << "xterm keeps CSI 16 t to itself by default";
  EXPECT_EQ(xterm.answers.cursorColumn, 2);
  EXPECT_TRUE(xterm.keys.empty());

  const Reading vt340 = readInPieces(xtermVt340Answers);
  EXPECT_TRUE(vt340.answers.sixel) << "attribute 4 in DA1";
  EXPECT_EQ(vt340.answers.sixelLimit, (CellPixels{480, 312}));
  EXPECT_TRUE(vt340.keys.empty());

  const Reading kitty = readInPieces(kittyAnswers);
  EXPECT_EQ(kitty.answers.version, "kitty(0.26.5)");
  EXPECT_EQ(kitty.answers.cell, (CellPixels{10, 19}));
  EXPECT_FALSE(kitty.answers.directColourCapability) << "0+r: kitty knows neither name";
  EXPECT_TRUE(kitty.answers.directColourReadBack) << "48:2:1:2:3";
  EXPECT_TRUE(kitty.answers.kittyGraphics);
  EXPECT_TRUE(kitty.answers.deviceAttributes) << "?62;c, with its empty last attribute";
  EXPECT_TRUE(kitty.keys.empty());

  const Reading konsole = readInPieces(konsoleAnswers);
  EXPECT_EQ(konsole.answers.version, "Konsole 22.12.3");
  EXPECT_EQ(konsole.answers.cell, (CellPixels{8, 17}));
  EXPECT_TRUE(konsole.answers.kittyGraphics);
  EXPECT_TRUE(konsole.answers.sixel);
  EXPECT_FALSE(konsole.answers.directColourReadBack);
  EXPECT_EQ(konsole.answers.sixelLimit, (CellPixels{16384, 16384}));
  EXPECT_TRUE(konsole.keys.empty());

  const Reading alacritty = readInPieces(alacrittyAnswers);
  EXPECT_TRUE(alacritty.answers.deviceAttributes);
  EXPECT_TRUE(alacritty.answers.version.empty());
  EXPECT_EQ(alacritty.answers.cursorColumn, 2);

  const Reading vte = readInPieces(vteAnswers);
  EXPECT_FALSE(vte.answers.directColourReadBack) << "0$r: no read-back";
  EXPECT_TRUE(vte.answers.deviceAttributes);
  EXPECT_TRUE(vte.keys.empty());
}

// A read may end anywhere, even inside ESC \ or between ESC and [.
TEST(TerminalProbe, AnAnswerSplitAcrossReadsIsReadAsOne) {
  const Reading whole = readInPieces(kittyAnswers);
  for (std::size_t cut = 1; cut < kittyAnswers.size(); ++cut) {
    const Reading split = readInPieces(kittyAnswers, {cut});
    EXPECT_EQ(split.answers.version, whole.answers.version) << cut;
    EXPECT_EQ(split.answers.cell, whole.answers.cell) << cut;
    EXPECT_EQ(split.answers.kittyGraphics, whole.answers.kittyGraphics) << cut;
    EXPECT_EQ(split.answers.directColourReadBack, whole.answers.directColourReadBack) << cut;
    EXPECT_EQ(split.answers.cursorColumn, whole.answers.cursorColumn) << cut;
    EXPECT_TRUE(split.answers.deviceAttributes) << cut;
    EXPECT_TRUE(split.keys.empty()) << cut << ": " << split.keys;
  }
  std::vector<std::size_t> everyByte;
  for (std::size_t cut = 1; cut < konsoleAnswers.size(); ++cut) everyByte.push_back(cut);
  EXPECT_EQ(readInPieces(konsoleAnswers, everyByte).answers.cell, (CellPixels{8, 17}));
}

TEST(TerminalProbe, KeysTypedAroundTheAnswersAreKeptInOrder) {
  std::string bytes = "a";
  bytes += "\x1bP>|XTerm(379)\x1b\\";
  bytes += "\x1b[A";              // an arrow key between two answers
  bytes += "b\x1b";               // and an Esc
  bytes += "\x1b[1;2R\x1b[1;2R";  // the report, then Shift+F3 as some terminals send it
  bytes += "\x1b[?64;1c";
  bytes += "c";
  const Reading reading = readInPieces(bytes, {3, 20});
  EXPECT_EQ(reading.keys, "a\x1b[Ab\x1b\x1b[1;2Rc");
  EXPECT_EQ(reading.answers.version, "XTerm(379)");
  EXPECT_EQ(reading.answers.cursorColumn, 2);
  EXPECT_TRUE(reading.answers.deviceAttributes);
}

TEST(TerminalProbe, GarbageAndHalfAnswersBecomeKeysAndNeverHideTheRest) {
  // Half an answer at the end, when the wait is over, is handed on as keys.
  ProbeReader halfway;
  halfway.feed("\x1bP>|XTer");
  EXPECT_TRUE(halfway.keys().empty()) << "held while the rest may come";
  halfway.finish();
  EXPECT_EQ(halfway.keys(), "\x1bP>|XTer");
  EXPECT_TRUE(halfway.answers().version.empty());

  // A string that never ends is not held for ever: what follows is still read.
  std::string endless = "\x1bP";
  endless.append(5000, 'x');
  endless += "\x1b[?62;4c";
  const Reading flood = readInPieces(endless, {100, 1000, 3000});
  EXPECT_TRUE(flood.answers.deviceAttributes);
  EXPECT_TRUE(flood.answers.sixel);
  EXPECT_EQ(flood.keys.size(), endless.size() - 8);

  // A sequence longer than any answer is garbage, whether it came in one read
  // or in many: however the reads fall, the same answers.
  std::string longDeviceAttributes = "\x1b[?62";
  while (longDeviceAttributes.size() < ProbeReader::longestAnswer + 20)
    longDeviceAttributes += ";1";
  longDeviceAttributes += 'c';
  const std::size_t pastTheLongest = ProbeReader::longestAnswer + 10;
  for (const std::vector<std::size_t>& cuts :
       {std::vector<std::size_t>{}, {100}, {pastTheLongest}}) {
    const Reading longOne = readInPieces(longDeviceAttributes, cuts);
    EXPECT_FALSE(longOne.answers.deviceAttributes) << cuts.size() << " cuts";
    EXPECT_EQ(longOne.keys, longDeviceAttributes) << cuts.size() << " cuts";
  }

  // An ESC inside a string cuts it: the string was no answer.
  const Reading cut = readInPieces("\x1bP>|Xt\x1b[?1c");
  EXPECT_TRUE(cut.answers.version.empty());
  EXPECT_TRUE(cut.answers.deviceAttributes);

  // Bytes of no sequence end one: what came before it is keys.
  const Reading broken = readInPieces("\x1b[6;1\x01\x1b[?1c");
  EXPECT_FALSE(broken.answers.cell.known());
  EXPECT_EQ(broken.keys, "\x1b[6;1\x01");
  EXPECT_TRUE(broken.answers.deviceAttributes);

  // Control bytes in a version are not passed on.
  EXPECT_EQ(readInPieces("\x1bP>|ab\x07").answers.version, "ab");
  EXPECT_EQ(readInPieces("\x1bP>|a\x05z\x1b\\").answers.version, "a?z");
}

// Only an OK to the query's own image id says the terminal draws kitty's images.
TEST(TerminalProbe, AKittyGraphicsErrorIsNoSupport) {
  EXPECT_TRUE(readInPieces("\x1b_Gi=31;OK\x1b\\").answers.kittyGraphics);
  EXPECT_FALSE(readInPieces("\x1b_Gi=31;EINVAL:bad format\x1b\\").answers.kittyGraphics);
  EXPECT_FALSE(readInPieces("\x1b_Gi=30;OK\x1b\\").answers.kittyGraphics);
  EXPECT_FALSE(readInPieces("\x1b_Gi=311;OK\x1b\\").answers.kittyGraphics);
  EXPECT_FALSE(readInPieces("\x1b_Xi=31;OK\x1b\\").answers.kittyGraphics);
  EXPECT_FALSE(readInPieces("\x1b[?2;3;0S").answers.sixelLimit.known()) << "status 3: failure";
}

TEST(TerminalProbe, AnAbsurdCellSizeIsIgnored) {
  for (const char* absurd : {"\x1b[6;0;0t", "\x1b[6;65535;1t", "\x1b[6;1;65535t", "\x1b[6;17t",
                             "\x1b[6;123456;8t", "\x1b[6;-17;8t"}) {
    EXPECT_FALSE(readInPieces(absurd).answers.cell.known()) << absurd + 1;
  }
  EXPECT_EQ(readInPieces("\x1b[6;12;6t").answers.cell, (CellPixels{6, 12}));
}

TEST(TerminalProbe, TheQuestionsEndWithDeviceAttributes) {
  for (const bool askGlyphWidth : {true, false}) {
    const std::string questions = probeQuestions(askGlyphWidth);
    EXPECT_TRUE(questions.ends_with("\x1b[c"));
    EXPECT_EQ(questions.find("\x1b[c"), questions.size() - 3) << "asked once, last";
    EXPECT_EQ(questions.find("\x1b[6n") != std::string::npos, askGlyphWidth);
    EXPECT_NE(questions.find("\x1b[0m"), std::string::npos) << "the read-back's colour undone";
  }
}

TEST(TerminalAbilities, DirectColourWhereTheAnswersShowIt) {
  const TerminalEnvironment xtermAsDebianStartsIt{"xterm", "", "C.UTF-8"};
  EXPECT_EQ(coloursTerminalDraws(xtermAsDebianStartsIt), ColourMode::ansi16);
  EXPECT_EQ(coloursTerminalDraws(xtermAsDebianStartsIt, readInPieces(xtermAnswers).answers),
            ColourMode::direct);
  EXPECT_EQ(coloursTerminalDraws(xtermAsDebianStartsIt, readInPieces(alacrittyAnswers).answers),
            ColourMode::ansi16);
  EXPECT_EQ(
      coloursTerminalDraws({"xterm-256color", "", "C.UTF-8"}, readInPieces(vteAnswers).answers),
      ColourMode::palette256);
  EXPECT_EQ(colourModeFor(ColourChoice::terminal, xtermAsDebianStartsIt,
                          readInPieces(xtermAnswers).answers),
            ColourMode::ansi16)
      << "--colours terminal still overrides";

  TerminalAnswers capability;
  capability.directColourCapability = true;
  EXPECT_EQ(coloursTerminalDraws(xtermAsDebianStartsIt, capability), ColourMode::direct);
  EXPECT_TRUE(readInPieces("\x1bP1+r524742=\x1b\\").answers.directColourCapability);
  EXPECT_TRUE(readInPieces("\x1bP1+r5463\x1b\\").answers.directColourCapability);
  EXPECT_FALSE(readInPieces("\x1bP1+r636f6c6f7273=323536\x1b\\").answers.directColourCapability);

  EXPECT_TRUE(readInPieces("\x1bP1$r48;2;1;2;3m\x1b\\").answers.directColourReadBack);
  EXPECT_FALSE(readInPieces("\x1bP1$r0;48;5;16m\x1b\\").answers.directColourReadBack)
      << "the palette's nearest entry is no direct colour";
  EXPECT_FALSE(readInPieces("\x1bP1$r0;148;2;1;2;3m\x1b\\").answers.directColourReadBack);
  EXPECT_FALSE(readInPieces("\x1bP1$r48:2::1:2:4m\x1b\\").answers.directColourReadBack);
}

TEST(TerminalAbilities, KnowsWhichTerminalsDrawDirectColourByTheirVersions) {
  for (const char* drawsIt :
       {"XTerm(331)", "XTerm(379)", "XTerm(1000)", "kitty(0.26.5)", "WezTerm 20230712-072601",
        "foot(1.13.1)", "Konsole 22.12.3", "VTE(7600)"}) {
    EXPECT_TRUE(versionDrawsDirectColour(drawsIt)) << drawsIt;
  }
  for (const char* not_ : {"XTerm(330)", "XTerm(33)", "XTerm(3)", "XTerm", "XTerm()", "XTerm(379",
                           "tmux 3.3a", "xterm(379)", "XTermX(379)", ""}) {
    EXPECT_FALSE(versionDrawsDirectColour(not_)) << not_;
  }
}

// Konsole takes a size request into its rows and keeps its window: the
// pixels tell how many rows are on screen.
TEST(TerminalAbilities, TheRowsShownAreThoseThePixelsHold) {
  const CellPixels konsoleCell{8, 17};
  EXPECT_EQ(cellsShown({{80, 50}, 642, 408}, konsoleCell), (TerminalSize{80, 24}));
  EXPECT_EQ(cellsShown({{80, 50}, 642, 850}, konsoleCell), (TerminalSize{80, 50}));
  EXPECT_EQ(cellsShown({{80, 24}, 642, 408}, konsoleCell), (TerminalSize{80, 24}));
  EXPECT_EQ(cellsShown({{80, 24}, 642, 2000}, konsoleCell), (TerminalSize{80, 24}))
      << "more pixels than rows: the rows stand";
  EXPECT_EQ(cellsShown({{80, 50}, 0, 0}, konsoleCell), (TerminalSize{80, 50})) << "no pixels";
  EXPECT_EQ(cellsShown({{80, 50}, 642, 408}, {}), (TerminalSize{80, 50})) << "no cell size";
  EXPECT_EQ(cellsShown({{80, 50}, 1, 1}, konsoleCell), (TerminalSize{80, 50}))
      << "less than a row of pixels is a misreport";
  EXPECT_EQ(cellsShown({{80, 50}, 65535, 65535}, konsoleCell), (TerminalSize{80, 50}));
}

}  // namespace
}  // namespace vantrel
