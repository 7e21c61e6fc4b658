#pragma once
// MP3 decoding with libmpg123, output forced to 44100 Hz stereo S16.

#include <cstdint>
#include <filesystem>
#include <span>

#include "audio/pcm_decoder.hpp"

struct mpg123_handle_struct;

namespace vantrel {

// A music file in memory, read and sought through as libmpg123 reads a file.
struct MemoryFile {
  std::span<const std::uint8_t> bytes;
  std::size_t position = 0;
};

class Mpg123Decoder final : public PcmDecoder {
 public:
  Mpg123Decoder();
  ~Mpg123Decoder() override;
  Mpg123Decoder(const Mpg123Decoder&) = delete;
  Mpg123Decoder& operator=(const Mpg123Decoder&) = delete;

  bool open(const std::filesystem::path& path) override;
  bool openBytes(std::span<const std::uint8_t> file) override;
  std::size_t read(PcmSample* out, std::size_t frames) override;
  bool rewind() override;

 private:
  void close();
  // Opens a new handle with the output format forced and lets `attach` give
  // it its input; false (and closed) when that fails or finds no audio.
  template <typename Attach>
  bool openWith(Attach attach);

  mpg123_handle_struct* handle_ = nullptr;
  std::filesystem::path path_;  // empty when the track is in memory
  MemoryFile memory_;
  bool ended_ = false;  // a read reported the end or an error
};

}  // namespace vantrel
