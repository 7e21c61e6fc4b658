#include "platform/terminal/terminal_io.hpp"

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

namespace vantrel {

bool writeAll(int fd, std::string_view bytes, bool (*abandon)() noexcept) noexcept {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(written));
      // A signal that ends a blocked write after some of it went out returns
      // the count, not EINTR.
      if (!bytes.empty() && abandon != nullptr && abandon()) {
        errno = EINTR;
        return false;
      }
      continue;
    }
    if (written < 0 && errno == EINTR) {
      if (abandon != nullptr && abandon()) return false;
      continue;
    }
    if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      // Someone made the shared descriptor non-blocking: wait as a blocking
      // write would.
      pollfd ready{fd, POLLOUT, 0};
      if (::poll(&ready, 1, -1) >= 0 || errno == EINTR) continue;
    }
    return false;
  }
  return true;
}

bool terminalGoneError(int error) noexcept {
  return error == EIO || error == EPIPE || error == ENXIO || error == EBADF;
}

TerminalWindow terminalWindowOf(int fd) noexcept {
  winsize size{};
  if (::ioctl(fd, TIOCGWINSZ, &size) != 0) return {};
  return {{size.ws_col, size.ws_row}, size.ws_xpixel, size.ws_ypixel};
}

}  // namespace vantrel
