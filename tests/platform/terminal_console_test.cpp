// The terminal console on a pseudo-terminal: what it does to the terminal's
// modes and screen, and that every way out gives them back.

#include "platform/terminal/terminal_console.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/code_page_437.hpp"
#include "platform/terminal/terminal_probe.hpp"
#include "shared_terminal_state.hpp"
#include "support/demo_frames.hpp"
#include "support/sanitizers.hpp"
#include "terminal_emulator.hpp"

// Counts the allocations this thread makes while `countAllocations` is set.
namespace {
thread_local bool countAllocations = false;
thread_local int allocationCount = 0;
}  // namespace

// The replacements pair malloc with free; GCC cannot tell them from the
// built-in operators and warns of a mismatch.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
  if (countAllocations) ++allocationCount;
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}
void operator delete(void* memory) noexcept {
  std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
  std::free(memory);
}

namespace vantrel {
namespace {

using testing::givenBackAsFound;
using testing::SharedTerminalState;
using testing::TerminalEmulator;

constexpr std::string_view title = "Vantrel  Copy me!";

// A pseudo-terminal pair: the console runs on the far end, the test reads
// and types on the near one. The near end is read continuously (unless the
// test forks), since a pseudo-terminal holds only a few kilobytes.
class PseudoTerminal {
 public:
  explicit PseudoTerminal(bool readInBackground = true) {
    near_ = posix_openpt(O_RDWR | O_NOCTTY);
    grantpt(near_);
    unlockpt(near_);
    far_ = open(ptsname(near_), O_RDWR | O_NOCTTY);
    fcntl(near_, F_SETFL, fcntl(near_, F_GETFL) | O_NONBLOCK);
    resize(screenColumns, screenRows);
    if (readInBackground) reader_ = std::thread([this] { readUntilStopped(); });
  }
  ~PseudoTerminal() {
    stop_ = true;
    if (reader_.joinable()) reader_.join();
    close(far_);
    close(near_);
  }
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  int fd() const { return far_; }
  // `pixelWidth` and `pixelHeight`: the text area's, as the terminal tells it.
  void resize(int columns, int rows, int pixelWidth = 0, int pixelHeight = 0) {
    winsize size{};
    size.ws_col = static_cast<unsigned short>(columns);
    size.ws_row = static_cast<unsigned short>(rows);
    size.ws_xpixel = static_cast<unsigned short>(pixelWidth);
    size.ws_ypixel = static_cast<unsigned short>(pixelHeight);
    ioctl(near_, TIOCSWINSZ, &size);
  }
  void type(std::string_view keys) {
    ASSERT_EQ(write(near_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
  }
  // Everything written to the far end so far: a marker is sent after it, and
  // the output is complete when the marker comes through.
  std::string output() {
    constexpr std::string_view marker = "\x1b_end of output\x1b\\";
    EXPECT_EQ(write(far_, marker.data(), marker.size()), static_cast<ssize_t>(marker.size()));
    for (int wait = 0; wait < 10'000; ++wait) {
      if (!reader_.joinable()) readAvailable();
      {
        const std::lock_guard lock(mutex_);
        if (const std::size_t end = received_.find(marker); end != std::string::npos) {
          std::string bytes = received_.substr(0, end);
          received_.erase(0, end + marker.size());
          return bytes;
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ADD_FAILURE() << "the output never came through";
    return {};
  }
  termios modes() const {
    termios current{};
    tcgetattr(far_, &current);
    return current;
  }
  // Fills the terminal's output queue to the brim, as a terminal that has
  // stopped reading leaves it, through a description of its own (the shared
  // one stays blocking); returns the bytes queued.
  std::size_t fillQueue(char filler) {
    const int another = open(ptsname(near_), O_WRONLY | O_NOCTTY | O_NONBLOCK);
    const std::array<char, 256> bytes = [filler] {
      std::array<char, 256> all{};
      all.fill(filler);
      return all;
    }();
    std::size_t queued = 0;
    for (ssize_t count; (count = write(another, bytes.data(), bytes.size())) > 0;) {
      queued += static_cast<std::size_t>(count);
    }
    close(another);
    return queued;
  }
  // What the terminal holds, read until nothing more comes for 200 ms (the
  // test's own reads only).
  std::string drain() {
    std::string all;
    for (int quiet = 0; quiet < 20; ++quiet) {
      const std::size_t before = received_.size();
      readAvailable();
      if (received_.size() > before) quiet = 0;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const std::lock_guard lock(mutex_);
    return std::exchange(received_, {});
  }

 private:
  void readAvailable() {
    std::array<char, 4096> chunk{};
    const std::lock_guard lock(mutex_);
    for (ssize_t count; (count = read(near_, chunk.data(), chunk.size())) > 0;) {
      received_.append(chunk.data(), static_cast<std::size_t>(count));
    }
  }
  void readUntilStopped() {
    while (!stop_) {
      pollfd readable{near_, POLLIN, 0};
      poll(&readable, 1, 10);
      readAvailable();
    }
  }

  int near_ = -1;
  int far_ = -1;
  std::mutex mutex_;
  std::string received_;
  std::atomic<bool> stop_{false};
  std::thread reader_;
};

char32_t shownCharacter(Cell cell) {
  return codePage437ToUnicode[cell.character & 0xFF];
}

CellScreen patternScreen() {
  CellScreen screen;
  for (int index = 1; index <= cellCount; ++index) {
    screen[index] = {static_cast<std::uint16_t>(index % 3 == 0 ? 219 : 'a' + index % 26), 0x4C};
  }
  return screen;
}

void present(Console& console, const CellScreen& screen) {
  WriteRegion region{0, 0, 79, 79};
  console.writeCells(screen.data(), {screenColumns, screenRows}, {0, 0}, region);
}

void setUpWindow(Console& console) {
  console.openWindow();
  console.setWindowRows(screenRows);
  console.placeWindow(32767, 32767);
  console.setWindowTitle(title);
  console.hideCursor();
}

TEST(TerminalConsole, TakesTheTerminalOverAndGivesItBackExactly) {
  PseudoTerminal pty;
  TerminalEmulator terminal(screenColumns, screenRows);
  terminal.feed("shell prompt$ ");
  const SharedTerminalState before = SharedTerminalState::of(pty.fd());
  TerminalConsole console(pty.fd(), pty.fd());

  setUpWindow(console);
  const termios raw = pty.modes();
  EXPECT_EQ(raw.c_lflag & (ECHO | ICANON | ISIG | IEXTEN), 0U);
  EXPECT_EQ(raw.c_iflag & (IXON | ICRNL), 0U);
  EXPECT_EQ(raw.c_oflag & OPOST, 0U) << "frames go out untranslated";
  EXPECT_EQ(raw.c_cc[VMIN], 0);
  EXPECT_EQ(raw.c_cc[VTIME], 0);
  std::string bytes = pty.output();
  EXPECT_LT(bytes.find("\x1b[22;0t"), bytes.find("\x1b]2;")) << "the own title is saved first";
  EXPECT_NE(bytes.find("\x1b[8;50;80t"), std::string::npos);
  terminal.feed(bytes);
  EXPECT_TRUE(terminal.alternateScreen);
  EXPECT_FALSE(terminal.cursorVisible);
  EXPECT_EQ(terminal.title, title);

  const CellScreen screen = patternScreen();
  present(console, screen);
  terminal.feed(pty.output());
  EXPECT_EQ(terminal.cell(0, 0).character, U'b');
  EXPECT_EQ(terminal.cell(0, 2).character, U'\u2588');
  EXPECT_EQ(terminal.cell(49, 79).background, 1);  // console red is ANSI 1

  pty.type("keys typed during the show");
  console.restore();
  EXPECT_TRUE(givenBackAsFound(before, SharedTerminalState::of(pty.fd())));
  int unread = -1;
  ASSERT_EQ(ioctl(pty.fd(), FIONREAD, &unread), 0);
  EXPECT_EQ(unread, 0) << "keys left unread must not spill into the shell";
  bytes = pty.output();
  EXPECT_NE(bytes.find("\x1b[23;0t"), std::string::npos) << "the own title is put back";
  // libvterm shows the cursor again by itself on leaving the alternate
  // screen; other terminals do not.
  EXPECT_NE(bytes.find("\x1b[?25h"), std::string::npos) << "the cursor is shown again";
  terminal.feed(bytes);
  EXPECT_FALSE(terminal.alternateScreen);
  EXPECT_TRUE(terminal.cursorVisible);
  EXPECT_EQ(terminal.cell(0, 0).character, U's') << "the main screen is back as it was";
  EXPECT_EQ(terminal.cell(0, 0).foreground, -1);

  console.restore();
  EXPECT_TRUE(pty.output().empty()) << "a second restore does nothing";
}

TEST(TerminalConsole, WriteCellsWritesTheRegionAndNarrowsItToWhatWasWritten) {
  PseudoTerminal pty;
  TerminalEmulator terminal(screenColumns, screenRows);
  TerminalConsole console(pty.fd(), pty.fd());
  setUpWindow(console);
  present(console, CellScreen{});

  WriteRegion region{0, 0, 79, 79};
  const CellScreen screen = patternScreen();
  console.writeCells(screen.data(), {screenColumns, screenRows}, {0, 0}, region);
  EXPECT_EQ(region, (WriteRegion{0, 0, 79, 49}));

  // A 4 x 3 block written from its cell (1, 1) to console cells (76..79, 48..49).
  std::vector<Cell> block(12, Cell{'q', 0x07});
  block[5] = {'Z', 0x07};  // block row 1, column 1
  region = {76, 48, 90, 60};
  console.writeCells(block.data(), {4, 3}, {1, 1}, region);
  EXPECT_EQ(region, (WriteRegion{76, 48, 78, 49}));
  terminal.feed(pty.output());
  EXPECT_EQ(terminal.cell(48, 76).character, U'Z');
  EXPECT_EQ(terminal.cell(49, 78).character, U'q');
  EXPECT_EQ(terminal.cell(48, 79).character, shownCharacter(screen[cellIndex(48, 80)]));
  EXPECT_EQ(terminal.cell(47, 76).character, shownCharacter(screen[cellIndex(47, 77)]));
}

TEST(TerminalConsole, PollKeyTakesOneKeyPerCallFromTheTerminal) {
  PseudoTerminal pty;
  TerminalConsole console(pty.fd(), pty.fd());
  setUpWindow(console);
  pty.type("a\x03\r\x1b[A");
  EXPECT_EQ(console.pollKey(), KeyPress::character("a"));
  EXPECT_EQ(console.pollKey(), KeyPress::character("\x03"));
  EXPECT_EQ(console.pollKey(), KeyPress::character("\r"));
  EXPECT_EQ(console.pollKey(), KeyPress::specialKey(keycode::up));
  EXPECT_TRUE(console.pollKey().empty());
  pty.type("\x1b");
  EXPECT_TRUE(console.pollKey().empty());
  EXPECT_TRUE(console.pollKey().isEscape());
}

bool hasMultiByteCharacters(std::string_view bytes) {
  return std::any_of(bytes.begin(), bytes.end(),
                     [](char byte) { return static_cast<unsigned char>(byte) >= 0x80; });
}

// The terminal's answer to the start-up's cursor position query decides
// whether the picture has blocks: column 2 after one block, it drew it one
// column wide. Keys typed around the answer are kept, in order.
TEST(TerminalConsole, DrawsWithSpacesWhereTheTerminalDrawsBlocksWideOrHasNoUtf8) {
  struct Case {
    std::string typed;  // waiting before the query: the answer and keys around it
    TerminalEnvironment environment;
    bool blocks;
  };
  const TerminalEnvironment utf8 = TerminalConsole::plainEnvironment;
  const TerminalEnvironment plainC{"xterm", "", "C"};
  for (const Case& c :
       {Case{"\x1b[1;2R", utf8, true}, Case{"a\x1b[1;3Rb", utf8, false},
        Case{"\x1b[1;4R", utf8, false}, Case{"", utf8, true}, Case{"", plainC, false}}) {
    PseudoTerminal pty;
    pty.type(c.typed);
    TerminalConsole console(pty.fd(), pty.fd(), {}, c.environment);
    setUpWindow(console);
    const std::string takeOver = pty.output();
    EXPECT_EQ(takeOver.find("\x1b[6n") != std::string::npos, c.environment.locale != "C");
    present(console, patternScreen());
    const std::string frame = pty.output();
    EXPECT_EQ(hasMultiByteCharacters(frame), c.blocks) << c.typed;
    TerminalEmulator terminal(screenColumns, screenRows);
    terminal.feed(frame);
    EXPECT_EQ(terminal.cell(0, 2).character, c.blocks ? U'\u2588' : U' ') << c.typed;
    if (c.typed.starts_with('a')) {
      EXPECT_EQ(console.pollKey(), KeyPress::character("a"));
      EXPECT_EQ(console.pollKey(), KeyPress::character("b"));
    }
    EXPECT_TRUE(console.pollKey().empty()) << "the answer is no key";
    console.restore();
  }
}

// What Konsole (22.12) and xterm (379) answered the start-up probe.
constexpr std::string_view konsoleAnswers =
    "\x1bP>|Konsole 22.12.3\x1b\\\x1b[6;17;8t\x1b_Gi=31;OK\x1b\\\x1b[1;2R\x1b[?62;1;4c";
constexpr std::string_view xtermAnswers =
    "\x1bP>|XTerm(379)\x1b\\\x1bP1$r0;48:2::1:2:3m\x1b\\\x1b[1;2R\x1b[?64;1;2;6;9;22c";

bool sendsDirectColour(std::string_view frame) {
  return frame.find("38;2;") != std::string_view::npos ||
         frame.find("48;2;") != std::string_view::npos;
}

// The probe is one write, and its wait ends on DA1's answer: given all the
// time in the world, a terminal that answers costs no wait.
TEST(TerminalConsole, TheProbeEndsOnTheLastAnswer) {
  PseudoTerminal pty;
  pty.type(xtermAnswers);
  TerminalConsole console(pty.fd(), pty.fd(), {}, {"xterm", "", "C.UTF-8"},
                          std::chrono::seconds(60));
  const auto start = std::chrono::steady_clock::now();
  setUpWindow(console);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30))
      << "the wait ran on past the answer to DA1";
  const std::string takeOver = pty.output();
  EXPECT_EQ(takeOver.find(probeQuestions(true)) != std::string::npos, true)
      << "the questions go out whole, in one piece";
  present(console, patternScreen());
  EXPECT_TRUE(sendsDirectColour(pty.output()))
      << "xterm as Debian starts it (TERM=xterm, no COLORTERM) draws direct colour";
  EXPECT_TRUE(console.pollKey().empty()) << "the answers are no keys";
  console.restore();
}

// Konsole grows its rows to a size request and keeps its window of 24: the
// pixels say so. The picture is fitted to the 24 rows shown, and Konsole is
// asked for the rows it shows, so that the picture lands where it is seen.
TEST(TerminalConsole, FitsThePictureToTheRowsTheWindowShows) {
  PseudoTerminal pty;
  pty.resize(80, 24, 642, 408);
  pty.type(konsoleAnswers);
  TerminalConsole console(pty.fd(), pty.fd(), {}, {"xterm-256color", "truecolor", "C.UTF-8"});
  setUpWindow(console);
  pty.output();
  pty.resize(80, 50, 642, 408);  // Konsole's answer to CSI 8;50;80 t
  raise(SIGWINCH);
  present(console, patternScreen());
  const std::string frame = pty.output();
  EXPECT_NE(frame.find("\x1b[8;24;80t"), std::string::npos) << "asked for the rows shown";
  TerminalEmulator terminal(screenColumns, screenRows);
  terminal.feed(frame);
  EXPECT_NE(terminal.cell(23, 0).background, -1) << "the fitted view's bottom row, drawn";
  for (int row = 24; row < screenRows; ++row) {
    ASSERT_EQ(terminal.cell(row, 40).background, -1) << "drawn in row " << row << ", not shown";
  }
  raise(SIGWINCH);  // the same lie again: asked once
  present(console, patternScreen());
  EXPECT_EQ(pty.output().find("\x1b[8;"), std::string::npos);
  // A window really made 50 rows tall holds the picture's 640 x 600 pixels,
  // which Konsole draws (it answered the kitty graphics query).
  pty.resize(80, 50, 642, 850);
  raise(SIGWINCH);
  present(console, patternScreen());
  EXPECT_NE(pty.output().find("\x1b_Ga=T,f=100"), std::string::npos) << "the pixel view";
  console.restore();

  // Already lying at the start: asked before the request for 50 rows, and
  // again after it, since that request makes the rows disagree anew.
  PseudoTerminal lying;
  lying.resize(80, 50, 642, 408);
  lying.type(konsoleAnswers);
  TerminalConsole again(lying.fd(), lying.fd(), {}, {"xterm-256color", "truecolor", "C.UTF-8"});
  setUpWindow(again);
  const std::string takeOver = lying.output();
  EXPECT_LT(takeOver.find("\x1b[8;24;80t"), takeOver.find("\x1b[8;50;80t"));
  raise(SIGWINCH);
  present(again, patternScreen());
  EXPECT_NE(lying.output().find("\x1b[8;24;80t"), std::string::npos);
  again.restore();
}

// Answers that come after the wait (a slow link), or garbage: the keys
// decode them as keys without a character, and Esc still ends the show.
TEST(TerminalConsole, LateAnswersAndGarbageLeaveEscAnEsc) {
  PseudoTerminal pty;
  TerminalConsole console(pty.fd(), pty.fd());
  setUpWindow(console);
  present(console, patternScreen());
  std::string late(konsoleAnswers);
  late += "\x1bP>|unterminated garbage\x1b[?1;2c\xff\xfe";
  pty.type(late);
  bool sawEsc = false;
  for (int poll = 0; poll < 200 && !sawEsc; ++poll) {
    const KeyPress key = console.pollKey();
    if (poll <= 100) {
      EXPECT_FALSE(key.isEscape()) << "an answer read as Esc";
    }
    if (poll == 100) pty.type("\x1b");
    if (poll > 100) sawEsc = key.isEscape();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_TRUE(sawEsc);
  console.restore();
}

std::string restoreAndCaptureStderr(Console& console) {
  ::testing::internal::CaptureStderr();
  console.restore();
  return ::testing::internal::GetCapturedStderr();
}

// What kitty (0.26) answered: its cell is 10 x 19 pixels, and it draws images.
constexpr std::string_view kittyAnswers =
    "\x1bP>|kitty(0.26.5)\x1b\\\x1b[6;19;10t\x1bP1$r48:2:1:2:3m\x1b\\\x1b_Gi=31;OK\x1b\\"
    "\x1b[1;2R\x1b[?62;c";
constexpr std::string_view kittyDeletion = "\x1b_Ga=d,d=I,i=7";

// kitty at 80 x 50 cells of 10 x 19 pixels holds the 640 x 600 picture: the
// pixel view. Made too small, it goes back to a text view, the image taken
// away; on the way out no image is left either.
TEST(TerminalConsole, ShowsThePicturesPixelsWhereTheTerminalDrawsImages) {
  PseudoTerminal pty;
  pty.resize(80, 50, 800, 950);
  pty.type(kittyAnswers);
  TerminalConsole console(pty.fd(), pty.fd(), {}, {"xterm-kitty", "truecolor", "C.UTF-8"});
  setUpWindow(console);
  pty.output();
  present(console, patternScreen());
  std::string frame = pty.output();
  EXPECT_NE(frame.find("\x1b[10;9H\x1b_Ga=T,f=100,i=7,p=1"), std::string::npos)
      << "the image at its cell";
  pty.resize(80, 24, 800, 456);
  raise(SIGWINCH);
  present(console, patternScreen());
  frame = pty.output();
  EXPECT_NE(frame.find(kittyDeletion), std::string::npos) << "no image left under the text";
  EXPECT_LT(frame.find(kittyDeletion), frame.find("\x1b[2J"));
  pty.resize(80, 50, 800, 950);
  raise(SIGWINCH);
  present(console, patternScreen());
  EXPECT_NE(pty.output().find("\x1b_Ga=T"), std::string::npos) << "back to the pixels";
  console.restore();
  const std::string givenBack = pty.output();
  EXPECT_NE(givenBack.find(kittyDeletion), std::string::npos);
  EXPECT_LT(givenBack.find(kittyDeletion), givenBack.find("\x1b[?1049l"))
      << "deleted on the alternate screen, where it is";
}

TEST(TerminalConsole, PixelsAskedOfATerminalThatDrawsNoImagesEndTheShowSayingSo) {
  PseudoTerminal pty;
  pty.type("\x1b[1;2R\x1b[?6c");  // alacritty: no images
  TerminalConsole console(pty.fd(), pty.fd(), {.view = ViewChoice::pixels});
  setUpWindow(console);
  EXPECT_TRUE(console.gone());
  const std::string said = restoreAndCaptureStderr(console);
  EXPECT_NE(said.find("--view pixels needs a terminal that draws images"), std::string::npos)
      << said;
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
}

// A terminal that has stopped taking what it is sent: the frames are not
// waited for but skipped, and the end says how many it showed.
TEST(TerminalConsole, FramesATerminalIsTooSlowToTakeAreSkippedNotWaitedFor) {
  PseudoTerminal pty(false);
  pty.resize(80, 50, 800, 950);
  pty.type(kittyAnswers);
  TerminalConsole console(pty.fd(), pty.fd(), {}, {"xterm-kitty", "truecolor", "C.UTF-8"});
  setUpWindow(console);
  testing::DemoFrames frames;
  for (int frame = 0; frame < 40; ++frame) {
    const CellScreen& screen = frames.next();
    WriteRegion region{0, 0, 79, 79};
    console.writeCells(screen.data(), {screenColumns, screenRows}, {0, 0}, region);
  }
  const std::string said = restoreAndCaptureStderr(console);
  int shown = -1;
  int drawn = -1;
  const std::size_t at = said.find("showed ");
  ASSERT_NE(at, std::string::npos) << said;
  ASSERT_EQ(std::sscanf(said.c_str() + at, "showed %d of the %d frames", &shown, &drawn), 2);
  EXPECT_EQ(drawn, 40);
  EXPECT_GE(shown, 1);
  EXPECT_LT(shown, 5) << "a frame is tens of kilobytes; the terminal holds a few";
}

TEST(TerminalConsole, ResizeRepaintsThePictureCentredInTheNewSize) {
  PseudoTerminal pty;
  TerminalEmulator terminal(screenColumns, screenRows);
  TerminalConsole console(pty.fd(), pty.fd());
  setUpWindow(console);
  const CellScreen screen = patternScreen();
  present(console, screen);
  terminal.feed(pty.output());

  pty.resize(100, 60);
  terminal.resize(100, 60);
  raise(SIGWINCH);
  present(console, screen);
  terminal.feed(pty.output());
  EXPECT_EQ(terminal.cell(5, 10).character, U'b');
  EXPECT_EQ(terminal.cell(4, 10).background, -1);
  EXPECT_EQ(terminal.cell(54, 89).background, 1);
}

TEST(TerminalConsole, FramesAllocateNothingEvenAcrossAResize) {
  PseudoTerminal pty;
  TerminalConsole console(pty.fd(), pty.fd());
  setUpWindow(console);
  CellScreen screen = patternScreen();
  present(console, screen);
  pty.type("ab\x1b[A");

  countAllocations = true;
  for (int frame = 0; frame < 20; ++frame) {
    screen[1 + frame * 37] = {219, 0x91};
    if (frame == 10) {
      pty.resize(90, 40);
      raise(SIGWINCH);
    }
    present(console, screen);
    console.pollKey();
  }
  countAllocations = false;
  EXPECT_EQ(allocationCount, 0);
}

TEST(TerminalConsole, SaysAfterTheShowWhenTheTerminalWasTooSmallThroughout) {
  PseudoTerminal narrow;
  narrow.resize(70, 30);
  TerminalConsole tooNarrow(narrow.fd(), narrow.fd());
  setUpWindow(tooNarrow);
  present(tooNarrow, patternScreen());
  std::string said = restoreAndCaptureStderr(tooNarrow);
  EXPECT_NE(said.find("70x30"), std::string::npos) << said;
  EXPECT_NE(said.find("80x24"), std::string::npos) << said;
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;

  // The exact view asked for needs 80 x 50 to show it all.
  PseudoTerminal small;
  small.resize(80, 24);
  TerminalConsole exactTooSmall(small.fd(), small.fd(), {.view = ViewChoice::exact});
  setUpWindow(exactTooSmall);
  present(exactTooSmall, patternScreen());
  said = restoreAndCaptureStderr(exactTooSmall);
  EXPECT_NE(said.find("80x24"), std::string::npos) << said;
  EXPECT_NE(said.find("80x50"), std::string::npos) << said;

  // The fitted view shows all of it at 80 x 24: nothing to say.
  PseudoTerminal fitted;
  fitted.resize(80, 24);
  TerminalConsole fittedView(fitted.fd(), fitted.fd());
  setUpWindow(fittedView);
  present(fittedView, patternScreen());
  EXPECT_EQ(restoreAndCaptureStderr(fittedView), "");

  PseudoTerminal grown;
  grown.resize(70, 30);
  TerminalConsole bigEnoughOnce(grown.fd(), grown.fd());
  setUpWindow(bigEnoughOnce);
  present(bigEnoughOnce, patternScreen());
  grown.resize(100, 60);
  raise(SIGWINCH);
  present(bigEnoughOnce, patternScreen());
  EXPECT_EQ(restoreAndCaptureStderr(bigEnoughOnce), "");
}

// In a child process that leaves no core file: a console on `pty` showing a
// frame, then `end()`, which is to end the process. Returns the child's wait
// status, or nothing when there is no child to wait for.
template <typename End>
std::optional<int> statusAfterShowing(PseudoTerminal& pty, End end) {
  const pid_t child = fork();
  if (child == 0) {
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    TerminalConsole console(pty.fd(), pty.fd());
    setUpWindow(console);
    present(console, patternScreen());
    end();
    _exit(99);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child) return std::nullopt;
  return status;
}

// The terminal is as it was before the console took it.
void expectGivenBack(PseudoTerminal& pty, const SharedTerminalState& before) {
  EXPECT_TRUE(givenBackAsFound(before, SharedTerminalState::of(pty.fd())));
  TerminalEmulator terminal(screenColumns, screenRows);
  terminal.feed(pty.output());
  EXPECT_FALSE(terminal.alternateScreen);
  EXPECT_TRUE(terminal.cursorVisible);
}

// A stop while the terminal reads nothing: the give-back gets what room
// there is and then gives up, and nothing already sent is thrown away (only
// an end may do that), since the show comes back to this terminal.
TEST(TerminalConsole, AStopOnATerminalThatReadsNothingThrowsNothingAway) {
  PseudoTerminal pty(false);
  int ready[2];
  int go[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(go), 0);
  const pid_t child = fork();
  if (child == 0) {
    // A process group of its own, whose parent (this test) is in another
    // group of the session: never orphaned, so the stop stops it however
    // the test was started.
    setpgid(0, 0);
    TerminalConsole console(pty.fd(), pty.fd());
    setUpWindow(console);
    present(console, patternScreen());
    char byte = 'r';
    if (write(ready[1], &byte, 1) != 1 || read(go[0], &byte, 1) != 1) _exit(98);
    raise(SIGTSTP);
    console.pollKey();  // stops here
    _exit(0);
  }
  char byte = 0;
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  const std::size_t queued = pty.fillQueue('~');
  ASSERT_EQ(write(go[1], &byte, 1), 1);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, WUNTRACED), child);
  EXPECT_TRUE(WIFSTOPPED(status));
  const std::string held = pty.drain();
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  for (int fd : {ready[0], ready[1], go[0], go[1]}) close(fd);
  EXPECT_NE(held.find("\x1b[?1049h"), std::string::npos) << "the take-over was thrown away";
  EXPECT_EQ(static_cast<std::size_t>(std::count(held.begin(), held.end(), '~')), queued);
}

class TerminalConsoleSignal : public ::testing::TestWithParam<int> {};

TEST_P(TerminalConsoleSignal, RestoresThenEndsWithTheSignal) {
  const int signalNumber = GetParam();
  PseudoTerminal pty(false);
  const SharedTerminalState before = SharedTerminalState::of(pty.fd());
  const std::optional<int> status = statusAfterShowing(pty, [&] { raise(signalNumber); });
  ASSERT_TRUE(status);
  ASSERT_TRUE(WIFSIGNALED(*status)) << "exit status " << WEXITSTATUS(*status);
  EXPECT_EQ(WTERMSIG(*status), signalNumber);
  expectGivenBack(pty, before);
}

// Endless recursion: the fault comes with no stack left to run a handler on,
// save the one set aside for it.
volatile bool recursionDone = false;
[[gnu::noinline]] int recurseForEver(int depth) {
  if (recursionDone) return 0;
  volatile char frame[256];
  frame[depth % 256] = static_cast<char>(depth);
  return recurseForEver(depth + 1) + frame[(depth * 7) % 256];
}

TEST(TerminalConsole, RestoresAfterAStackOverflow) {
#ifdef VANTREL_UNDER_TSAN
  GTEST_SKIP() << "ThreadSanitizer runs signal handlers its own way";
#endif
  PseudoTerminal pty(false);
  const SharedTerminalState before = SharedTerminalState::of(pty.fd());
  const std::optional<int> status = statusAfterShowing(pty, [] {
    // A small stack overflows soon; the limit holds for the stack's growth.
    const rlimit smallStack{1 << 20, 1 << 20};
    setrlimit(RLIMIT_STACK, &smallStack);
    _exit(recurseForEver(0));
  });
  ASSERT_TRUE(status);
  ASSERT_TRUE(WIFSIGNALED(*status)) << "exit status " << WEXITSTATUS(*status);
  expectGivenBack(pty, before);
}

INSTANTIATE_TEST_SUITE_P(EveryEndingSignal, TerminalConsoleSignal,
                         ::testing::Values(SIGTERM, SIGHUP, SIGQUIT, SIGINT, SIGSEGV, SIGBUS,
                                           SIGFPE, SIGILL, SIGABRT),
                         [](const ::testing::TestParamInfo<int>& param) {
                           return std::string(sigabbrev_np(param.param));
                         });

}  // namespace
}  // namespace vantrel
