#include "frames/frame_dump.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

#include "frames_test_support.hpp"

namespace vantrel::frames {
namespace {

std::string jsonFloat(float value) {
  std::string out;
  appendJsonFloat(out, value);
  return out;
}

std::string base64(std::string_view text) {
  std::string out;
  const std::vector<std::uint8_t> bytes(text.begin(), text.end());
  appendBase64(out, bytes);
  return out;
}

TEST(FrameDumpFloats, ReadBackExactlyAndNonFiniteIsNull) {
  const float samples[] = {0.0F,
                           -0.0F,
                           0.1F,
                           -0.007F,
                           0.0125F,
                           123456789.0F,
                           1.0F / 3.0F,
                           std::numeric_limits<float>::denorm_min(),
                           std::numeric_limits<float>::max(),
                           -std::numeric_limits<float>::min(),
                           std::nextafter(500.0F, 501.0F)};
  for (const float value : samples) {
    const std::string text = jsonFloat(value);
    const float back = std::strtof(text.c_str(), nullptr);
    EXPECT_EQ(std::signbit(back), std::signbit(value)) << text;
    EXPECT_EQ(back, value) << text;
  }
  EXPECT_EQ(jsonFloat(0.1F), "0.100000001");
  EXPECT_EQ(jsonFloat(500.0F), "500");
  EXPECT_EQ(jsonFloat(std::numeric_limits<float>::quiet_NaN()), "null");
  EXPECT_EQ(jsonFloat(std::numeric_limits<float>::infinity()), "null");
  EXPECT_EQ(jsonFloat(-std::numeric_limits<float>::infinity()), "null");
}

TEST(FrameDumpBase64, MatchesTheStandardVectorsAndDecodesBack) {
  EXPECT_EQ(base64(""), "");
  EXPECT_EQ(base64("f"), "Zg==");
  EXPECT_EQ(base64("fo"), "Zm8=");
  EXPECT_EQ(base64("foo"), "Zm9v");
  EXPECT_EQ(base64("foob"), "Zm9vYg==");
  EXPECT_EQ(base64("fooba"), "Zm9vYmE=");
  EXPECT_EQ(base64("foobar"), "Zm9vYmFy");
  std::vector<std::uint8_t> everyByte(256);
  for (std::size_t i = 0; i < everyByte.size(); ++i) everyByte[i] = static_cast<std::uint8_t>(i);
  std::string encoded;
  appendBase64(encoded, everyByte);
  EXPECT_EQ(testing::decodeBase64(encoded), everyByte);
}

TEST(FrameDumpStrings, EscapeQuotesBackslashesAndBytesOutsidePrintableAscii) {
  std::string out;
  appendJsonString(out, std::string_view("a\"b\\c\x01\x7f\xdb z", 10));
  EXPECT_EQ(out, R"("a\"b\\c\u0001\u007f\u00db z")");
}

TEST(FrameDumpCells, AreLittleEndianCharacterThenAttributeFromCellOne) {
  CellScreen screen;
  screen[1] = {0x01DB, 0x0891};
  screen[4000] = {179, 0x4C};
  const CellScreenBytes bytes = cellScreenToBytes(screen);
  EXPECT_EQ(bytes[0], 0xDB);
  EXPECT_EQ(bytes[1], 0x01);
  EXPECT_EQ(bytes[2], 0x91);
  EXPECT_EQ(bytes[3], 0x08);
  EXPECT_EQ(bytes[15996], 179);
  EXPECT_EQ(bytes[15998], 0x4C);
  EXPECT_EQ(testing::cellsFromBytes(bytes), screen);
}

TEST(FrameDumpLines, CarryEveryFieldOfTheFrame) {
  Demo demo;
  demo.particles.particleCount = 2;
  demo.particles.particleTable[1] = {1.5F, -2.0F, 100.0F, 0.25F, 0.5F, -1.0F, 2.0F, 0};
  demo.particles.particleTable[2] = {
      std::numeric_limits<float>::quiet_NaN(), 0.0F, 10.0F, 0, 0, 0, 0, 0};
  demo.ripple.ripplePhase = -1;
  demo.scroller.scrollPos = 7;
  demo.scroller.glyphColumn = 3;
  demo.cellScreen[2] = {219, 8};
  SpectrumArray spectrum{};
  spectrum[240].store(0.5F);
  spectrum[241].store(9.0F);  // beyond what the bars read: not dumped

  EXPECT_EQ(startLine(42, "Hi.", demo.particles),
            R"({"seed": 42, "message": "Hi.", "particles": [[1.5, -2, 100], [null, 0, 10]]})");

  const std::string line = frameLine(12, demo, spectrum);
  EXPECT_EQ(testing::jsonField(line, "frame"), "12");
  EXPECT_EQ(testing::jsonField(line, "phase"), "-1");
  EXPECT_EQ(testing::jsonField(line, "scrollPos"), "7");
  EXPECT_EQ(testing::jsonField(line, "glyphColumn"), "3");
  EXPECT_EQ(testing::jsonField(line, "particles"),
            "[[1.5, -2, 100, 0.25, 0.5, -1, 2], [null, 0, 10, 0, 0, 0, 0]]");
  const std::vector<std::string> entries = testing::jsonList(testing::jsonField(line, "spectrum"));
  ASSERT_EQ(entries.size(), 241U);
  EXPECT_EQ(entries[0], "0");
  EXPECT_EQ(entries[240], "0.5");
  EXPECT_EQ(testing::cellsFromBase64(testing::jsonString(testing::jsonField(line, "cells"))),
            demo.cellScreen);

  EXPECT_EQ(endedLine(5296), R"({"frame": 5296, "ended": true})");
}

}  // namespace
}  // namespace vantrel::frames
