#pragma once
// For Windows test binaries that run under wine: runs a command of the Linux
// host (a test tool such as an encoder) on files of the test, given by their
// Unix paths.

#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

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

// Runs `command` in the Linux host's shell and waits for it; returns its
// exit status, or -1 when it could not run. Wine starts Linux programs but
// cannot wait for them or see their status, so the shell writes the status
// to a file that this polls for (for at most a minute).
inline int runHostCommand(const std::string& command) {
  wchar_t folder[MAX_PATH + 1]{};
  GetTempPathW(MAX_PATH, folder);
  const std::filesystem::path statusFile =
      std::filesystem::path(folder) / ("vantrel-host-" + std::to_string(GetCurrentProcessId()) +
                                       "-" + std::to_string(GetTickCount64()) + ".status");
  const auto statusOnHost = hostPath(statusFile);
  if (!statusOnHost) return -1;
  const std::string script = command + "; echo $? > '" + *statusOnHost + ".part'; mv '" +
                             *statusOnHost + ".part' '" + *statusOnHost + "'";
  std::wstring commandLine = L"/bin/sh -c \"";
  for (char c : script) {
    if (c == '"' || c == '\\') commandLine += L'\\';
    commandLine += static_cast<wchar_t>(static_cast<unsigned char>(c));
  }
  commandLine += L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(L"Z:\\bin\\sh", commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &process)) {
    return -1;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  for (int waited = 0; waited < 60'000; waited += 10) {
    std::error_code error;
    if (std::filesystem::exists(statusFile, error)) {
      FILE* file = _wfopen(statusFile.c_str(), L"r");
      int status = -1;
      if (file != nullptr) {
        if (std::fscanf(file, "%d", &status) != 1) status = -1;
        std::fclose(file);
      }
      std::filesystem::remove(statusFile, error);
      return status;
    }
    Sleep(10);
  }
  return -1;
}

}  // namespace vantrel::testing
