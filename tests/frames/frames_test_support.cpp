#include "frames_test_support.hpp"

#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace vantrel::frames::testing {

namespace {

// Index just past the value that starts at `begin`.
std::size_t valueEnd(std::string_view text, std::size_t begin) {
  if (text[begin] == '"') return text.find('"', begin + 1) + 1;
  int depth = 0;
  for (std::size_t i = begin; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '[') ++depth;
    if (c == ']') --depth;
    if (depth == 0 && (c == ',' || c == '}' || (c == ']' && i != begin))) {
      return c == ']' ? i + 1 : i;
    }
  }
  return text.size();
}

int base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

std::string shellQuoted(const std::string& word) {
  std::string quoted(1, '\'');
  for (const char c : word) {
    if (c == '\'') {
      quoted.append("'\\''");
    } else {
      quoted += c;
    }
  }
  quoted += '\'';
  return quoted;
}

std::string readWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

std::string jsonField(std::string_view line, std::string_view name) {
  std::string key(1, '"');
  key.append(name).append("\": ");
  const std::size_t at = line.find(key);
  if (at == std::string_view::npos) return {};
  const std::size_t begin = at + key.size();
  return std::string(line.substr(begin, valueEnd(line, begin) - begin));
}

std::string jsonString(std::string_view value) {
  if (value.size() < 2 || value.front() != '"' || value.back() != '"') return {};
  return std::string(value.substr(1, value.size() - 2));
}

std::vector<std::string> jsonList(std::string_view value) {
  std::vector<std::string> items;
  if (value.size() < 2 || value == "[]") return items;
  const std::string_view inner = value.substr(1, value.size() - 2);
  std::size_t begin = 0;
  while (begin < inner.size()) {
    const std::size_t end = std::min(valueEnd(inner, begin), inner.size());
    items.emplace_back(inner.substr(begin, end - begin));
    begin = end + 2;  // past ", "
  }
  return items;
}

std::vector<std::uint8_t> decodeBase64(std::string_view text) {
  std::vector<std::uint8_t> bytes;
  unsigned bits = 0;
  int bitCount = 0;
  for (const char c : text) {
    const int value = base64Value(c);
    if (value < 0) break;  // padding
    bits = (bits << 6U) | static_cast<unsigned>(value);
    bitCount += 6;
    if (bitCount >= 8) {
      bitCount -= 8;
      bytes.push_back(static_cast<std::uint8_t>((bits >> static_cast<unsigned>(bitCount)) & 0xFFU));
    }
  }
  return bytes;
}

CellScreen cellsFromBytes(std::span<const std::uint8_t> bytes) {
  CellScreen screen;
  if (bytes.size() != 4 * static_cast<std::size_t>(cellCount)) {
    throw std::runtime_error("cells are not 16000 bytes");
  }
  for (int index = 1; index <= cellCount; ++index) {
    const std::uint8_t* cell = bytes.data() + 4 * static_cast<std::size_t>(index - 1);
    screen[index].character = static_cast<std::uint16_t>(cell[0] | (cell[1] << 8));
    screen[index].attribute = static_cast<std::uint16_t>(cell[2] | (cell[3] << 8));
  }
  return screen;
}

CellScreen cellsFromBase64(std::string_view text) {
  return cellsFromBytes(decodeBase64(text));
}

std::optional<DecodedPng> readPng(const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_file(&image, path.c_str()) == 0) return std::nullopt;
  image.format = PNG_FORMAT_RGB;
  DecodedPng decoded;
  decoded.width = static_cast<int>(image.width);
  decoded.height = static_cast<int>(image.height);
  decoded.rgb.resize(PNG_IMAGE_SIZE(image));
  if (png_image_finish_read(&image, nullptr, decoded.rgb.data(), 0, nullptr) == 0) {
    png_image_free(&image);
    return std::nullopt;
  }
  return decoded;
}

std::vector<std::string> readLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

ToolRun runFramesTool(const std::vector<std::string>& args) {
  const std::string errorsPath =
      std::string(::testing::TempDir()) + "vantrel-frames-stderr-" + std::to_string(getpid());
  std::string command = shellQuoted(VANTREL_FRAMES_TOOL);
  for (const std::string& arg : args) command.append(" ").append(shellQuoted(arg));
  command.append(" 2>").append(shellQuoted(errorsPath));
  const int raw = std::system(command.c_str());
  ToolRun run;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.errors = readWhole(errorsPath);
  std::remove(errorsPath.c_str());
  return run;
}

}  // namespace vantrel::frames::testing
