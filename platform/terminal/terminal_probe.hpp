#pragma once
// The questions a terminal is asked once at start-up, and the reading of its
// answers. The questions go out in one write and end with the primary device
// attributes (DA1), which every terminal answers, and answers in order: once
// its answer has come, every answer that is coming has come.
//
// Answers arrive in any order, split across reads, with keys typed around
// them and with garbage. Each recognised answer is taken out; every other
// byte is a key and is kept, in order, for the key poll. Pure: the caller
// does the writing, the waiting and the reading.

#include <cstddef>
#include <string>
#include <string_view>

namespace vantrel {

// A cell's size in pixels; zero where the terminal did not say, or said
// something no terminal draws (a zero, or 1 x 65535).
struct CellPixels {
  int width = 0;
  int height = 0;

  bool known() const { return width > 0 && height > 0; }
  friend bool operator==(const CellPixels&, const CellPixels&) = default;
};

// A cell of `width` x `height` pixels where terminals draw cells that size
// (from about 4 to a few dozen pixels a side), else an unknown one.
CellPixels plausibleCell(int width, int height);

// What the probe found out. Everything not answered stays at its default.
struct TerminalAnswers {
  bool deviceAttributes = false;        // DA1 came
  bool sixel = false;                   // DA1 lists attribute 4
  std::string version;                  // XTVERSION's name and version, e.g. "XTerm(379)"
  CellPixels cell;                      // CSI 16 t
  bool directColourCapability = false;  // XTGETTCAP found RGB or Tc
  bool directColourReadBack = false;    // DECRQSS read back the SGR 48;2 just set
  bool kittyGraphics = false;           // the kitty graphics query was answered OK
  CellPixels sixelLimit;                // XTSMGRAPHICS: the largest sixel image
  int cursorColumn = 0;                 // after the quadrant (1-based); 0: no report
};

// The questions, in the order the answers are expected. `askGlyphWidth`:
// also draw a quadrant at the top left and ask where the cursor went (the
// screen must be one the picture will cover).
std::string probeQuestions(bool askGlyphWidth);

// Reads answers out of the bytes a terminal sent since the questions.
class ProbeReader {
 public:
  // The bytes that came in one read. An answer cut by the read's end is held
  // until the rest comes.
  void feed(std::string_view bytes);
  // Nothing more will come: a held part of an answer is taken as keys.
  void finish();

  // DA1 has come: the wait can end.
  bool complete() const { return answers_.deviceAttributes; }
  const TerminalAnswers& answers() const { return answers_; }
  // Every byte that was no answer, in order of arrival.
  const std::string& keys() const { return keys_; }

  // An answer longer than this is garbage: its bytes are taken as keys
  // rather than held while waiting for an end that never comes.
  static constexpr std::size_t longestAnswer = 256;

 private:
  // How a sequence starting at an ESC was read: as an answer (taken out), as
  // keys, or not yet (its end has not come).
  enum class Reading { answer, keys, incomplete };
  struct Scan {
    Reading reading = Reading::keys;
    std::size_t length = 1;  // bytes it takes
  };

  Scan scanEscape(std::string_view bytes);
  Scan scanControlSequence(std::string_view bytes);
  Scan scanControlString(std::string_view bytes);
  bool readControlSequence(char prefix, std::string_view parameters, char final);
  void readDeviceControlString(std::string_view text);
  void readApplicationString(std::string_view text);

  TerminalAnswers answers_;
  std::string held_;  // the start of an answer whose end has not come
  std::string keys_;
};

}  // namespace vantrel
