// vantrel-sound-check: compares what a sound server played (a recording of
// its sink's monitor) with what should have been played, and makes the test
// sounds. Raw sound is 44100 Hz stereo signed 16-bit little-endian, as
// `parec` records it.
//
//   vantrel-sound-check compare RECORDING REFERENCE SECONDS [REPEATS [MAX_DIFFERENCE
//                               [MIN_CORRELATION]]]
//     REFERENCE is an MP3 (decoded by the audio layer's own decoder) or raw
//     sound, played REPEATS times back to back (default 1). Over SECONDS of
//     the reference, from its first sound: the recording holds the
//     reference's first sound (nothing lost at the start), and in every
//     0.1 s window the sample offset between recording and reference (found
//     by cross-correlation) is the same, the normalised correlation is at
//     least MIN_CORRELATION (default 0.99; a lossy codec needs less), the
//     level matches within 5 % and no sample differs by more than
//     MAX_DIFFERENCE of full scale (default 0.02). Prints one line
//     of figures, ending with the offset (recording frame minus reference
//     frame); exit status 0 when all hold, 1 when not, 2 on bad input.
//   vantrel-sound-check tone OUTPUT SECONDS
//     Writes a loopable test sound: partials with a whole number of cycles
//     in SECONDS, so the sound repeated back to back has no seam.
//   vantrel-sound-check burst OUTPUT SILENT_SECONDS BURST_SECONDS
//     Writes silence, then a loud noise burst: the bars' lag test sound.
//   vantrel-sound-check decode TRACK OUTPUT
//     Writes the track as the audio layer's decoder delivers it.
//   vantrel-sound-check onset RECORDING
//     Prints the first frame of RECORDING louder than a tenth of full scale.

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include "audio/audio_backend.hpp"
#include "audio/pcm_decoder.hpp"
#include "audio/pcm_format.hpp"

namespace {

using vantrel::pcmChannels;
using vantrel::pcmRate;
using vantrel::PcmSample;
using Sound = std::vector<PcmSample>;  // interleaved stereo
using Complex = std::complex<double>;

constexpr std::ptrdiff_t windowFrames = pcmRate / 10;
constexpr std::ptrdiff_t searchRadius = 2048;  // largest offset change looked for, each way
constexpr double defaultMinimumCorrelation = 0.99;
constexpr double levelTolerance = 0.05;
constexpr double fullScale = 32768.0;
constexpr double silentRms = 64.0;
constexpr std::ptrdiff_t startTolerance = 64;  // frames of sound allowed before the aligned start
                                               // // a window quieter than this carries no offset

// ---- raw sound files

std::optional<Sound> readRaw(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
  Sound sound(bytes.size() / sizeof(PcmSample));
  for (std::size_t i = 0; i < sound.size(); ++i) {
    const auto low = static_cast<std::uint8_t>(bytes[2 * i]);
    const auto high = static_cast<std::uint8_t>(bytes[2 * i + 1]);
    sound[i] = static_cast<PcmSample>(static_cast<std::uint16_t>(low | (high << 8U)));
  }
  return sound;
}

bool writeRaw(const std::filesystem::path& path, const Sound& sound) {
  std::ofstream out(path, std::ios::binary);
  for (const PcmSample sample : sound) {
    const auto bits = static_cast<std::uint16_t>(sample);
    out.put(static_cast<char>(bits & 0xFFU));
    out.put(static_cast<char>(bits >> 8U));
  }
  return static_cast<bool>(out);
}

// The whole track, as the audio layer's decoder delivers it.
std::optional<Sound> decodeTrack(const std::filesystem::path& path) {
  const std::unique_ptr<vantrel::PcmDecoder> decoder = vantrel::makeDecoder();
  if (!decoder->open(path)) return std::nullopt;
  Sound sound;
  std::vector<PcmSample> block(4096 * pcmChannels);
  while (const std::size_t frames = decoder->read(block.data(), 4096)) {
    sound.insert(sound.end(), block.begin(),
                 block.begin() + static_cast<std::ptrdiff_t>(frames * pcmChannels));
  }
  return sound;
}

std::optional<Sound> loadReference(const std::filesystem::path& path, int repeats) {
  std::optional<Sound> once = path.extension() == ".mp3" ? decodeTrack(path) : readRaw(path);
  if (!once || once->empty()) return std::nullopt;
  Sound sound;
  for (int pass = 0; pass < repeats; ++pass) sound.insert(sound.end(), once->begin(), once->end());
  return sound;
}

// Left and right summed: one number per frame.
std::vector<double> monoOf(const Sound& sound) {
  std::vector<double> mono(sound.size() / pcmChannels);
  for (std::size_t i = 0; i < mono.size(); ++i) {
    mono[i] = static_cast<double>(sound[2 * i]) + static_cast<double>(sound[2 * i + 1]);
  }
  return mono;
}

// ---- cross-correlation

// In-place radix-2 FFT; `inverse` without the 1/N scale.
void transform(std::vector<Complex>& data, bool inverse) {
  const std::size_t size = data.size();
  for (std::size_t i = 1, j = 0; i < size; ++i) {
    std::size_t bit = size >> 1U;
    for (; (j & bit) != 0; bit >>= 1U) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(data[i], data[j]);
  }
  for (std::size_t length = 2; length <= size; length <<= 1U) {
    const double angle = (inverse ? 2.0 : -2.0) * std::numbers::pi / static_cast<double>(length);
    const Complex step{std::cos(angle), std::sin(angle)};
    for (std::size_t start = 0; start < size; start += length) {
      Complex twiddle{1.0, 0.0};
      for (std::size_t k = 0; k < length / 2; ++k) {
        const Complex even = data[start + k];
        const Complex odd = data[start + k + length / 2] * twiddle;
        data[start + k] = even + odd;
        data[start + k + length / 2] = even - odd;
        twiddle *= step;
      }
    }
  }
}

std::size_t powerOfTwoAtLeast(std::size_t n) {
  std::size_t size = 1;
  while (size < n) size <<= 1U;
  return size;
}

// The shift s in [0, haystack.size() - needle.size()] at which
// sum needle[n] * haystack[n + s] is largest.
std::ptrdiff_t bestShift(const std::vector<double>& needle, const std::vector<double>& haystack) {
  const std::size_t size = powerOfTwoAtLeast(needle.size() + haystack.size());
  std::vector<Complex> a(size);
  std::vector<Complex> b(size);
  std::copy(haystack.begin(), haystack.end(), a.begin());
  std::copy(needle.begin(), needle.end(), b.begin());
  transform(a, false);
  transform(b, false);
  for (std::size_t k = 0; k < size; ++k) a[k] *= std::conj(b[k]);
  transform(a, true);
  const auto shifts = static_cast<std::ptrdiff_t>(haystack.size() - needle.size());
  std::ptrdiff_t best = 0;
  for (std::ptrdiff_t s = 1; s <= shifts; ++s) {
    if (a[static_cast<std::size_t>(s)].real() > a[static_cast<std::size_t>(best)].real()) best = s;
  }
  return best;
}

std::vector<double> slice(const std::vector<double>& mono, std::ptrdiff_t from, std::ptrdiff_t to) {
  from = std::clamp<std::ptrdiff_t>(from, 0, static_cast<std::ptrdiff_t>(mono.size()));
  to = std::clamp<std::ptrdiff_t>(to, from, static_cast<std::ptrdiff_t>(mono.size()));
  return {mono.begin() + from, mono.begin() + to};
}

double rms(const std::vector<double>& mono) {
  double sum = 0.0;
  for (const double value : mono) sum += value * value;
  return mono.empty() ? 0.0 : std::sqrt(sum / static_cast<double>(mono.size()));
}

// ---- compare

struct WindowFit {
  std::ptrdiff_t offset = 0;  // recording frame = reference frame + offset
  double correlation = 0.0;
  double level = 0.0;  // recording RMS / reference RMS
};

WindowFit fitWindow(const std::vector<double>& recording, const std::vector<double>& reference,
                    std::ptrdiff_t start, std::ptrdiff_t expectedOffset) {
  const std::vector<double> window = slice(reference, start, start + windowFrames);
  const std::ptrdiff_t from = start + expectedOffset - searchRadius;
  const std::vector<double> around = slice(recording, from, from + windowFrames + 2 * searchRadius);
  WindowFit fit;
  if (around.size() < window.size() + 2 * searchRadius) return fit;  // past the recording
  fit.offset = from + bestShift(window, around) - start;
  const std::vector<double> heard =
      slice(recording, start + fit.offset, start + fit.offset + windowFrames);
  double product = 0.0;
  for (std::size_t n = 0; n < window.size(); ++n) product += window[n] * heard[n];
  const double heardRms = rms(heard);
  const double windowRms = rms(window);
  fit.correlation = product / (static_cast<double>(window.size()) * heardRms * windowRms);
  fit.level = heardRms / windowRms;
  return fit;
}

std::ptrdiff_t firstSoundFrame(const std::vector<double>& mono) {
  for (std::size_t n = 0; n < mono.size(); ++n) {
    if (std::abs(mono[n]) > 4.0 * silentRms) return static_cast<std::ptrdiff_t>(n);
  }
  return -1;
}

struct Difference {
  double size = 0.0;         // in fractions of full scale
  std::ptrdiff_t frame = 0;  // reference frame where it is largest
};

// Largest sample difference over reference frames [from, to) at `offset`.
Difference largestDifference(const Sound& recording, const Sound& reference, std::ptrdiff_t from,
                             std::ptrdiff_t to, std::ptrdiff_t offset) {
  Difference largest;
  for (std::ptrdiff_t frame = from; frame < to; ++frame) {
    for (std::ptrdiff_t c = 0; c < pcmChannels; ++c) {
      const auto heard = static_cast<std::size_t>((frame + offset) * pcmChannels + c);
      const auto meant = static_cast<std::size_t>(frame * pcmChannels + c);
      if (heard >= recording.size() || meant >= reference.size()) return largest;
      const double size = std::abs(recording[heard] - reference[meant]) / fullScale;
      if (size > largest.size) largest = {size, frame};
    }
  }
  return largest;
}

int compare(const Sound& recordingSound, const Sound& referenceSound, double seconds,
            double maxDifference, double minimumCorrelation) {
  const std::vector<double> recording = monoOf(recordingSound);
  const std::vector<double> reference = monoOf(referenceSound);
  const std::ptrdiff_t first = firstSoundFrame(reference);
  if (first < 0) {
    std::printf("FAIL: the reference is silent\n");
    return 2;
  }
  // Where the reference's first sound is in the recording: its first window
  // looked for around the recording's first sound (a loop would match at
  // every pass; a lost start matches nowhere there).
  const std::ptrdiff_t heardFirst = std::max<std::ptrdiff_t>(firstSoundFrame(recording), 0);
  const std::ptrdiff_t from = std::max<std::ptrdiff_t>(heardFirst - 2 * searchRadius, 0);
  const std::vector<double> opening = slice(reference, first, first + windowFrames);
  const std::vector<double> around =
      slice(recording, from, heardFirst + windowFrames + 2 * searchRadius);
  if (around.size() < opening.size()) {
    std::printf("FAIL: the recording holds no sound\n");
    return 1;
  }
  const std::ptrdiff_t startOffset = from + bestShift(opening, around) - first;
  const WindowFit openingFit = fitWindow(recording, reference, first, startOffset);

  const auto end = std::min(static_cast<std::ptrdiff_t>(reference.size()),
                            first + static_cast<std::ptrdiff_t>(seconds * pcmRate));
  int windows = 0;
  int failures = 0;
  double worstCorrelation = 1.0;
  double worstLevel = 1.0;
  for (std::ptrdiff_t start = first; start + windowFrames <= end; start += windowFrames) {
    if (rms(slice(reference, start, start + windowFrames)) < silentRms) continue;
    const WindowFit fit = fitWindow(recording, reference, start, startOffset);
    ++windows;
    worstCorrelation = std::min(worstCorrelation, fit.correlation);
    if (std::abs(fit.level - 1.0) > std::abs(worstLevel - 1.0)) worstLevel = fit.level;
    if (fit.offset != startOffset || fit.correlation < minimumCorrelation ||
        std::abs(fit.level - 1.0) > levelTolerance) {
      if (++failures <= 5) {
        std::printf("  at %.2f s: offset %+td samples, correlation %.4f, level %.3f\n",
                    static_cast<double>(start - first) / pcmRate, fit.offset - startOffset,
                    fit.correlation, fit.level);
      }
    }
  }
  const Difference difference =
      largestDifference(recordingSound, referenceSound, first, end, startOffset);
  // Nothing may sound before the track's first sound: that would be a
  // start lost and the opening matched somewhere later.
  const bool startHeard = openingFit.correlation >= minimumCorrelation &&
                          heardFirst + startTolerance >= first + startOffset;
  const bool longEnough =
      windows > 0 && (end - first) >= static_cast<std::ptrdiff_t>(seconds * pcmRate);
  const bool pass = startHeard && longEnough && failures == 0 && difference.size <= maxDifference;
  std::printf(
      "%s: first sound at recording frame %td (start %s); %d windows of 0.1 s over %.1f s, %d "
      "off; worst correlation %.4f, worst level %.3f, largest difference %.4f at %.3f s; "
      "offset %td frames\n",
      pass ? "PASS" : "FAIL", first + startOffset, startHeard ? "heard" : "LOST", windows,
      static_cast<double>(end - first) / pcmRate, failures, worstCorrelation, worstLevel,
      difference.size, static_cast<double>(difference.frame) / pcmRate, startOffset);
  if (!longEnough)
    std::printf("  the reference or the recording is shorter than %.1f s\n", seconds);
  return pass ? 0 : 1;
}

// ---- test sounds

// Inharmonic partials, each a whole number of cycles in the loop: the sound
// repeats seamlessly, yet no two shifts within a window look alike.
Sound loopTone(double seconds) {
  const auto frames = static_cast<std::size_t>(seconds * pcmRate);
  const double loop = static_cast<double>(frames) / pcmRate;
  Sound sound(frames * pcmChannels);
  for (std::size_t n = 0; n < frames; ++n) {
    const double t = static_cast<double>(n) / pcmRate;
    double value = 0.0;
    for (const double cycles : {0.0, 1.0, 2.0, 3.0}) {
      const double frequency =
          std::round((220.0 + 157.0 * cycles * (1.0 + 0.3 * cycles)) * loop) / loop;
      value += 0.18 * std::sin(2.0 * std::numbers::pi * frequency * t);
    }
    const auto sample = static_cast<PcmSample>(std::lround(value * 32767.0));
    sound[2 * n] = sample;
    sound[2 * n + 1] = sample;
  }
  return sound;
}

Sound burstAfterSilence(double silentSeconds, double burstSeconds) {
  const auto silent = static_cast<std::size_t>(silentSeconds * pcmRate);
  const auto loud = static_cast<std::size_t>(burstSeconds * pcmRate);
  Sound sound((silent + loud) * pcmChannels, 0);
  std::uint32_t noise = 12345;
  for (std::size_t n = silent; n < silent + loud; ++n) {
    noise = noise * 1664525U + 1013904223U;
    const auto sample = static_cast<PcmSample>(static_cast<std::int32_t>(noise >> 16U) - 32768);
    sound[2 * n] = static_cast<PcmSample>(sample / 2);
    sound[2 * n + 1] = static_cast<PcmSample>(sample / 2);
  }
  return sound;
}

std::ptrdiff_t onsetFrame(const Sound& sound) {
  for (std::size_t i = 0; i < sound.size(); ++i) {
    if (std::abs(static_cast<int>(sound[i])) > 3276)
      return static_cast<std::ptrdiff_t>(i / pcmChannels);
  }
  return -1;
}

int usage() {
  std::fprintf(stderr,
               "usage: vantrel-sound-check compare RECORDING REFERENCE SECONDS [REPEATS "
               "[MAX_DIFFERENCE [MIN_CORRELATION]]]\n"
               "       vantrel-sound-check tone OUTPUT SECONDS\n"
               "       vantrel-sound-check burst OUTPUT SILENT_SECONDS BURST_SECONDS\n"
               "       vantrel-sound-check decode TRACK OUTPUT\n"
               "       vantrel-sound-check onset RECORDING\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return usage();
  const std::string& action = args[0];
  if (action == "compare" && args.size() >= 4 && args.size() <= 7) {
    const int repeats = args.size() >= 5 ? std::atoi(args[4].c_str()) : 1;
    const double maxDifference = args.size() >= 6 ? std::atof(args[5].c_str()) : 0.02;
    const double minimumCorrelation =
        args.size() == 7 ? std::atof(args[6].c_str()) : defaultMinimumCorrelation;
    const std::optional<Sound> recording = readRaw(args[1]);
    const std::optional<Sound> reference = loadReference(args[2], std::max(repeats, 1));
    if (!recording || !reference) {
      std::fprintf(stderr, "vantrel-sound-check: cannot read %s\n",
                   (recording ? args[2] : args[1]).c_str());
      return 2;
    }
    return compare(*recording, *reference, std::atof(args[3].c_str()), maxDifference,
                   minimumCorrelation);
  }
  if (action == "tone" && args.size() == 3) {
    return writeRaw(args[1], loopTone(std::atof(args[2].c_str()))) ? 0 : 2;
  }
  if (action == "burst" && args.size() == 4) {
    return writeRaw(args[1],
                    burstAfterSilence(std::atof(args[2].c_str()), std::atof(args[3].c_str())))
               ? 0
               : 2;
  }
  if (action == "decode" && args.size() == 3) {
    const std::optional<Sound> track = decodeTrack(args[1]);
    return track && writeRaw(args[2], *track) ? 0 : 2;
  }
  if (action == "onset" && args.size() == 2) {
    const std::optional<Sound> recording = readRaw(args[1]);
    if (!recording) return 2;
    std::printf("%td\n", onsetFrame(*recording));
    return 0;
  }
  return usage();
}
