#pragma once
// What every program on a terminal shares with the shell through the one open
// file description they all hold: the terminal's modes, its window size and
// the description's file status flags. A program that ends with O_NONBLOCK
// left set there breaks the shell after it (its writes fail with EAGAIN), so
// a give-back is checked on all three, read from the test's own descriptor.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <algorithm>

namespace vantrel::testing {

struct SharedTerminalState {
  termios modes{};
  int statusFlags = -1;
  winsize size{};

  static SharedTerminalState of(int fd) {
    SharedTerminalState state;
    ::tcgetattr(fd, &state.modes);
    state.statusFlags = ::fcntl(fd, F_GETFL);
    ::ioctl(fd, TIOCGWINSZ, &state.size);
    return state;
  }
};

inline bool sameModes(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
         a.c_lflag == b.c_lflag && std::equal(a.c_cc, a.c_cc + NCCS, b.c_cc) &&
         ::cfgetispeed(&a) == ::cfgetispeed(&b) && ::cfgetospeed(&a) == ::cfgetospeed(&b);
}

// `now` is `found` again; otherwise says what differs.
inline ::testing::AssertionResult givenBackAsFound(const SharedTerminalState& found,
                                                   const SharedTerminalState& now) {
  ::testing::AssertionResult result = ::testing::AssertionSuccess();
  bool same = true;
  const auto differs = [&](const char* what) {
    if (same) result = ::testing::AssertionFailure();
    same = false;
    result << what << " not given back; ";
  };
  if (!sameModes(found.modes, now.modes)) differs("terminal modes");
  if (found.statusFlags != now.statusFlags) {
    differs("file status flags");
    if ((now.statusFlags & O_NONBLOCK) != (found.statusFlags & O_NONBLOCK)) {
      result << "O_NONBLOCK is " << ((now.statusFlags & O_NONBLOCK) != 0 ? "set" : "clear") << "; ";
    }
  }
  if (found.size.ws_col != now.size.ws_col || found.size.ws_row != now.size.ws_row) {
    differs("window size");
  }
  return result;
}

}  // namespace vantrel::testing
