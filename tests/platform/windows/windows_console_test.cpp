// Runs in a real console (under wine: inside a pseudo-terminal): presents
// frames and reads the console back, feeds key events into the console input.
// It works on the console itself (CONIN$, CONOUT$), so its own report can go
// to a redirected standard output.
#include "platform/windows/windows_console.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "platform/code_page_437.hpp"

namespace vantrel {
namespace {

HANDLE openConsole(const wchar_t* name) {
  return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                     nullptr, OPEN_EXISTING, 0, nullptr);
}

HANDLE consoleInput() {
  static const HANDLE input = openConsole(L"CONIN$");
  return input;
}

HANDLE consoleOutput() {
  static const HANDLE output = openConsole(L"CONOUT$");
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
  std::vector<CHAR_INFO> records(static_cast<std::size_t>(columns * rows));
  SMALL_RECT region{0, 0, static_cast<SHORT>(columns - 1), static_cast<SHORT>(rows - 1)};
  EXPECT_TRUE(
      ReadConsoleOutputW(consoleOutput(), records.data(), {columns, rows}, {0, 0}, &region));
  return records;
}

// Compares the top-left columns x rows of the console with the picture.
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

CONSOLE_SCREEN_BUFFER_INFO screenInfo() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  GetConsoleScreenBufferInfo(consoleOutput(), &info);
  return info;
}

class WindowsConsoleTest : public ::testing::Test {
 protected:
  WindowsConsole console{consoleInput(), consoleOutput()};
  DWORD originalMode = 0;
  CONSOLE_CURSOR_INFO originalCursor{};
  std::wstring originalTitle = std::wstring(256, L'\0');

  void SetUp() override {
    FlushConsoleInputBuffer(consoleInput());
    GetConsoleMode(consoleInput(), &originalMode);
    GetConsoleCursorInfo(consoleOutput(), &originalCursor);
    originalTitle.resize(GetConsoleTitleW(originalTitle.data(), 256));
    console.openWindow();
    console.setWindowRows(screenRows);
    console.setWindowTitle("vantrel console test \u2588");
    console.hideCursor();
  }
  void TearDown() override { console.restore(); }
};

TEST_F(WindowsConsoleTest, SizesTheConsoleHidesTheCursorAndTakesRawInput) {
  const auto info = screenInfo();
  EXPECT_EQ(info.dwSize.X, 80);
  EXPECT_EQ(info.dwSize.Y, 50);
  EXPECT_EQ(info.srWindow.Left, 0);
  EXPECT_EQ(info.srWindow.Top, 0);

  CONSOLE_CURSOR_INFO cursor{};
  ASSERT_TRUE(GetConsoleCursorInfo(consoleOutput(), &cursor));
  EXPECT_FALSE(cursor.bVisible);
  DWORD mode = 1;
  ASSERT_TRUE(GetConsoleMode(consoleInput(), &mode));
  EXPECT_EQ(mode, 0U);

  wchar_t title[64]{};
  GetConsoleTitleW(title, 64);
  EXPECT_EQ(std::wstring(title), L"vantrel console test \u2588");
}

TEST_F(WindowsConsoleTest, PresentsEveryCellThroughTheCodePage437Table) {
  const CellScreen picture = samplePicture();
  WriteRegion region{0, 0, 79, 79};
  console.writeCells(picture.data(), {80, 50}, {0, 0}, region);
  EXPECT_EQ(region, (WriteRegion{0, 0, 79, 49}));
  expectConsoleShows(picture, 80, 50);

  // The narrowed region serves the next frame unchanged.
  CellScreen next = picture;
  next[cellIndex(49, 80)] = {220, 0x4C};
  console.writeCells(next.data(), {80, 50}, {0, 0}, region);
  EXPECT_EQ(region, (WriteRegion{0, 0, 79, 49}));
  expectConsoleShows(next, 80, 50);
}

TEST_F(WindowsConsoleTest, ASmallerConsoleShowsThePicturesTopLeft) {
  resizeConsole(consoleOutput(), 40, 20);
  ASSERT_EQ(screenInfo().dwSize.X, 40);
  const CellScreen picture = samplePicture();
  WriteRegion region{0, 0, 79, 79};
  console.writeCells(picture.data(), {80, 50}, {0, 0}, region);
  EXPECT_EQ(region, (WriteRegion{0, 0, 39, 19}));
  expectConsoleShows(picture, 40, 20);
}

TEST_F(WindowsConsoleTest, RestoreGivesBackCursorInputModeAndTitle) {
  console.restore();
  CONSOLE_CURSOR_INFO cursor{};
  ASSERT_TRUE(GetConsoleCursorInfo(consoleOutput(), &cursor));
  EXPECT_EQ(cursor.bVisible, originalCursor.bVisible);
  EXPECT_EQ(cursor.dwSize, originalCursor.dwSize);
  DWORD mode = 0;
  ASSERT_TRUE(GetConsoleMode(consoleInput(), &mode));
  EXPECT_EQ(mode, originalMode);
  wchar_t title[256]{};
  GetConsoleTitleW(title, 256);
  EXPECT_EQ(std::wstring(title), originalTitle);
  console.restore();  // a second call changes nothing
}

INPUT_RECORD keyRecord(bool down, WORD virtualKey, WORD scanCode, wchar_t character) {
  INPUT_RECORD record{};
  record.EventType = KEY_EVENT;
  record.Event.KeyEvent.bKeyDown = down ? TRUE : FALSE;
  record.Event.KeyEvent.wRepeatCount = 1;
  record.Event.KeyEvent.wVirtualKeyCode = virtualKey;
  record.Event.KeyEvent.wVirtualScanCode = scanCode;
  record.Event.KeyEvent.uChar.UnicodeChar = character;
  return record;
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
  DWORD written = 0;
  ASSERT_TRUE(WriteConsoleInputW(consoleInput(), records.data(), static_cast<DWORD>(records.size()),
                                 &written));
  ASSERT_EQ(written, records.size());

  EXPECT_EQ(console.pollKey().view(), "A");
  EXPECT_EQ(console.pollKey(), KeyPress::specialKey(0x48));
  EXPECT_EQ(console.pollKey().view(), "\x03");
  EXPECT_TRUE(console.pollKey().isEscape());
  const KeyPress rest = console.pollKey();
  EXPECT_TRUE(rest.empty()) << int(rest.first()) << " length " << int(rest.length) << " code "
                            << int(static_cast<unsigned char>(
                                   rest.text[1]));  // nothing waiting: returns at once
}

}  // namespace
}  // namespace vantrel
