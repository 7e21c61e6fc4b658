#include "web/bar_table.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vantrel {
namespace {

BarHeights heightsOf(int first) {
  BarHeights heights{};
  for (std::size_t column = 0; column < heights.size(); ++column) {
    heights[column] = static_cast<std::uint8_t>((first + static_cast<int>(column)) % 51);
  }
  return heights;
}

// Three blocks with every height from 0 to 50, made from a small "music file".
struct SmallTable {
  std::vector<std::uint8_t> music{'I', 'D', '3', 4, 0, 0, 1, 2, 3};
  BarTable table{12345, {heightsOf(0), heightsOf(50), heightsOf(7)}};
  std::vector<std::uint8_t> file = barTableFile(table, music);

  std::optional<BarTable> read(const std::vector<std::uint8_t>& bytes, std::string& problem) const {
    return readBarTable(bytes, music, problem);
  }
};

TEST(BarTable, ReadsBackWhatWasWrittenAndNothingOutsideIt) {
  const SmallTable small;
  ASSERT_EQ(small.file.size(), 40U + 3U * 80U);
  std::string problem;
  const auto table = small.read(small.file, problem);
  ASSERT_TRUE(table) << problem;
  EXPECT_EQ(table->musicFrames, 12345U);
  ASSERT_EQ(table->blocks.size(), 3U);
  for (int block = 0; block < 3; ++block) {
    EXPECT_EQ(table->heightsAfterBlock(block), small.table.blocks[static_cast<std::size_t>(block)]);
  }
  EXPECT_EQ(table->heightsAfterBlock(-1), BarHeights{}) << "before the music starts";
  EXPECT_EQ(table->heightsAfterBlock(3), BarHeights{}) << "past the table's end";
}

// Whatever is cut off, added or changed, nothing is read.
TEST(BarTable, RefusesEveryCutEveryExtraByteAndEveryFlippedBit) {
  const SmallTable small;
  std::string problem;
  for (std::size_t length = 0; length < small.file.size(); ++length) {
    const std::vector<std::uint8_t> cut(small.file.begin(),
                                        small.file.begin() + static_cast<std::ptrdiff_t>(length));
    EXPECT_FALSE(small.read(cut, problem)) << "cut to " << length << " bytes";
  }
  std::vector<std::uint8_t> longer = small.file;
  longer.push_back(0);
  EXPECT_FALSE(small.read(longer, problem));
  EXPECT_EQ(problem, "it is cut short or too long");
  for (std::size_t at = 0; at < small.file.size(); ++at) {
    for (int bit = 0; bit < 8; ++bit) {
      std::vector<std::uint8_t> flipped = small.file;
      flipped[at] ^= static_cast<std::uint8_t>(1U << bit);
      EXPECT_FALSE(small.read(flipped, problem)) << "byte " << at << ", bit " << bit;
    }
  }
}

TEST(BarTable, RefusesATableMadeFromOtherMusic) {
  const SmallTable small;
  std::string problem;
  std::vector<std::uint8_t> changed = small.music;
  changed.back() ^= 1U;
  EXPECT_FALSE(readBarTable(small.file, changed, problem));
  EXPECT_EQ(problem, "it was made from other music");
  std::vector<std::uint8_t> longer = small.music;
  longer.push_back(0);
  EXPECT_FALSE(readBarTable(small.file, longer, problem));
  EXPECT_FALSE(readBarTable(small.file, {}, problem));
}

// A table whose digest is right but that holds a bar of 51 cells: written by
// something else than this code, and not to be drawn past the screen's top.
TEST(BarTable, RefusesABarTallerThanTheScreen) {
  SmallTable small;
  small.table.blocks[1][79] = 51;
  small.file = barTableFile(small.table, small.music);
  std::string problem;
  EXPECT_FALSE(small.read(small.file, problem));
  EXPECT_EQ(problem, "it holds a bar taller than the screen");
}

TEST(BarTable, RefusesWhatIsNoTable) {
  const SmallTable small;
  std::string problem;
  EXPECT_FALSE(small.read(small.music, problem));
  EXPECT_EQ(problem, "it is not a table of the bars");
  EXPECT_FALSE(small.read({}, problem));
}

}  // namespace
}  // namespace vantrel
