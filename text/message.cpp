#include "text/message.hpp"

namespace vantrel {

std::string buildScrollText() { return std::string(scrollMessageLength, ' '); }

}  // namespace vantrel
