#pragma once
// The shipped track, built into the program, so that a vantrel copied alone
// to any folder still plays its music.

#include <cstdint>
#include <span>

namespace vantrel {

// The name the demo plays; a file of that name in the current folder is
// played instead of the built-in copy.
inline constexpr const char* builtInTrackName = "BlueNoise.mp3";

// The bytes of the MP3 file, for PcmDecoder::openBytes. Never empty: the
// build stops when the track is missing or does not decode.
std::span<const std::uint8_t> builtInTrack();

}  // namespace vantrel
