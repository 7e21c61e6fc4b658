// vantrel-frames: runs the demo's own start-up and frames without a terminal
// or a sound card, and writes the frames as JSON Lines and as PNG pictures.

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "frames/frames_options.hpp"
#include "frames/frames_run.hpp"

namespace {

int reportError(const std::string& error) {
  using vantrel::frames::framesUsage;
  std::fprintf(stderr, "vantrel-frames: %s\n%.*s\n", error.c_str(),
               static_cast<int>(framesUsage.size()), framesUsage.data());
  return vantrel::frames::framesUsageStatus;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace vantrel::frames;
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  const ParsedOptions parsed = parseFramesOptions(args);
  if (parsed.helpAsked) {
    std::printf("%.*s\n", static_cast<int>(framesUsage.size()), framesUsage.data());
    return 0;
  }
  if (!parsed.error.empty()) return reportError(parsed.error);
  const FramesResult result = runFrames(parsed.options);
  if (result.status != 0) return reportError(result.error);
  return 0;
}
