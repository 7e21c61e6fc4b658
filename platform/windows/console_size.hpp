#pragma once
// Sizing a console screen buffer and its window together.

#include <windows.h>

namespace vantrel {

// Sizes the screen buffer and the window of `output` to columns x rows, as
// far as the console allows (a screen too small keeps a smaller window and
// scrolls). Returns false when the buffer could not be given that size.
bool resizeConsole(HANDLE output, SHORT columns, SHORT rows);

}  // namespace vantrel
