#include <windows.h>

#include "platform/system_console.hpp"
#include "platform/windows/windows_console.hpp"

namespace vantrel {

namespace {

bool isConsole(HANDLE handle) {
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

}  // namespace

// The Windows console draws in its own colours, so only the view is chosen.
SystemConsole openSystemConsole(ConsoleOptions options) {
  SystemConsole system;
  if (options.view == ViewChoice::pixels) {
    system.problem =
        "--view pixels needs a terminal that draws images (the kitty graphics protocol or "
        "sixel), and the Windows console draws none";
    return system;
  }
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  if (!isConsole(input) || !isConsole(output)) {
    system.problem = "standard input and output must be a console";
    return system;
  }
  system.console = std::make_unique<WindowsConsole>(input, output, options);
  system.clock = std::make_unique<LocalClock>();
  return system;
}

void endProcess(Console& console, int status) {
  console.restore();
  // Ends every thread at once; the audio threads are never joined.
  ExitProcess(static_cast<UINT>(status));
}

}  // namespace vantrel
