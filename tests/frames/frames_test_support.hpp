#pragma once
// Helpers for the frame tool's tests: reading its dump and its pictures back
// independently of the code that wrote them, and running the tool itself.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "screen/cell_screen.hpp"

namespace vantrel::frames::testing {

// The raw text of a top-level field's value in a one-line JSON object:
// a number, true/false/null, a "string" with its quotes, or a [list].
std::string jsonField(std::string_view line, std::string_view name);
// The contents of a "string" value, without its quotes (no escapes expected).
std::string jsonString(std::string_view value);
// The raw items of a [list], split at its top-level commas.
std::vector<std::string> jsonList(std::string_view value);

std::vector<std::uint8_t> decodeBase64(std::string_view text);
CellScreen cellsFromBytes(std::span<const std::uint8_t> bytes);
CellScreen cellsFromBase64(std::string_view text);

struct DecodedPng {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;  // three bytes a pixel, rows top to bottom
};
std::optional<DecodedPng> readPng(const std::string& path);

std::vector<std::string> readLines(const std::string& path);

struct ToolRun {
  int status = -1;
  std::string errors;  // what the tool wrote on stderr
};
// Runs build/<preset>/.../vantrel-frames with `args` (each passed as one word).
ToolRun runFramesTool(const std::vector<std::string>& args);

}  // namespace vantrel::frames::testing
