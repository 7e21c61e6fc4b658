#pragma once
// The bars of the whole show, worked out ahead by the native analysis of the
// music, for a player that decodes the music its own way (a browser, whose
// MP3 decoder differs from the native one in the last bits): the height of
// every bar after every 512-frame block the show reaches. The table names the
// music file it was made from, so it is never shown beside other music.
//
// The file, little-endian:
//   0   "VNTLBARS"
//   8   u32  format version (1)
//   12  u32  blocks in the table
//   16  u32  bytes of the music file
//   20  u32  frames of one pass of the music as the native decoder gives it
//   24  u64  digest of the music file
//   32  u64  digest of all the rest: bytes 0 to 31 and the heights
//   40  the heights, 80 bytes a block (column 1 first), block 0 first
// (Stored as they are, the heights compress better than their changes from
// block to block.)

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "audio/track_analysis.hpp"
#include "effects/spectrum_bars.hpp"

namespace vantrel {

struct BarTable {
  // Frames of one pass of the music as the native decoder gives it: what a
  // player's own decoding should come to.
  std::uint32_t musicFrames = 0;
  // The bars after each block, block 0 first.
  std::vector<BarHeights> blocks;

  // The bars after block `block`: none before the music starts or past the
  // table's end, never another block's.
  BarHeights heightsAfterBlock(std::int64_t block) const;
};

// The bars the native analysis of `track` gives after each of blocks 0 to
// `lastBlock`.
BarTable barTableOf(TrackAnalysis& track, std::int64_t lastBlock);

// The file of `table`, made from `musicFile`.
std::vector<std::uint8_t> barTableFile(const BarTable& table,
                                       std::span<const std::uint8_t> musicFile);

// The table that `file` holds, when it is whole and was made from
// `musicFile`; otherwise nothing, and `problem` says why in a few words.
std::optional<BarTable> readBarTable(std::span<const std::uint8_t> file,
                                     std::span<const std::uint8_t> musicFile, std::string& problem);

// The 64-bit FNV-1a digest of `bytes`, or of bytes that went before them and
// then `bytes` when given the digest of the first as `before`: it tells a
// damaged or another file from the one meant (no defence against forgery).
inline constexpr std::uint64_t emptyDigest = 14695981039346656037ULL;
std::uint64_t fileDigest(std::span<const std::uint8_t> bytes, std::uint64_t before = emptyDigest);

}  // namespace vantrel
