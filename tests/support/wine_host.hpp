#pragma once
// For Windows test binaries that run under wine: runs a program of the Linux
// host (a test tool such as an encoder) on files of the test. Wine starts a
// Linux program through CreateProcess; the program is given Unix paths.

#include <windows.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vantrel::testing {

// The Unix path of a Windows path, or nothing when not running under wine.
inline std::optional<std::string> hostPath(const std::filesystem::path& path) {
  using ToUnix = char* (*)(const wchar_t*);
  const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  // GetProcAddress gives a generic function pointer; its real type is ToUnix.
  const auto toUnix = reinterpret_cast<ToUnix>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_unix_file_name")));
  if (toUnix == nullptr) return std::nullopt;
  char* unixPath = toUnix(path.wstring().c_str());
  if (unixPath == nullptr) return std::nullopt;
  std::string result(unixPath);
  HeapFree(GetProcessHeap(), 0, unixPath);
  return result;
}

// Runs the host program `program` (a Unix path) with `arguments` and waits
// for it. Wine does not pass a Linux program's exit status on, so callers
// check what the program made. False when the program could not start.
inline bool runHostProgram(const std::string& program, const std::vector<std::string>& arguments) {
  std::wstring commandLine = L"\"" + std::filesystem::path(program).wstring() + L"\"";
  for (const std::string& argument : arguments) {
    commandLine += L" \"" + std::filesystem::path(argument).wstring() + L"\"";
  }
  const std::wstring dosProgram = L"Z:" + std::filesystem::path(program).make_preferred().wstring();
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(dosProgram.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &process)) {
    return false;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

}  // namespace vantrel::testing
