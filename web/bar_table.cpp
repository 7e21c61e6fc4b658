#include "web/bar_table.hpp"

#include <algorithm>
#include <array>

namespace vantrel {

namespace {

constexpr std::array<std::uint8_t, 8> magic{'V', 'N', 'T', 'L', 'B', 'A', 'R', 'S'};
constexpr std::uint32_t formatVersion = 1;
constexpr std::size_t digestAt = 32;
constexpr std::size_t headerBytes = 40;
constexpr std::size_t blockBytes = barColumns;

void appendLittleEndian(std::vector<std::uint8_t>& out, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::uint64_t readLittleEndian(std::span<const std::uint8_t> file, std::size_t at, int bytes) {
  std::uint64_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = value << 8U | file[at + static_cast<std::size_t>(i)];
  return value;
}

std::uint64_t tableDigest(std::span<const std::uint8_t> front,
                          std::span<const std::uint8_t> heights) {
  return fileDigest(heights, fileDigest(front));
}

struct Header {
  std::uint64_t version;
  std::uint64_t blocks;
  std::uint64_t musicBytes;
  std::uint64_t musicFrames;
  std::uint64_t musicDigest;
  std::uint64_t digest;  // of all but itself
};

Header readHeader(std::span<const std::uint8_t> file) {
  return {readLittleEndian(file, 8, 4),  readLittleEndian(file, 12, 4),
          readLittleEndian(file, 16, 4), readLittleEndian(file, 20, 4),
          readLittleEndian(file, 24, 8), readLittleEndian(file, 32, 8)};
}

// Why `file` is not a table made from `musicFile`, or null when it is one,
// with its header read into `header`.
const char* headerProblem(std::span<const std::uint8_t> file,
                          std::span<const std::uint8_t> musicFile, Header& header) {
  if (file.size() < headerBytes || !std::equal(magic.begin(), magic.end(), file.begin())) {
    return "it is not a table of the bars";
  }
  header = readHeader(file);
  if (header.version != formatVersion) return "it is of another version";
  if (file.size() - headerBytes != header.blocks * blockBytes) return "it is cut short or too long";
  if (tableDigest(file.first(digestAt), file.subspan(headerBytes)) != header.digest) {
    return "it is damaged";
  }
  if (header.musicBytes != musicFile.size() || header.musicDigest != fileDigest(musicFile)) {
    return "it was made from other music";
  }
  return nullptr;
}

}  // namespace

BarHeights BarTable::heightsAfterBlock(std::int64_t block) const {
  if (block < 0 || block >= static_cast<std::int64_t>(blocks.size())) return {};
  return blocks[static_cast<std::size_t>(block)];
}

BarTable barTableOf(TrackAnalysis& track, std::int64_t lastBlock) {
  BarTable table;
  table.musicFrames = static_cast<std::uint32_t>(track.frameCount());
  SpectrumArray spectrum;
  for (std::int64_t block = 0; block <= lastBlock; ++block) {
    track.spectrumAfterBlock(block, spectrum);
    table.blocks.push_back(spectrumBarHeights(spectrum.data()));
  }
  return table;
}

std::vector<std::uint8_t> barTableFile(const BarTable& table,
                                       std::span<const std::uint8_t> musicFile) {
  std::vector<std::uint8_t> heights;
  heights.reserve(table.blocks.size() * blockBytes);
  for (const BarHeights& block : table.blocks)
    heights.insert(heights.end(), block.begin(), block.end());
  std::vector<std::uint8_t> file(magic.begin(), magic.end());
  appendLittleEndian(file, formatVersion, 4);
  appendLittleEndian(file, table.blocks.size(), 4);
  appendLittleEndian(file, musicFile.size(), 4);
  appendLittleEndian(file, table.musicFrames, 4);
  appendLittleEndian(file, fileDigest(musicFile), 8);
  appendLittleEndian(file, tableDigest(file, heights), 8);
  file.insert(file.end(), heights.begin(), heights.end());
  return file;
}

std::optional<BarTable> readBarTable(std::span<const std::uint8_t> file,
                                     std::span<const std::uint8_t> musicFile,
                                     std::string& problem) {
  Header header{};
  if (const char* reason = headerProblem(file, musicFile, header)) {
    problem = reason;
    return std::nullopt;
  }
  BarTable table;
  table.musicFrames = static_cast<std::uint32_t>(header.musicFrames);
  table.blocks.resize(static_cast<std::size_t>(header.blocks));
  for (std::size_t block = 0; block < table.blocks.size(); ++block) {
    const std::uint8_t* stored = file.data() + headerBytes + block * blockBytes;
    if (std::any_of(stored, stored + blockBytes,
                    [](std::uint8_t height) { return height > screenRows; })) {
      problem = "it holds a bar taller than the screen";
      return std::nullopt;
    }
    std::copy(stored, stored + blockBytes, table.blocks[block].begin());
  }
  return table;
}

std::uint64_t fileDigest(std::span<const std::uint8_t> bytes, std::uint64_t before) {
  std::uint64_t digest = before;
  for (const std::uint8_t byte : bytes) digest = (digest ^ byte) * 1099511628211ULL;
  return digest;
}

}  // namespace vantrel
