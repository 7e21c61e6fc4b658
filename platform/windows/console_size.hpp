#pragma once
// Sizing a console screen buffer and its window together.

#include <windows.h>

#include <optional>

namespace vantrel {

// The part of a screen buffer that the console window shows.
struct VisibleWindow {
  SHORT left = 0;
  SHORT top = 0;
  SHORT columns = 0;
  SHORT rows = 0;
};

// The visible window as the console reported it (`reported`: the call that
// filled `info` succeeded); nothing when the report cannot be true: a window
// of no size, or one that reaches outside its buffer.
std::optional<VisibleWindow> visibleWindowOf(bool reported, const CONSOLE_SCREEN_BUFFER_INFO& info);

// Sizes the screen buffer and the window of `output` to columns x rows, as
// far as the console allows (a screen too small keeps a smaller window and
// scrolls). Returns false when the buffer could not be given that size.
bool resizeConsole(HANDLE output, SHORT columns, SHORT rows);

}  // namespace vantrel
