#include "frames/finished_file.hpp"

#if defined(_WIN32)
#include <io.h>
#include <process.h>
#else
#include <unistd.h>
#endif

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace vantrel::frames {

namespace {

// The temporary files a signal must remove, as plain characters the
// handler can pass to unlink (async-signal-safe) as they stand.
constexpr int maximumPending = 4;
constexpr std::size_t maximumPathBytes = 4096;
struct PendingFile {
  std::atomic<bool> armed{false};
  char path[maximumPathBytes]{};
};
std::array<PendingFile, maximumPending> pendingFiles;

#if defined(_WIN32)
int removeFile(const char* path) {
  return ::_unlink(path);
}
long processId() {
  return ::_getpid();
}
// The Windows build removes its temporary file on every way out but a signal.
void installHandlers() {}
#else
int removeFile(const char* path) {
  return ::unlink(path);  // async-signal-safe
}
long processId() {
  return static_cast<long>(::getpid());
}

constexpr std::array endingSignals{SIGINT, SIGTERM, SIGHUP, SIGQUIT};
bool handlersInstalled = false;

void removePendingFiles() {
  for (PendingFile& file : pendingFiles) {
    if (file.armed.load()) removeFile(file.path);
  }
}

// Removes the temporary files, then ends the process as the signal would have.
extern "C" void onEndingSignal(int signal) {
  removePendingFiles();
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

void installHandlers() {
  if (handlersInstalled) return;
  handlersInstalled = true;
  for (const int signal : endingSignals) {
    struct sigaction action {};
    action.sa_handler = onEndingSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
  }
}
#endif

int armPending(const std::string& path) {
  if (path.size() >= maximumPathBytes) return -1;
  for (int slot = 0; slot < maximumPending; ++slot) {
    PendingFile& file = pendingFiles[static_cast<std::size_t>(slot)];
    if (file.armed.load()) continue;
    std::memcpy(file.path, path.c_str(), path.size() + 1);
    file.armed.store(true);
    return slot;
  }
  return -1;
}

void disarmPending(int slot) {
  if (slot >= 0) pendingFiles[static_cast<std::size_t>(slot)].armed.store(false);
}

// Beside the file, hidden, and named for this process so two runs never share one.
std::string temporaryNameFor(const std::string& path) {
  const std::filesystem::path target(path);
  std::string name(1, '.');
  name += target.filename().string();
  name += ".partial-";
  name += std::to_string(processId());
  return (target.parent_path() / name).string();
}

}  // namespace

FinishedFile::FinishedFile(std::string path)
    : path_(std::move(path)), temporaryPath_(temporaryNameFor(path_)) {
  installHandlers();
  slot_ = armPending(temporaryPath_);
}

FinishedFile::~FinishedFile() {
  if (slot_ < 0 && temporaryPath_.empty()) return;
  removeFile(temporaryPath_.c_str());
  disarmPending(slot_);
}

bool FinishedFile::finish(std::string& error) {
  const bool renamed = std::rename(temporaryPath_.c_str(), path_.c_str()) == 0;
  if (!renamed) error = std::strerror(errno);
  if (!renamed) removeFile(temporaryPath_.c_str());
  disarmPending(slot_);
  slot_ = -1;
  temporaryPath_.clear();
  return renamed;
}

}  // namespace vantrel::frames
