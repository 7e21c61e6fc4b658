// Runs in a real console (under wine: inside a pseudo-terminal): presents
// frames and reads the console back, feeds key events and console events in.
// It works on the console itself (CONIN$, CONOUT$), so its own report can go
// to a redirected standard output. What the console shows is read through a
// fresh CONOUT$, which is whichever buffer is active.
#include "platform/windows/windows_console.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <filesystem>
#include <memory>
#include <vector>

#include "platform/code_page_437.hpp"
#include "support/console_test_support.hpp"
#include "support/demo_frames.hpp"

namespace vantrel {
namespace {

using testing::ActiveBuffer;
using testing::DemoFrames;
using testing::fittedQuadrants;
using testing::openConsoleDevice;
using testing::Quadrants;

HANDLE consoleInput() {
  static const HANDLE input = openConsoleDevice(L"CONIN$");
  return input;
}

// The buffer active when the tests start: the user's.
HANDLE userBuffer() {
  static const HANDLE output = openConsoleDevice(L"CONOUT$");
  return output;
}

// The characters and colours the effects write, spread over the screen.
CellScreen samplePicture() {
  const std::uint16_t characters[] = {0, 179, 219, 220, 221, 222, 223, 'A', 'z', 1, 176, 254};
  const std::uint16_t attributes[] = {0x08, 0x4C, 0x91, 0x07, 0x1F};
  CellScreen picture;
  for (int index = 1; index <= cellCount; ++index) {
    const auto at = static_cast<std::size_t>(index);
    picture[index] = {characters[at % std::size(characters)],
                      attributes[(at / 7) % std::size(attributes)]};
  }
  return picture;
}

std::vector<CHAR_INFO> readConsole(SHORT columns, SHORT rows) {
  const ActiveBuffer active;
  std::vector<CHAR_INFO> records(static_cast<std::size_t>(columns * rows));
  SMALL_RECT region{0, 0, static_cast<SHORT>(columns - 1), static_cast<SHORT>(rows - 1)};
  EXPECT_TRUE(
      ReadConsoleOutputW(active.handle(), records.data(), {columns, rows}, {0, 0}, &region));
  return records;
}

// Compares the top-left columns x rows of what the console shows with the picture.
void expectConsoleShows(const CellScreen& picture, SHORT columns, SHORT rows) {
  const auto records = readConsole(columns, rows);
  int mismatches = 0;
  for (int row = 0; row < rows; ++row) {
    for (int column = 1; column <= columns; ++column) {
      const Cell& cell = picture[cellIndex(row, column)];
      const CHAR_INFO& shown = records[static_cast<std::size_t>(row * columns + column - 1)];
      const auto expected = static_cast<WCHAR>(codePage437ToUnicode[cell.character]);
      if (shown.Char.UnicodeChar != expected || shown.Attributes != cell.attribute) {
        if (++mismatches <= 5) {
          ADD_FAILURE() << "row " << row << " column " << column << ": shows U+" << std::hex
                        << unsigned{shown.Char.UnicodeChar} << " attribute " << shown.Attributes
                        << ", expected U+" << unsigned{expected} << " attribute " << cell.attribute;
        }
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
}

bool operator==(const SMALL_RECT& a, const SMALL_RECT& b) {
  return a.Left == b.Left && a.Top == b.Top && a.Right == b.Right && a.Bottom == b.Bottom;
}

// The user's buffer is shown again with everything as it was.
void expectUserBufferBack(const CONSOLE_SCREEN_BUFFER_INFO& before,
                          const CONSOLE_CURSOR_INFO& cursorBefore) {
  const ActiveBuffer active;
  EXPECT_EQ(shownUserText(active), testing::userText);
  EXPECT_EQ(active.rowsWithBlocks(), 0);
  const auto after = active.info();
  EXPECT_EQ(after.dwSize.X, before.dwSize.X);
  EXPECT_EQ(after.dwSize.Y, before.dwSize.Y);
  EXPECT_TRUE(after.srWindow == before.srWindow);
  EXPECT_EQ(after.dwCursorPosition.X, before.dwCursorPosition.X);
  EXPECT_EQ(after.dwCursorPosition.Y, before.dwCursorPosition.Y);
  CONSOLE_CURSOR_INFO cursor{};
  ASSERT_TRUE(GetConsoleCursorInfo(active.handle(), &cursor));
  EXPECT_EQ(cursor.bVisible, cursorBefore.bVisible);
  EXPECT_EQ(cursor.dwSize, cursorBefore.dwSize);
}

HANDLE refuseScreenBuffer() {
  return INVALID_HANDLE_VALUE;
}

// The console opened as the demo opens it, over a user's buffer that holds
// some text, a visible cursor and a size other than the picture's.
class WindowsConsoleTest : public ::testing::Test {
 protected:
  std::unique_ptr<WindowsConsole> console;
  DWORD originalMode = 0;
  CONSOLE_CURSOR_INFO originalCursor{};
  CONSOLE_SCREEN_BUFFER_INFO originalScreen{};
  std::wstring originalTitle = std::wstring(256, L'\0');

  virtual ScreenBufferMaker screenBufferMaker() { return makeConsoleScreenBuffer; }
  virtual ConsoleOptions options() { return {.view = ViewChoice::exact}; }

  void SetUp() override {
    FlushConsoleInputBuffer(consoleInput());
    SetConsoleActiveScreenBuffer(userBuffer());
    resizeConsole(userBuffer(), 90, 60);
    testing::writeUserText(userBuffer());
    CONSOLE_CURSOR_INFO visible{25, TRUE};
    SetConsoleCursorInfo(userBuffer(), &visible);
    GetConsoleMode(consoleInput(), &originalMode);
    GetConsoleCursorInfo(userBuffer(), &originalCursor);
    GetConsoleScreenBufferInfo(userBuffer(), &originalScreen);
    originalTitle.resize(GetConsoleTitleW(originalTitle.data(), 256));

    console = std::make_unique<WindowsConsole>(consoleInput(), userBuffer(), options(),
                                               screenBufferMaker());
    console->openWindow();
    console->setWindowRows(screenRows);
    console->setWindowTitle("vantrel console test \u2588");
    console->hideCursor();
  }
  void TearDown() override { console->restore(); }

  void presentPicture() {
    const CellScreen picture = samplePicture();
    WriteRegion region{0, 0, 79, 79};
    console->writeCells(picture.data(), {80, 50}, {0, 0}, region);
  }
};

TEST_F(WindowsConsoleTest, SizesTheConsoleHidesTheCursorAndTakesRawInput) {
  EXPECT_TRUE(console->drawsOnOwnBuffer());
  const auto info = ActiveBuffer().info();
  EXPECT_EQ(info.dwSize.X, 80);
  EXPECT_EQ(info.dwSize.Y, 50);
  EXPECT_EQ(info.srWindow.Left, 0);
  EXPECT_EQ(info.srWindow.Top, 0);

  CONSOLE_CURSOR_INFO cursor{};
  ASSERT_TRUE(GetConsoleCursorInfo(ActiveBuffer().handle(), &cursor));
  EXPECT_FALSE(cursor.bVisible);
  DWORD mode = 1;
  ASSERT_TRUE(GetConsoleMode(consoleInput(), &mode));
  EXPECT_EQ(mode, static_cast<DWORD>(ENABLE_WINDOW_INPUT));

  wchar_t title[64]{};
  GetConsoleTitleW(title, 64);
  EXPECT_EQ(std::wstring(title), L"vantrel console test \u2588");
}

TEST_F(WindowsConsoleTest, PresentsEveryCellThroughTheCodePage437Table) {
  const CellScreen picture = samplePicture();
  WriteRegion region{0, 0, 79, 79};
  console->writeCells(picture.data(), {80, 50}, {0, 0}, region);
  EXPECT_EQ(region, (WriteRegion{0, 0, 79, 49}));
  expectConsoleShows(picture, 80, 50);

  // The narrowed region serves the next frame unchanged.
  CellScreen next = picture;
  next[cellIndex(49, 80)] = {220, 0x4C};
  console->writeCells(next.data(), {80, 50}, {0, 0}, region);
  EXPECT_EQ(region, (WriteRegion{0, 0, 79, 49}));
  expectConsoleShows(next, 80, 50);
}

TEST_F(WindowsConsoleTest, ASmallerConsoleShowsThePicturesTopLeftInTheExactView) {
  resizeConsole(console->drawingBuffer(), 40, 20);
  ASSERT_EQ(ActiveBuffer().info().dwSize.X, 40);
  const CellScreen picture = samplePicture();
  WriteRegion region{0, 0, 79, 79};
  console->writeCells(picture.data(), {80, 50}, {0, 0}, region);
  EXPECT_EQ(region, (WriteRegion{0, 0, 39, 19}));
  expectConsoleShows(picture, 40, 20);
}

TEST_F(WindowsConsoleTest, RestoreGivesTheUsersBufferBackAsItWas) {
  presentPicture();
  console->restore();
  expectUserBufferBack(originalScreen, originalCursor);
  DWORD mode = 0;
  ASSERT_TRUE(GetConsoleMode(consoleInput(), &mode));
  EXPECT_EQ(mode, originalMode);
  wchar_t title[256]{};
  GetConsoleTitleW(title, 256);
  EXPECT_EQ(std::wstring(title), originalTitle);
  console->restore();  // a second call changes nothing
  expectUserBufferBack(originalScreen, originalCursor);
}

TEST_F(WindowsConsoleTest, ClosingTheConsoleGivesItBackAndLeavesTheEndToTheSystem) {
  presentPicture();
  EXPECT_EQ(answerConsoleEvent(CTRL_CLOSE_EVENT), FALSE);
  expectUserBufferBack(originalScreen, originalCursor);
  // The frame loop may go on drawing until the system ends the process;
  // nothing of it shows.
  presentPicture();
  EXPECT_EQ(ActiveBuffer().rowsWithBlocks(), 0);
}

class RefusedScreenBufferTest : public WindowsConsoleTest {
 protected:
  ScreenBufferMaker screenBufferMaker() override { return refuseScreenBuffer; }
};

TEST_F(RefusedScreenBufferTest, DrawsIntoTheUsersBufferAndStillGivesBackSizeCursorAndTitle) {
  EXPECT_FALSE(console->drawsOnOwnBuffer());
  EXPECT_EQ(ActiveBuffer().info().dwSize.Y, 50);
  const CellScreen picture = samplePicture();
  WriteRegion region{0, 0, 79, 79};
  console->writeCells(picture.data(), {80, 50}, {0, 0}, region);
  expectConsoleShows(picture, 80, 50);

  console->restore();
  const ActiveBuffer active;
  const auto after = active.info();
  EXPECT_EQ(after.dwSize.X, originalScreen.dwSize.X);
  EXPECT_EQ(after.dwSize.Y, originalScreen.dwSize.Y);
  EXPECT_EQ(after.dwCursorPosition.X, originalScreen.dwCursorPosition.X);
  EXPECT_EQ(after.dwCursorPosition.Y, originalScreen.dwCursorPosition.Y);
  CONSOLE_CURSOR_INFO cursor{};
  ASSERT_TRUE(GetConsoleCursorInfo(active.handle(), &cursor));
  EXPECT_TRUE(cursor.bVisible);
  wchar_t title[256]{};
  GetConsoleTitleW(title, 256);
  EXPECT_EQ(std::wstring(title), originalTitle);
}

INPUT_RECORD keyRecord(bool down, WORD virtualKey, WORD scanCode, wchar_t character,
                       WORD repeatCount = 1) {
  INPUT_RECORD record{};
  record.EventType = KEY_EVENT;
  record.Event.KeyEvent.bKeyDown = down ? TRUE : FALSE;
  record.Event.KeyEvent.wRepeatCount = repeatCount;
  record.Event.KeyEvent.wVirtualKeyCode = virtualKey;
  record.Event.KeyEvent.wVirtualScanCode = scanCode;
  record.Event.KeyEvent.uChar.UnicodeChar = character;
  return record;
}

void writeInput(const std::vector<INPUT_RECORD>& records) {
  DWORD written = 0;
  ASSERT_TRUE(WriteConsoleInputW(consoleInput(), records.data(), static_cast<DWORD>(records.size()),
                                 &written));
  ASSERT_EQ(written, records.size());
}

TEST_F(WindowsConsoleTest, PollKeyTakesOneKeyPressAndSkipsTheRest) {
  std::vector<INPUT_RECORD> records{
      keyRecord(true, VK_SHIFT, 0x2A, 0),  keyRecord(true, 'A', 0x1E, L'A'),
      keyRecord(false, 'A', 0x1E, L'A'),   keyRecord(false, VK_SHIFT, 0x2A, 0),
      keyRecord(true, VK_UP, 0x48, 0),     keyRecord(true, 'C', 0x2E, 3),
      keyRecord(true, VK_ESCAPE, 0x01, 0),
  };
  INPUT_RECORD focus{};
  focus.EventType = FOCUS_EVENT;
  records.insert(records.begin() + 2, focus);
  writeInput(records);

  EXPECT_EQ(console->pollKey().view(), "A");
  EXPECT_EQ(console->pollKey(), KeyPress::specialKey(0x48));
  EXPECT_EQ(console->pollKey().view(), "\x03");
  EXPECT_TRUE(console->pollKey().isEscape());
  EXPECT_TRUE(console->pollKey().empty());  // nothing waiting: returns at once
}

TEST_F(WindowsConsoleTest, AKeyWithARepeatCountIsOnePressPerPoll) {
  writeInput({keyRecord(true, 'X', 0x2D, L'x', 3), keyRecord(true, VK_ESCAPE, 0x01, 0)});
  for (int press = 0; press < 3; ++press) EXPECT_EQ(console->pollKey().view(), "x");
  EXPECT_TRUE(console->pollKey().isEscape());
  EXPECT_TRUE(console->pollKey().empty());
}

TEST_F(WindowsConsoleTest, KeysTypedDuringTheShowDoNotReachTheUser) {
  writeInput({keyRecord(true, 'D', 0x20, L'd'), keyRecord(true, 'R', 0x13, L'r')});
  console->restore();
  DWORD waiting = 1;
  ASSERT_TRUE(GetNumberOfConsoleInputEvents(consoleInput(), &waiting));
  EXPECT_EQ(waiting, 0U);
}

// Console events arrive on a thread of their own. This handler, installed
// after the demo's, is asked first; it counts and passes the event on.
std::atomic<int> eventsSeen{0};
BOOL WINAPI countEvent(DWORD) {
  ++eventsSeen;
  return FALSE;
}

// Waits until the event has been through the handlers. The counting handler
// is asked first; without the demo's handler after it, the system's own
// would end the test process here.
void waitForEvent() {
  for (int waited = 0; eventsSeen.load() == 0 && waited < 5000; waited += 10) Sleep(10);
  EXPECT_EQ(eventsSeen.load(), 1);
  Sleep(200);  // the demo's handler runs after the counting one
}

// Ctrl+C as the console sends it for the key: to this process's group.
void sendCtrlCToTheGroup() {
  eventsSeen = 0;
  ASSERT_TRUE(SetConsoleCtrlHandler(countEvent, TRUE));
  ASSERT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) << GetLastError();
  waitForEvent();
  SetConsoleCtrlHandler(countEvent, FALSE);
}

// Wine sends only Ctrl+C to a group, so Ctrl+Break is delivered the way the
// system delivers every console event: a new thread that starts in the
// system's CtrlRoutine with the event, which calls the handlers in turn and
// ends the process when none of them answers.
void deliverThroughTheSystemRoutine(DWORD event) {
  const auto routine = reinterpret_cast<LPTHREAD_START_ROUTINE>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernelbase.dll"), "CtrlRoutine")));
  ASSERT_NE(routine, nullptr);
  eventsSeen = 0;
  ASSERT_TRUE(SetConsoleCtrlHandler(countEvent, TRUE));
  const HANDLE thread = CreateThread(
      nullptr, 0, routine, reinterpret_cast<void*>(static_cast<ULONG_PTR>(event)), 0, nullptr);
  ASSERT_NE(thread, nullptr);
  EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
  CloseHandle(thread);
  waitForEvent();
  SetConsoleCtrlHandler(countEvent, FALSE);
}

TEST_F(WindowsConsoleTest, CtrlCIsIgnored) {
  sendCtrlCToTheGroup();
  EXPECT_EQ(answerConsoleEvent(CTRL_C_EVENT), TRUE);
  EXPECT_TRUE(console->drawsOnOwnBuffer());
  EXPECT_EQ(ActiveBuffer().info().dwSize.Y, 50);  // still the demo's buffer
}

TEST_F(WindowsConsoleTest, CtrlBreakIsIgnored) {
  deliverThroughTheSystemRoutine(CTRL_BREAK_EVENT);
  EXPECT_EQ(answerConsoleEvent(CTRL_BREAK_EVENT), TRUE);
  EXPECT_EQ(ActiveBuffer().info().dwSize.Y, 50);
}

// The helper beside this test program, run in this console; its exit code.
DWORD runCrashingDemo(const wchar_t* how) {
  wchar_t self[MAX_PATH]{};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::filesystem::path helper =
      std::filesystem::path(self).parent_path() / L"vantrel-console-crash-helper.exe";
  std::wstring commandLine = L"\"" + helper.wstring() + L"\" " + how;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(helper.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &process)) {
    ADD_FAILURE() << "cannot start " << helper << ": " << GetLastError();
    return 0;
  }
  EXPECT_EQ(WaitForSingleObject(process.hProcess, 60'000), WAIT_OBJECT_0);
  DWORD exitCode = 0;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return exitCode;
}

// A demo that crashes still gives the console back, and still ends as a
// crash. This process only watches: it has not opened the demo's console.
class CrashTest : public ::testing::Test {
 protected:
  CONSOLE_CURSOR_INFO cursorBefore{25, TRUE};
  CONSOLE_SCREEN_BUFFER_INFO screenBefore{};

  void SetUp() override {
    SetConsoleActiveScreenBuffer(userBuffer());
    resizeConsole(userBuffer(), 90, 60);
    testing::writeUserText(userBuffer());
    SetConsoleCursorInfo(userBuffer(), &cursorBefore);
    GetConsoleScreenBufferInfo(userBuffer(), &screenBefore);
  }
};

TEST_F(CrashTest, AnAccessViolationGivesTheConsoleBack) {
  EXPECT_EQ(runCrashingDemo(L"fault"), static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION));
  expectUserBufferBack(screenBefore, cursorBefore);
}

TEST_F(CrashTest, AbortGivesTheConsoleBack) {
  EXPECT_EQ(runCrashingDemo(L"abort"), 3U);  // the C runtime's exit code for abort
  expectUserBufferBack(screenBefore, cursorBefore);
}

constexpr int barColour = 4;     // a bar's red background
constexpr int letterColour = 9;  // the scroller's bright blue

// A shown record's quadrants in console colours, for the characters that
// every console font has; nothing for a line or any other character.
std::optional<Quadrants> quadrantsOf(const CHAR_INFO& shown) {
  const int foreground = shown.Attributes & 0xF;
  const int background = (shown.Attributes >> 4) & 0xF;
  const auto fill = [&](bool topLeft, bool topRight, bool bottomLeft, bool bottomRight) {
    const auto colour = [&](bool lit) { return lit ? foreground : background; };
    return Quadrants{colour(topLeft), colour(topRight), colour(bottomLeft), colour(bottomRight)};
  };
  switch (shown.Char.UnicodeChar) {
    case L' ':
      return fill(false, false, false, false);
    case L'\u2588':
      return fill(true, true, true, true);
    case L'\u2580':
      return fill(true, true, false, false);
    case L'\u2584':
      return fill(false, false, true, true);
    case L'\u258C':
      return fill(true, false, true, false);
    case L'\u2590':
      return fill(false, true, false, true);
    default:
      return std::nullopt;
  }
}

// The console's rows [firstRow, firstRow + rows) show the fitted view's rows
// from firstViewRow on, in half blocks: a bar's or a letter's quadrants
// exactly, a ripple's at most two quadrants off (no half block draws its
// diagonals), a bar's body as its line.
::testing::AssertionResult showsFittedView(const CellScreen& picture, int firstRow, int rows,
                                           int firstViewRow) {
  const auto records = readConsole(screenColumns, static_cast<SHORT>(firstRow + rows));
  for (int row = firstRow; row < firstRow + rows; ++row) {
    const int viewRow = firstViewRow + row - firstRow;
    for (int column = 0; column < screenColumns; ++column) {
      const CHAR_INFO& shown = records[static_cast<std::size_t>(row * screenColumns + column)];
      const std::string where =
          "console cell (" + std::to_string(row) + "," + std::to_string(column) + ") ";
      const Cell upper = picture[cellIndex(2 * viewRow, column + 1)];
      if (upper == picture[cellIndex(2 * viewRow + 1, column + 1)] && upper.character == 179) {
        if (shown.Char.UnicodeChar != L'\u2502' || shown.Attributes != upper.attribute) {
          return ::testing::AssertionFailure() << where << "should be a bar's line";
        }
        continue;
      }
      const auto got = quadrantsOf(shown);
      if (!got) {
        return ::testing::AssertionFailure()
               << where << "shows U+" << std::hex << unsigned{shown.Char.UnicodeChar};
      }
      const Quadrants wanted = fittedQuadrants(picture, viewRow, column);
      const bool barOrLetter = std::any_of(wanted.begin(), wanted.end(), [](int colour) {
        return colour == barColour || colour == letterColour;
      });
      int off = 0;
      for (std::size_t quadrant = 0; quadrant < 4; ++quadrant) {
        off += (*got)[quadrant] != wanted[quadrant] ? 1 : 0;
      }
      if ((barOrLetter && off > 0) || off > 2) {
        return ::testing::AssertionFailure() << where << off << " quadrants off";
      }
    }
  }
  return ::testing::AssertionSuccess();
}

// The console's rows [firstRow, firstRow + rows) hold nothing but blanks.
::testing::AssertionResult showsBlankRows(int firstRow, int rows) {
  if (rows <= 0) return ::testing::AssertionSuccess();
  const auto records = readConsole(screenColumns, static_cast<SHORT>(firstRow + rows));
  for (int index = firstRow * screenColumns; index < (firstRow + rows) * screenColumns; ++index) {
    if (records[static_cast<std::size_t>(index)].Char.UnicodeChar != L' ') {
      return ::testing::AssertionFailure()
             << "console row " << index / screenColumns << " is not blank";
    }
  }
  return ::testing::AssertionSuccess();
}

// The height of the bar the console shows in `column`, counted in picture
// rows from the bottom of a window of `rows` rows.
int barHeightShown(int column, int rows) {
  const auto records = readConsole(screenColumns, static_cast<SHORT>(rows));
  int height = 0;
  for (int row = rows - 1; row >= 0; --row) {
    const CHAR_INFO& shown = records[static_cast<std::size_t>(row * screenColumns + column)];
    const bool line = shown.Char.UnicodeChar == L'\u2502';
    const auto quadrants = quadrantsOf(shown);
    const bool barBelow = line || (quadrants && (*quadrants)[2] == barColour);
    const bool barAbove = line || (quadrants && (*quadrants)[0] == barColour);
    if (!barBelow) break;
    height += barAbove ? 2 : 1;
    if (!barAbove) break;
  }
  return height;
}

// The window of the demo's buffer made `rows` tall, and the change reported
// as the console reports one: an input event, read with the keys.
void showWindowRows(WindowsConsole& console, SHORT rows) {
  const SMALL_RECT window{0, 0, screenColumns - 1, static_cast<SHORT>(rows - 1)};
  ASSERT_TRUE(SetConsoleWindowInfo(console.drawingBuffer(), TRUE, &window));
  INPUT_RECORD event{};
  event.EventType = WINDOW_BUFFER_SIZE_EVENT;
  event.Event.WindowBufferSizeEvent.dwSize = {screenColumns, screenRows};
  writeInput({event});
  EXPECT_TRUE(console.pollKey().empty());
}

// The console opened as the demo opens it, the view chosen by the window's size.
class ViewBySizeTest : public WindowsConsoleTest {
 protected:
  ConsoleOptions options() override { return {}; }

  WriteRegion region{0, 0, 79, 79};
  void present(const CellScreen& picture) {
    console->writeCells(picture.data(), {80, 50}, {0, 0}, region);
  }
};

TEST_F(ViewBySizeTest, AWindowOfTwentyFourRowsShowsTheWholePictureAtHalfHeight) {
  showWindowRows(*console, 24);
  DemoFrames frames;
  bool sawLetters = false;
  for (int frame = 1; frame <= 300; ++frame) {
    const CellScreen& picture = frames.next();
    present(picture);
    if (frame % 30 != 0 && frame > 1) continue;
    ASSERT_EQ(console->view(), View::fitted);
    // The buffer is written as the exact view would write it.
    EXPECT_EQ(region, (WriteRegion{0, 0, 79, 49}));
    // The view's top row (ripple only) is cut; the bars stand on the bottom row.
    ASSERT_TRUE(showsFittedView(picture, 0, 24, 1)) << "frame " << frame;
    for (int column = 0; column < screenColumns; ++column) {
      const int wanted = std::min(frames.barHeight(column + 1), 48);
      // Letters drawn over a bar end it early; compare only bars below them.
      if (wanted <= 27) {
        EXPECT_EQ(barHeightShown(column, 24), wanted) << "column " << column << ", frame " << frame;
      }
    }
    const auto letterRow = readConsole(screenColumns, 6);
    for (int column = 0; column < screenColumns && !sawLetters; ++column) {
      const auto quadrants = quadrantsOf(letterRow[static_cast<std::size_t>(5 * 80 + column)]);
      sawLetters = quadrants && (*quadrants)[2] == letterColour;
    }
  }
  EXPECT_TRUE(sawLetters) << "the scroller never reached the checked frames";
  // Nothing is written below the window, where wine would draw on the
  // terminal's last row.
  EXPECT_TRUE(showsBlankRows(24, 26));
}

TEST_F(ViewBySizeTest, EachReportedSizeChangeSwitchesTheView) {
  DemoFrames frames;
  for (const SHORT rows : {SHORT{24}, SHORT{50}, SHORT{30}, SHORT{50}, SHORT{24}}) {
    showWindowRows(*console, rows);
    const CellScreen& picture = frames.next();
    present(picture);
    if (rows == 50) {
      EXPECT_EQ(console->view(), View::exact);
      expectConsoleShows(picture, 80, 50);
    } else {
      EXPECT_EQ(console->view(), View::fitted);
      // 30 rows: the view's 25 rows in the middle, the margins cleared of the exact view.
      const int top = rows == 30 ? 2 : 0;
      EXPECT_TRUE(showsFittedView(picture, top, std::min<int>(rows, 25), rows == 24 ? 1 : 0))
          << rows << " rows";
      EXPECT_TRUE(showsBlankRows(0, top));
      EXPECT_TRUE(showsBlankRows(top + 25, rows - top - 25));
    }
    EXPECT_EQ(region, (WriteRegion{0, 0, 79, 49}));
  }
}

TEST_F(ViewBySizeTest, ABufferTheConsoleKeptSmallStillShowsTheWholePicture) {
  resizeConsole(console->drawingBuffer(), 80, 30);
  ASSERT_EQ(ActiveBuffer().info().dwSize.Y, 30);
  showWindowRows(*console, 30);
  DemoFrames frames;
  const CellScreen& picture = frames.next();
  present(picture);
  EXPECT_EQ(console->view(), View::fitted);
  EXPECT_TRUE(showsFittedView(picture, 2, 25, 0));
  EXPECT_EQ(barHeightShown(0, 27), frames.barHeight(1));
}

TEST_F(WindowsConsoleTest, TheExactViewAskedForStaysInASmallWindow) {
  showWindowRows(*console, 24);
  const CellScreen picture = DemoFrames().next();
  WriteRegion region{0, 0, 79, 79};
  console->writeCells(picture.data(), {80, 50}, {0, 0}, region);
  EXPECT_EQ(console->view(), View::exact);
  expectConsoleShows(picture, 80, 50);
}

class FittedViewAskedForTest : public ViewBySizeTest {
 protected:
  ConsoleOptions options() override { return {.view = ViewChoice::fitted}; }
};

TEST_F(FittedViewAskedForTest, ShowsInTheMiddleOfAWholeWindow) {
  showWindowRows(*console, 50);
  const CellScreen picture = DemoFrames().next();
  present(picture);
  EXPECT_EQ(console->view(), View::fitted);
  EXPECT_TRUE(showsFittedView(picture, 12, 25, 0));
  EXPECT_TRUE(showsBlankRows(0, 12));
  EXPECT_TRUE(showsBlankRows(37, 13));
}

}  // namespace
}  // namespace vantrel
