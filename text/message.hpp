#pragma once
// The scroller's message.

#include <string>

namespace vantrel {

inline constexpr int scrollMessageLength = 332;

// The whole message, built from its segments in order.
std::string buildScrollText();

}  // namespace vantrel
