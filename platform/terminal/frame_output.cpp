#include "platform/terminal/frame_output.hpp"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace vantrel {

FrameOutput::~FrameOutput() {
  if (fd_ >= 0) ::close(fd_);
}

bool FrameOutput::open(int fd) {
  char name[256];
  if (::ttyname_r(fd, name, sizeof name) != 0) return false;
  fd_ = ::open(name, O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  return fd_ >= 0;
}

bool FrameOutput::ready() {
  if (!pending_.empty() && !writeSome()) return true;  // gone: let the next write say so
  if (!pending_.empty()) return false;
  int unsent = 0;
  return ::ioctl(fd_, TIOCOUTQ, &unsent) != 0 || unsent == 0;
}

bool FrameOutput::write(std::string_view frame) {
  pending_ = frame;
  if (pending_.empty()) return true;
  if (writeSome()) return true;
  pending_ = {};
  return false;
}

// False when the terminal is gone; what it did not take stays pending.
bool FrameOutput::writeSome() {
  while (!pending_.empty()) {
    const ssize_t written = ::write(fd_, pending_.data(), pending_.size());
    if (written > 0) {
      pending_.remove_prefix(static_cast<std::size_t>(written));
      continue;
    }
    if (written < 0 && errno == EINTR) continue;
    if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
    return false;
  }
  return true;
}

}  // namespace vantrel
