#pragma once
// A file that appears under its name only when it is whole: it is written
// under a temporary name beside it and renamed at the end. Until then a
// failure, the destructor, or a signal that ends the tool (SIGINT, SIGTERM,
// SIGHUP, SIGQUIT) removes the temporary file, so nothing half-written is
// ever left under the name asked for.

#include <string>

namespace vantrel::frames {

class FinishedFile {
 public:
  // Makes the temporary name for `path`; nothing is created yet.
  explicit FinishedFile(std::string path);
  ~FinishedFile();
  FinishedFile(const FinishedFile&) = delete;
  FinishedFile& operator=(const FinishedFile&) = delete;

  const std::string& path() const { return path_; }
  // Where to write until finish().
  const std::string& temporaryPath() const { return temporaryPath_; }

  // Renames the temporary file to the path. False, with the reason in
  // `error`, when that fails; the temporary file is then removed.
  bool finish(std::string& error);

 private:
  std::string path_;
  std::string temporaryPath_;
  int slot_ = -1;  // in the list the signal handler removes
};

}  // namespace vantrel::frames
