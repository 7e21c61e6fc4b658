#include "text/message.hpp"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

TEST(ScrollMessage, IsFiveSegmentsEndingInFifteenSpaces) {
  const std::string text = buildScrollText();
  ASSERT_EQ(text.size(), 332U);
  // Segment ends: 85, 85 + 88, + 87, + 57, + 15.
  EXPECT_EQ(text.front(), ' ');
  EXPECT_EQ(text[84], ' ');
  EXPECT_EQ(text[172], ' ');
  EXPECT_EQ(text[259], ' ');
  EXPECT_EQ(text[316], '.');
  EXPECT_NE(text[315], ' ');
  EXPECT_EQ(text.substr(317), std::string(15, ' '));
}

TEST(ScrollMessage, UsesOnlyCodesThirtyTwoToOneHundredTwentyOne) {
  for (const char c : buildScrollText()) {
    EXPECT_GE(c, 32);
    EXPECT_LE(c, 121);
  }
}

}  // namespace
}  // namespace vantrel
