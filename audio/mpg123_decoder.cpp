#include "audio/mpg123_decoder.hpp"

#include <mpg123.h>

namespace vantrel {

namespace {

constexpr std::size_t frameBytes = pcmChannels * sizeof(PcmSample);
// A read that only announces the format carries no frames; the format is
// fixed, so only the first read should do that. A few spare tries stop a
// misbehaving stream from spinning here.
constexpr int formatAnnouncements = 4;

bool forceOutputFormat(mpg123_handle* handle) {
  return mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0) == MPG123_OK &&
         mpg123_format_none(handle) == MPG123_OK &&
         mpg123_format(handle, pcmRate, MPG123_STEREO, MPG123_ENC_SIGNED_16) == MPG123_OK;
}

// The format query scans for the first frame: MPG123_DONE means the file
// holds no audio at all, an error means nothing decodable was found.
bool hasPlayableAudio(mpg123_handle* handle) {
  long rate = 0;
  int channels = 0;
  int encoding = 0;
  return mpg123_getformat(handle, &rate, &channels, &encoding) == MPG123_OK && rate == pcmRate &&
         channels == pcmChannels && encoding == MPG123_ENC_SIGNED_16;
}

}  // namespace

Mpg123Decoder::Mpg123Decoder() = default;

Mpg123Decoder::~Mpg123Decoder() {
  close();
}

void Mpg123Decoder::close() {
  if (handle_ == nullptr) return;
  mpg123_close(handle_);
  mpg123_delete(handle_);
  handle_ = nullptr;
}

bool Mpg123Decoder::open(const std::filesystem::path& path) {
  close();
  path_ = path;
  ended_ = false;
  int error = MPG123_OK;
  handle_ = mpg123_new(nullptr, &error);
  if (handle_ == nullptr) return false;
  if (!forceOutputFormat(handle_) || mpg123_open(handle_, path.c_str()) != MPG123_OK ||
      !hasPlayableAudio(handle_)) {
    close();
    return false;
  }
  return true;
}

std::size_t Mpg123Decoder::read(PcmSample* out, std::size_t frames) {
  if (handle_ == nullptr || ended_) return 0;
  auto* bytes = reinterpret_cast<unsigned char*>(out);
  for (int attempt = 0; attempt < formatAnnouncements; ++attempt) {
    std::size_t done = 0;
    const int status = mpg123_read(handle_, bytes, frames * frameBytes, &done);
    if (status == MPG123_NEW_FORMAT && done == 0) continue;
    // MPG123_DONE, or an error (a damaged stream): the track ends here,
    // after whatever whole frames this read still delivered.
    if (status != MPG123_OK && status != MPG123_NEW_FORMAT) ended_ = true;
    return done / frameBytes;
  }
  ended_ = true;
  return 0;
}

bool Mpg123Decoder::rewind() {
  if (handle_ == nullptr) return false;
  // Opened afresh, a track decodes exactly as the first time; libmpg123's
  // seek back to the start can decode a damaged stream differently.
  const std::filesystem::path path = path_;
  return open(path);
}

}  // namespace vantrel
