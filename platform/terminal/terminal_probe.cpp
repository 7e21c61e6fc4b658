#include "platform/terminal/terminal_probe.hpp"

#include <array>
#include <cctype>
#include <charconv>

namespace vantrel {

namespace {

constexpr char escape = '\x1b';
constexpr char bell = '\a';

// XTGETTCAP names its capabilities in hexadecimal: "RGB" and "Tc", the two
// names terminfo gives direct colour.
constexpr std::array directColourCapabilities = {std::string_view("524742"),
                                                 std::string_view("5463")};
// The kitty graphics query's image id, and the direct colour the read-back
// sets: values no terminal would report by chance.
constexpr std::string_view kittyQueryId = "31";
constexpr std::array<int, 3> readBackColour = {1, 2, 3};

// The parts of `text` between `separator`s (or either of two).
template <typename Visit>
void forEachPart(std::string_view text, std::string_view separators, Visit visit) {
  while (true) {
    const std::size_t end = text.find_first_of(separators);
    visit(text.substr(0, end));
    if (end == std::string_view::npos) return;
    text.remove_prefix(end + 1);
  }
}

// A decimal number of at most five digits making up all of `text`; -1 otherwise.
int wholeNumber(std::string_view text) {
  int value = -1;
  if (text.empty() || text.size() > 5) return -1;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() ? value : -1;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

// XTVERSION's text, printable ASCII, as long as a name and version need.
std::string versionText(std::string_view text) {
  std::string version;
  for (const char byte : text.substr(0, 64)) {
    version += byte >= ' ' && byte <= '~' ? byte : '?';
  }
  return version;
}

// XTGETTCAP's answer to a found capability: 1 + r name[=value]; ...
bool namesDirectColour(std::string_view found) {
  bool named = false;
  forEachPart(found, ";", [&named](std::string_view item) {
    const std::string_view name = item.substr(0, item.find('='));
    for (const std::string_view capability : directColourCapabilities) {
      named = named || equalsIgnoringCase(name, capability);
    }
  });
  return named;
}

// DECRQSS's read-back of the SGR in force: the background set at start-up,
// 48;2;1;2;3, given back with colons or semicolons, with or without the
// colour space's slot (48:2::1:2:3).
bool readsBackDirectColour(std::string_view sgr) {
  for (std::size_t at = sgr.find("48"); at != std::string_view::npos; at = sgr.find("48", at + 1)) {
    if (at > 0 && sgr[at - 1] != ';' && sgr[at - 1] != ':') continue;  // not 148, 248
    std::array<int, 5> values{-1, -1, -1, -1, -1};
    std::size_t count = 0;
    const std::string_view rest = sgr.substr(at + 2, sgr.find('m', at) - at - 2);
    if (rest.size() < 2 || (rest[0] != ';' && rest[0] != ':')) continue;
    forEachPart(rest.substr(1), ";:", [&](std::string_view part) {
      if (count < values.size()) values[count++] = part.empty() ? -2 : wholeNumber(part);
    });
    if (values[0] != 2) continue;
    const auto colourAt = [&values](std::size_t from) {
      return values[from] == readBackColour[0] && values[from + 1] == readBackColour[1] &&
             values[from + 2] == readBackColour[2];
    };
    // 2;r;g;b, or 2:space:r:g:b with the space's slot empty or filled.
    if (colourAt(1) || ((values[1] == -2 || values[1] >= 0) && colourAt(2))) return true;
  }
  return false;
}

}  // namespace

CellPixels plausibleCell(int width, int height) {
  if (width < 2 || width > 256 || height < 4 || height > 512) return {};
  return {width, height};
}

std::string probeQuestions(bool askGlyphWidth) {
  std::string questions;
  questions += "\x1b[>q";                   // XTVERSION: the terminal's name and version
  questions += "\x1b[16t";                  // the cell size in pixels
  questions += "\x1bP+q524742;5463\x1b\\";  // XTGETTCAP: RGB, Tc
  // DECRQSS: the SGR in force, just after a direct-colour background was set.
  questions += "\x1b[48;2;1;2;3m\x1bP$qm\x1b\\\x1b[0m";
  // The kitty graphics protocol: a query with a one-pixel image, stored nowhere.
  questions += "\x1b_Gi=31,s=1,v=1,a=q,t=d,f=24;AAAA\x1b\\";
  questions += "\x1b[?2;1;0S";  // XTSMGRAPHICS: the largest sixel image
  // A quadrant at the top left, then where the cursor went: one column on
  // in a terminal that draws it one column wide.
  if (askGlyphWidth) questions += "\x1b[H\u2596\x1b[6n";
  questions += "\x1b[c";  // DA1, answered by every terminal, and last
  return questions;
}

void ProbeReader::feed(std::string_view bytes) {
  std::string data = std::move(held_);
  held_.clear();
  data.append(bytes);
  const std::string_view all(data);
  for (std::size_t at = 0; at < all.size();) {
    if (all[at] != escape) {
      keys_ += all[at++];
      continue;
    }
    const Scan scan = scanEscape(all.substr(at));
    if (scan.reading == Reading::incomplete) {
      held_ = all.substr(at);
      return;
    }
    if (scan.reading == Reading::keys) keys_.append(all.substr(at, scan.length));
    at += scan.length;
  }
}

void ProbeReader::finish() {
  keys_ += held_;
  held_.clear();
}

ProbeReader::Scan ProbeReader::scanEscape(std::string_view bytes) {
  if (bytes.size() < 2) return {Reading::incomplete, bytes.size()};
  switch (bytes[1]) {
    case '[':
      return scanControlSequence(bytes);
    case 'P':
    case '_':
      return scanControlString(bytes);
    default:
      return {Reading::keys, 1};  // Esc, or Alt with the key that follows
  }
}

// ESC [ prefix? parameters intermediates final
ProbeReader::Scan ProbeReader::scanControlSequence(std::string_view bytes) {
  std::size_t at = 2;
  const char prefix = at < bytes.size() && bytes[at] >= '<' && bytes[at] <= '?' ? bytes[at++] : 0;
  const std::size_t parametersStart = at;
  while (at < bytes.size() && bytes[at] >= '0' && bytes[at] <= '?') ++at;
  const std::size_t parametersEnd = at;
  while (at < bytes.size() && bytes[at] >= ' ' && bytes[at] <= '/') ++at;
  // Longer than any answer: garbage, whether or not its end has come (a
  // split read would have given up on it before its end).
  if (at > longestAnswer) return {Reading::keys, 2};
  if (at >= bytes.size()) return {Reading::incomplete, at};
  const char final = bytes[at];
  if (final < '@' || final > '~') return {Reading::keys, at};  // cut by a byte of no sequence
  const bool plain = parametersEnd == at;  // no intermediates in any answer asked for
  const std::string_view parameters =
      bytes.substr(parametersStart, parametersEnd - parametersStart);
  if (plain && readControlSequence(prefix, parameters, final)) return {Reading::answer, at + 1};
  return {Reading::keys, at + 1};
}

// ESC P text ST (a device control string) or ESC _ text ST (an application
// program command), ended by ESC \ or, as some terminals end them, BEL.
ProbeReader::Scan ProbeReader::scanControlString(std::string_view bytes) {
  const std::size_t end = bytes.find_first_of(std::string_view("\x1b\a"), 2);
  if (end == std::string_view::npos) {
    return bytes.size() > longestAnswer ? Scan{Reading::keys, 2}
                                        : Scan{Reading::incomplete, bytes.size()};
  }
  if (end > longestAnswer) return {Reading::keys, 2};
  const bool bellEnded = bytes[end] == bell;
  if (!bellEnded && end + 1 >= bytes.size()) return {Reading::incomplete, bytes.size()};
  // An ESC that starts anything but ST cuts the string off: it was no answer.
  if (!bellEnded && bytes[end + 1] != '\\') return {Reading::keys, end};
  const std::string_view text = bytes.substr(2, end - 2);
  if (bytes[1] == 'P') {
    readDeviceControlString(text);
  } else {
    readApplicationString(text);
  }
  return {Reading::answer, end + (bellEnded ? 1 : 2)};
}

bool ProbeReader::readControlSequence(char prefix, std::string_view parameters, char final) {
  if (prefix == '?' && final == 'c') {  // DA1: ? class ; attribute ; ... c
    answers_.deviceAttributes = true;
    forEachPart(parameters, ";", [this](std::string_view attribute) {
      if (attribute == "4") answers_.sixel = true;
    });
    return true;
  }
  std::array<int, 4> values{-1, -1, -1, -1};
  std::size_t count = 0;
  forEachPart(parameters, ";", [&](std::string_view part) {
    values[count < values.size() ? count : values.size() - 1] = wholeNumber(part);
    ++count;
  });
  if (prefix == '?' && final == 'S' && count == 4 && values[0] == 2) {
    // XTSMGRAPHICS: ? 2 ; status ; width ; height S, status 0 for success.
    if (values[1] == 0 && values[2] > 0 && values[3] > 0) {
      answers_.sixelLimit = {values[2], values[3]};
    }
    return true;
  }
  if (prefix != 0) return false;
  if (final == 'R' && count == 2 && values[0] >= 0 && values[1] >= 0) {
    // The first report answers the question; a later one is a key (Shift+F3
    // is sent as CSI 1 ; 2 R by some terminals).
    if (answers_.cursorColumn != 0) return false;
    answers_.cursorColumn = values[1] > 0 ? values[1] : -1;
    return true;
  }
  if (final == 't' && count == 3 && values[0] == 6) {  // CSI 6 ; height ; width t
    answers_.cell = plausibleCell(values[2], values[1]);
    return true;
  }
  return false;
}

void ProbeReader::readDeviceControlString(std::string_view text) {
  if (text.starts_with(">|")) {
    answers_.version = versionText(text.substr(2));
  } else if (text.starts_with("1+r")) {
    answers_.directColourCapability =
        answers_.directColourCapability || namesDirectColour(text.substr(3));
  } else if (text.size() >= 3 && text.substr(1, 2) == "$r") {
    answers_.directColourReadBack =
        answers_.directColourReadBack || readsBackDirectColour(text.substr(3));
  }
}

// G key=value,... ; message: the answer to the graphics query is OK.
void ProbeReader::readApplicationString(std::string_view text) {
  if (!text.starts_with('G')) return;
  const std::size_t semicolon = text.find(';');
  if (semicolon == std::string_view::npos) return;
  bool ours = false;
  forEachPart(text.substr(1, semicolon - 1), ",", [&ours](std::string_view pair) {
    ours = ours || (pair.starts_with("i=") && pair.substr(2) == kittyQueryId);
  });
  if (ours && text.substr(semicolon + 1) == "OK") answers_.kittyGraphics = true;
}

}  // namespace vantrel
