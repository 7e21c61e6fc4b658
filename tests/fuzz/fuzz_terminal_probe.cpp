// The start-up probe's reader over arbitrary bytes split at arbitrary read
// boundaries (the corpus holds what real terminals answered), its promises
// checked on every run:
// - the same bytes give the same answers and keys however the reads split them;
// - keys are the bytes that were no answer, in order: never a byte invented;
// - bytes with no ESC among them are keys, all of them;
// - a terminal's answers behind any garbage, once the garbage's last
//   sequence is ended, are still read;
// - what is read is within its bounds: a plausible cell, a short printable version.

#include <string>
#include <vector>

#include "fuzz_input.hpp"
#include "platform/terminal/terminal_probe.hpp"

namespace vantrel::fuzz {
namespace {

struct Reading {
  TerminalAnswers answers;
  std::string keys;
};

Reading read(std::string_view bytes, const std::vector<std::size_t>& reads) {
  ProbeReader reader;
  std::size_t next = 0;
  while (!bytes.empty()) {
    const std::size_t wanted = reads.empty() ? bytes.size() : reads[next++ % reads.size()];
    const std::string_view chunk = bytes.substr(0, wanted == 0 ? 1 : wanted);
    reader.feed(chunk);
    bytes.remove_prefix(chunk.size());
  }
  reader.finish();
  return {reader.answers(), reader.keys()};
}

bool sameAnswers(const TerminalAnswers& a, const TerminalAnswers& b) {
  return a.deviceAttributes == b.deviceAttributes && a.sixel == b.sixel && a.version == b.version &&
         a.cell == b.cell && a.directColourCapability == b.directColourCapability &&
         a.directColourReadBack == b.directColourReadBack && a.kittyGraphics == b.kittyGraphics &&
         a.cursorColumn == b.cursorColumn && a.sixelLimit == b.sixelLimit;
}

bool isSubsequence(std::string_view part, std::string_view whole) {
  std::size_t at = 0;
  for (const char byte : part) {
    at = whole.find(byte, at);
    if (at == std::string_view::npos) return false;
    ++at;
  }
  return true;
}

void checkBounds(const TerminalAnswers& answers) {
  require(!answers.cell.known() || (answers.cell.width >= 2 && answers.cell.width <= 256 &&
                                    answers.cell.height >= 4 && answers.cell.height <= 512),
          "an implausible cell taken as the terminal's");
  require(answers.version.size() <= 64, "a version longer than any terminal's");
  for (const char byte : answers.version) {
    require(byte >= ' ' && byte <= '~', "a control byte in the version");
  }
}

void checkReading(std::string_view bytes, const std::vector<std::size_t>& reads) {
  const Reading whole = read(bytes, {});
  const Reading split = read(bytes, reads);
  require(sameAnswers(whole.answers, split.answers), "the reads' split changed the answers");
  require(whole.keys == split.keys, "the reads' split changed the keys");
  require(isSubsequence(whole.keys, bytes), "keys that did not come in that order");
  if (bytes.find('\x1b') == std::string_view::npos) {
    require(whole.keys == bytes, "bytes with no ESC taken for answers");
  }
  checkBounds(whole.answers);
}

// Garbage, ended by a byte that ends every sequence but a control string's
// (and ST, which ends that), then a terminal's whole answer.
void checkAnswersBehindGarbage(std::string_view garbage) {
  std::string bytes(garbage.substr(0, 200));
  bytes += "~\x1b\\";
  bytes += "\x1bP>|XTerm(379)\x1b\\\x1b[6;17;8t\x1b[1;2R\x1b[?63;1;4c";
  const Reading reading = read(bytes, {});
  require(reading.answers.deviceAttributes && reading.answers.sixel,
          "DA1 behind garbage went unread");
  require(reading.answers.version == "XTerm(379)", "XTVERSION behind garbage went unread");
}

}  // namespace
}  // namespace vantrel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantrel::fuzz;
  FuzzInput input(data, size);
  const std::vector<std::size_t> reads = readSizes(input);
  const std::string_view bytes = asText(input.rest());
  checkReading(bytes, reads);
  checkAnswersBehindGarbage(bytes);
  return 0;
}
