#pragma once
// The kitty graphics protocol's sequences for one picture that each frame
// replaces: the PNG transmitted in base64 chunks as image kittyImageId and
// placed at the cursor as its one placement, so that however many frames
// are sent the terminal holds one image; and its deletion on the way out.

#include <cstdint>
#include <span>
#include <string_view>

#include "platform/terminal/output_buffer.hpp"

namespace vantrel {

inline constexpr int kittyImageId = 7;
// Deletes the image and frees its data; the terminal answers nothing (q=2).
inline constexpr std::string_view kittyImageDeletion = "\x1b_Ga=d,d=I,i=7,q=2\x1b\\";
// Ends a chunked transmission that a cut frame left open (ST first ends the
// chunk it was in); where none is open, an empty command without an answer.
inline constexpr std::string_view kittyTransmissionEnd = "\x1b\\\x1b_Gm=0,q=2;\x1b\\";
// The largest payload a chunk may carry, in base64 characters.
inline constexpr std::size_t kittyChunkSize = 4096;

// Appends the transmission and placement of `png` at the cursor, which does
// not move. The terminal answers nothing, not even errors: an answer would
// land among the keys.
void appendKittyImage(OutputBuffer& out, std::span<const std::uint8_t> png);

// The bytes appendKittyImage sends for `pngSize` bytes of PNG, at most.
std::size_t kittyImageSizeFor(std::size_t pngSize);

}  // namespace vantrel
