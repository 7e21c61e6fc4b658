#pragma once
// The command line of vantrel-frames: what to run and where to write it.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace vantrel::frames {

inline constexpr std::string_view framesUsage =
    "usage: vantrel-frames --seed N [--frames K] [--every M] [--spectrum silence|music] "
    "[--dump FILE] [--png DIR] [--glyphs FILE]";

enum class SpectrumChoice { silence, music };

struct FramesOptions {
  std::uint32_t seed = 0;
  int frames = 1;  // frame loop iterations to run
  int every = 1;   // dump and draw frame 1 and every frame whose number is a multiple of this
  SpectrumChoice spectrum = SpectrumChoice::silence;
  std::string dumpPath;    // empty: no dump
  std::string pngDir;      // empty: no pictures
  std::string glyphsPath;  // empty: no glyph sheet
};

struct ParsedOptions {
  FramesOptions options;
  bool helpAsked = false;
  std::string error;  // one line saying what is wrong; empty when the line parsed
};

// Parses the arguments after the program name.
ParsedOptions parseFramesOptions(std::span<const std::string_view> args);

}  // namespace vantrel::frames
