#include "tools/frames/spectrum_feed.hpp"

namespace vantrel::frames {

std::unique_ptr<SpectrumFeed> openMusicFeed(std::string& error) {
  error = "the offline track analysis is not available in this build";
  return nullptr;
}

}  // namespace vantrel::frames
