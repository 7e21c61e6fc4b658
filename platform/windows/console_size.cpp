#include "platform/windows/console_size.hpp"

#include <algorithm>

namespace vantrel {

std::optional<VisibleWindow> visibleWindowOf(bool reported,
                                             const CONSOLE_SCREEN_BUFFER_INFO& info) {
  if (!reported) return std::nullopt;
  const SMALL_RECT& window = info.srWindow;
  const bool insideBuffer = window.Left >= 0 && window.Top >= 0 && window.Right < info.dwSize.X &&
                            window.Bottom < info.dwSize.Y;
  if (!insideBuffer || window.Right < window.Left || window.Bottom < window.Top)
    return std::nullopt;
  return VisibleWindow{window.Left, window.Top, static_cast<SHORT>(window.Right - window.Left + 1),
                       static_cast<SHORT>(window.Bottom - window.Top + 1)};
}

bool resizeConsole(HANDLE output, SHORT columns, SHORT rows) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(output, &info)) return false;
  // The window must always fit inside the buffer: shrink the window to what
  // both the old and the new buffer hold, resize the buffer, then grow the
  // window to the new size, as far as the screen allows.
  const SHORT windowWidth = static_cast<SHORT>(info.srWindow.Right - info.srWindow.Left + 1);
  const SHORT windowHeight = static_cast<SHORT>(info.srWindow.Bottom - info.srWindow.Top + 1);
  const SMALL_RECT common{0, 0, static_cast<SHORT>(std::min(windowWidth, columns) - 1),
                          static_cast<SHORT>(std::min(windowHeight, rows) - 1)};
  SetConsoleWindowInfo(output, TRUE, &common);
  const bool resized = SetConsoleScreenBufferSize(output, COORD{columns, rows}) != FALSE;

  if (!GetConsoleScreenBufferInfo(output, &info)) return resized;
  const COORD largest = GetLargestConsoleWindowSize(output);
  auto fit = [](SHORT wanted, SHORT buffer, SHORT screen) {
    SHORT size = std::min(wanted, buffer);
    if (screen > 0) size = std::min(size, screen);
    return static_cast<SHORT>(std::max<SHORT>(size, 1) - 1);
  };
  const SMALL_RECT window{0, 0, fit(columns, info.dwSize.X, largest.X),
                          fit(rows, info.dwSize.Y, largest.Y)};
  SetConsoleWindowInfo(output, TRUE, &window);
  return resized;
}

}  // namespace vantrel
