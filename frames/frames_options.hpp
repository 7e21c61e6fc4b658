#pragma once
// The command line of vantrel-frames: what to run and where to write it.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace vantrel::frames {

inline constexpr std::string_view framesUsage =
    "usage: vantrel-frames --seed N [--frames K] [--every M] [--spectrum silence|music] "
    "[--dump FILE] [--png DIR] [--glyphs FILE] [--video FILE.mp4|FILE.mkv [--fps N] [--scale N]] "
    "[--cast FILE]";

enum class SpectrumChoice { silence, music };

// Frames a second --fps takes, and the largest --scale.
inline constexpr int highestOutputRate = 240;
inline constexpr int highestVideoScale = 8;

struct FramesOptions {
  std::uint32_t seed = 0;
  // Frame loop iterations to run: 1, or with --video or --cast the whole show.
  int frames = 1;
  int every = 1;  // dump and draw frame 1 and every frame whose number is a multiple of this
  SpectrumChoice spectrum = SpectrumChoice::silence;
  std::string dumpPath;    // empty: no dump
  std::string pngDir;      // empty: no pictures
  std::string glyphsPath;  // empty: no glyph sheet
  std::string videoPath;   // empty: no video
  int outputRate = 0;      // video frames a second; 0: the show's own 1000/11
  int videoScale = 0;      // 0: the video kind's default
  std::string castPath;    // empty: no terminal recording
};

struct ParsedOptions {
  FramesOptions options;
  bool helpAsked = false;
  std::string error;  // one line saying what is wrong; empty when the line parsed
};

// Parses the arguments after the program name.
ParsedOptions parseFramesOptions(std::span<const std::string_view> args);

}  // namespace vantrel::frames
