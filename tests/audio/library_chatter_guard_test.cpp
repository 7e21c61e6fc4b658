// The POSIX backend's guard against audio libraries printing on the screen.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "audio/audio_backend.hpp"
#include "audio_fixtures.hpp"

namespace vantrel {
namespace {

using testing::ScratchFolder;

// Point standard error at a file, run `body`, and return what reached it.
template <typename Body>
std::string stderrDuring(const ScratchFolder& folder, Body body) {
  const std::filesystem::path log = folder / "stderr.txt";
  const int file = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const int original = dup(STDERR_FILENO);
  dup2(file, STDERR_FILENO);
  close(file);
  body();
  dup2(original, STDERR_FILENO);
  close(original);
  const std::vector<char> bytes = testing::readBytes(log);
  return {bytes.begin(), bytes.end()};
}

TEST(LibraryChatterGuard, KeepsStandardErrorQuietWhileItLives) {
  ScratchFolder folder;
  const std::string written = stderrDuring(folder, [] {
    {
      LibraryChatterGuard guard(true);
      ASSERT_EQ(write(STDERR_FILENO, "chatter\n", 8), 8);
    }
    ASSERT_EQ(write(STDERR_FILENO, "ours\n", 5), 5);
  });
  EXPECT_EQ(written, "ours\n");
}

TEST(LibraryChatterGuard, LeavesAnErrorStreamThatIsNotTheScreenAlone) {
  ScratchFolder folder;
  const std::string written = stderrDuring(folder, [] {
    LibraryChatterGuard guard;
    ASSERT_EQ(write(STDERR_FILENO, "log\n", 4), 4);
  });
  EXPECT_EQ(written, "log\n");
}

}  // namespace
}  // namespace vantrel
