#pragma once
// MP3 decoding with libmpg123, output forced to 44100 Hz stereo S16.

#include <filesystem>

#include "audio/pcm_decoder.hpp"

struct mpg123_handle_struct;

namespace vantrel {

class Mpg123Decoder final : public PcmDecoder {
 public:
  Mpg123Decoder();
  ~Mpg123Decoder() override;
  Mpg123Decoder(const Mpg123Decoder&) = delete;
  Mpg123Decoder& operator=(const Mpg123Decoder&) = delete;

  bool open(const std::filesystem::path& path) override;
  std::size_t read(PcmSample* out, std::size_t frames) override;
  bool rewind() override;

 private:
  void close();

  mpg123_handle_struct* handle_ = nullptr;
  std::filesystem::path path_;
  bool ended_ = false;  // a read reported the end or an error
};

}  // namespace vantrel
