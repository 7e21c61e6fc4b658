// The PCM rate converter over arbitrary rates, channel counts, lengths and
// pieces: every call stays within the room it asks for, and a whole stream
// of n source frames gives ceil(n x 44100 / rate) frames.

#include <vector>

#include "audio/pcm_rate_converter.hpp"
#include "fuzz_input.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantrel;
  using fuzz::require;
  fuzz::FuzzInput input(data, size);
  const auto rate = static_cast<int>(input.number(4000, 192000));
  const auto channels = static_cast<int>(input.number(1, 2));
  const std::size_t pieces = input.number(1, 16);
  PcmRateConverter converter;
  converter.reset(rate, channels);
  std::int64_t sourceFrames = 0;
  std::int64_t outputFrames = 0;
  std::vector<PcmSample> out;
  for (std::size_t piece = 0; piece < pieces; ++piece) {
    const std::size_t frames = input.number(0, 2000);
    std::vector<PcmSample> source(frames * static_cast<std::size_t>(channels));
    for (PcmSample& sample : source)
      sample = static_cast<PcmSample>(input.number(0, 65535) - 32768);
    const std::size_t room = converter.maxOutputFrames(frames);
    out.assign(room * pcmChannels, 0);  // exactly the room promised: ASan sees any overrun
    const std::size_t wrote = converter.convert(source.data(), frames, out.data());
    require(wrote <= room, "wrote more frames than it said could come");
    sourceFrames += static_cast<std::int64_t>(frames);
    outputFrames += static_cast<std::int64_t>(wrote);
  }
  out.assign(2 * pcmChannels, 0);
  outputFrames += static_cast<std::int64_t>(converter.finish(out.data()));
  const std::int64_t expected = (sourceFrames * pcmRate + rate - 1) / rate;
  require(outputFrames == expected, "the stream's length is not ceil(n x 44100 / rate)");
  return 0;
}
