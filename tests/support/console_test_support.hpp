#pragma once
// For tests that run in a real console (under wine: inside a pseudo-terminal)
// and look at it through their own handles, not through the demo's layer.

#include <windows.h>

#include <string>
#include <vector>

namespace vantrel::testing {

inline HANDLE openConsoleDevice(const wchar_t* name) {
  return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                     nullptr, OPEN_EXISTING, 0, nullptr);
}

// The screen buffer the console shows right now, for as long as this lives.
class ActiveBuffer {
 public:
  ActiveBuffer() : handle_(openConsoleDevice(L"CONOUT$")) {}
  ~ActiveBuffer() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  ActiveBuffer(const ActiveBuffer&) = delete;
  ActiveBuffer& operator=(const ActiveBuffer&) = delete;

  HANDLE handle() const { return handle_; }

  CONSOLE_SCREEN_BUFFER_INFO info() const {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    GetConsoleScreenBufferInfo(handle_, &info);
    return info;
  }

  // The characters of `row` from column 0, `length` of them.
  std::wstring text(SHORT row, DWORD length) const {
    std::wstring text(length, L'\0');
    DWORD read = 0;
    ReadConsoleOutputCharacterW(handle_, text.data(), length, COORD{0, row}, &read);
    text.resize(read);
    return text;
  }

  // Rows that show one of the picture's block characters.
  int rowsWithBlocks() const {
    const CONSOLE_SCREEN_BUFFER_INFO shown = info();
    int rows = 0;
    for (SHORT row = 0; row < shown.dwSize.Y; ++row) {
      const std::wstring line = text(row, static_cast<DWORD>(shown.dwSize.X));
      if (line.find_first_of(L"\u2588\u2580\u2584\u258C\u2590\u2502") != std::wstring::npos) {
        ++rows;
      }
    }
    return rows;
  }

 private:
  HANDLE handle_;
};

// Text the user had on the console before the demo: it must be there after.
inline constexpr wchar_t userText[] = L"C:\\> the user's own text, kept through the show";
inline constexpr SHORT userTextRow = 2;

// Clears `buffer` and puts the user's text and cursor on it.
inline void writeUserText(HANDLE buffer) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  GetConsoleScreenBufferInfo(buffer, &info);
  const auto cells = static_cast<DWORD>(info.dwSize.X * info.dwSize.Y);
  DWORD written = 0;
  FillConsoleOutputCharacterW(buffer, L' ', cells, COORD{0, 0}, &written);
  FillConsoleOutputAttribute(buffer, 0x07, cells, COORD{0, 0}, &written);
  WriteConsoleOutputCharacterW(buffer, userText, static_cast<DWORD>(std::wstring(userText).size()),
                               COORD{0, userTextRow}, &written);
  SetConsoleCursorPosition(buffer, COORD{7, userTextRow + 1});
}

inline std::wstring shownUserText(const ActiveBuffer& active) {
  return active.text(userTextRow, static_cast<DWORD>(std::wstring(userText).size()));
}

}  // namespace vantrel::testing
