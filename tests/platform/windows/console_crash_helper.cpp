// Opens the console as the demo does, shows a picture, then dies the way its
// argument says: "fault" (an access violation nobody catches) or "abort"
// (std::abort, which an uncaught exception ends in too). The console tests
// run it and look at what is left on the console.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "platform/windows/windows_console.hpp"
#include "support/console_test_support.hpp"

namespace {

[[noreturn]] void fault() {
  // Read through a pointer the optimiser cannot see through.
  volatile int* volatile nowhere = nullptr;
  *nowhere = 1;
  std::abort();
}

}  // namespace

int main(int argc, char** argv) {
  using namespace vantrel;
  if (argc != 2) return 2;
  // No crash dialog and no debugger: the test only wants the process gone.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);

  WindowsConsole console(testing::openConsoleDevice(L"CONIN$"),
                         testing::openConsoleDevice(L"CONOUT$"));
  console.openWindow();
  console.setWindowRows(screenRows);
  console.hideCursor();
  CellScreen picture;
  for (int index = 1; index <= cellCount; ++index) picture[index] = {219, 0x08};
  WriteRegion region{0, 0, 79, 79};
  console.writeCells(picture.data(), {80, 50}, {0, 0}, region);

  if (std::strcmp(argv[1], "fault") == 0) fault();
  if (std::strcmp(argv[1], "abort") == 0) std::abort();
  return 3;
}
