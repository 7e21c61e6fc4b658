#include "frames/frames_options.hpp"

#include <charconv>
#include <limits>
#include <optional>

#include "frames/video_file.hpp"

namespace vantrel::frames {

namespace {

// A whole decimal number in [lowest, highest], the whole text and nothing else.
template <typename Number>
std::optional<Number> parseNumber(std::string_view text, Number lowest, Number highest) {
  Number value{};
  const char* end = text.data() + text.size();
  const auto [stop, status] = std::from_chars(text.data(), end, value);
  if (status != std::errc{} || stop != end || value < lowest || value > highest) {
    return std::nullopt;
  }
  return value;
}

std::string quoted(std::string_view text) {
  std::string result(1, '\'');
  result += text;
  result += '\'';
  return result;
}

class OptionReader {
 public:
  explicit OptionReader(std::span<const std::string_view> args) : args_(args) {}

  ParsedOptions read() {
    bool seedGiven = false;
    bool framesGiven = false;
    bool spectrumGiven = false;
    while (next_ < args_.size() && parsed_.error.empty()) {
      const std::string_view name = args_[next_++];
      if (name == "--help" || name == "-h") {
        parsed_.helpAsked = true;
        return parsed_;
      }
      if (name == "--seed") {
        readSeed();
        seedGiven = true;
      } else if (name == "--frames") {
        readCount(name, parsed_.options.frames);
        framesGiven = true;
      } else if (name == "--every") {
        readCount(name, parsed_.options.every);
      } else if (name == "--spectrum") {
        readSpectrum();
        spectrumGiven = true;
      } else if (name == "--dump") {
        readPath(name, parsed_.options.dumpPath);
      } else if (name == "--png") {
        readPath(name, parsed_.options.pngDir);
      } else if (name == "--glyphs") {
        readPath(name, parsed_.options.glyphsPath);
      } else if (name == "--video") {
        readPath(name, parsed_.options.videoPath);
      } else if (name == "--fps") {
        readCount(name, parsed_.options.outputRate, highestOutputRate);
      } else if (name == "--scale") {
        readCount(name, parsed_.options.videoScale, highestVideoScale);
      } else if (name == "--cast") {
        readPath(name, parsed_.options.castPath);
      } else {
        fail("unknown option " + quoted(name));
      }
    }
    if (parsed_.error.empty() && !seedGiven) fail("--seed N is required");
    if (parsed_.error.empty()) checkRecordings(framesGiven, spectrumGiven);
    return parsed_;
  }

 private:
  void fail(std::string message) {
    if (parsed_.error.empty()) parsed_.error = std::move(message);
  }

  std::optional<std::string_view> value(std::string_view name) {
    if (next_ >= args_.size()) {
      fail(std::string(name) + " needs a value");
      return std::nullopt;
    }
    return args_[next_++];
  }

  void readSeed() {
    const auto text = value("--seed");
    if (!text) return;
    const auto seed =
        parseNumber<std::uint32_t>(*text, 0, std::numeric_limits<std::uint32_t>::max());
    if (!seed) {
      fail("--seed must be a whole number from 0 to 4294967295, not " + quoted(*text));
      return;
    }
    parsed_.options.seed = *seed;
  }

  void readCount(std::string_view name, int& count, int highest = std::numeric_limits<int>::max()) {
    const auto text = value(name);
    if (!text) return;
    const auto number = parseNumber<int>(*text, 1, highest);
    if (!number) {
      const std::string range = highest == std::numeric_limits<int>::max()
                                    ? "of at least 1"
                                    : "from 1 to " + std::to_string(highest);
      fail(std::string(name) + " must be a whole number " + range + ", not " + quoted(*text));
      return;
    }
    count = *number;
  }

  // A video or a recording is of the whole show with its music unless the
  // command line says otherwise; the video's kind is its extension.
  void checkRecordings(bool framesGiven, bool spectrumGiven) {
    FramesOptions& options = parsed_.options;
    const bool recording = !options.videoPath.empty() || !options.castPath.empty();
    if (recording && !framesGiven) options.frames = std::numeric_limits<int>::max();
    if (recording && !spectrumGiven) options.spectrum = SpectrumChoice::music;
    if (options.videoPath.empty()) {
      if (options.outputRate != 0) fail("--fps is for --video");
      if (options.videoScale != 0) fail("--scale is for --video");
      return;
    }
    if (!videoKindOf(options.videoPath)) {
      fail("--video makes .mp4 or .mkv files, not " + quoted(options.videoPath));
    }
  }

  void readSpectrum() {
    const auto text = value("--spectrum");
    if (!text) return;
    if (*text == "silence") {
      parsed_.options.spectrum = SpectrumChoice::silence;
    } else if (*text == "music") {
      parsed_.options.spectrum = SpectrumChoice::music;
    } else {
      fail("--spectrum must be silence or music, not " + quoted(*text));
    }
  }

  void readPath(std::string_view name, std::string& path) {
    const auto text = value(name);
    if (!text) return;
    if (text->empty()) {
      fail(std::string(name) + " needs a non-empty path");
      return;
    }
    path = std::string(*text);
  }

  std::span<const std::string_view> args_;
  std::size_t next_ = 0;
  ParsedOptions parsed_;
};

}  // namespace

ParsedOptions parseFramesOptions(std::span<const std::string_view> args) {
  return OptionReader(args).read();
}

}  // namespace vantrel::frames
