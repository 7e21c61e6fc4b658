#pragma once
// The headless run: the demo's own start-up and frame code, without console
// or audio device, writing the frames as data and as pictures.

#include <string>

#include "frames/frames_options.hpp"

namespace vantrel::frames {

inline constexpr int framesUsageStatus = 2;  // bad command line or unwritable output

struct FramesResult {
  int status = 0;     // the tool's exit status
  std::string error;  // one line when status is not 0
};

FramesResult runFrames(const FramesOptions& options);

}  // namespace vantrel::frames
