#include "audio/mpg123_decoder.hpp"

#include <mpg123.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

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

mpg123_ssize_t readMemory(void* handle, void* out, std::size_t count) {
  auto& file = *static_cast<MemoryFile*>(handle);
  const std::size_t available =
      file.position < file.bytes.size() ? file.bytes.size() - file.position : 0;
  const std::size_t taken = std::min(count, available);
  if (taken == 0) return 0;
  std::memcpy(out, file.bytes.data() + file.position, taken);
  file.position += taken;
  return static_cast<mpg123_ssize_t>(taken);
}

// As lseek: a position before the start is refused; one past the end is
// kept, and reads there find nothing.
off_t seekMemory(void* handle, off_t offset, int whence) {
  auto& file = *static_cast<MemoryFile*>(handle);
  off_t base = 0;
  switch (whence) {
    case SEEK_SET:
      break;
    case SEEK_CUR:
      base = static_cast<off_t>(file.position);
      break;
    case SEEK_END:
      base = static_cast<off_t>(file.bytes.size());
      break;
    default:
      return -1;
  }
  const off_t target = base + offset;
  if (target < 0) return -1;
  file.position = static_cast<std::size_t>(target);
  return target;
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

template <typename Attach>
bool Mpg123Decoder::openWith(Attach attach) {
  close();
  ended_ = false;
  int error = MPG123_OK;
  handle_ = mpg123_new(nullptr, &error);
  if (handle_ == nullptr) return false;
  if (!forceOutputFormat(handle_) || !attach(handle_) || !hasPlayableAudio(handle_)) {
    close();
    return false;
  }
  return true;
}

bool Mpg123Decoder::open(const std::filesystem::path& path) {
  path_ = path;
  return openWith(
      [&](mpg123_handle* handle) { return mpg123_open(handle, path.c_str()) == MPG123_OK; });
}

bool Mpg123Decoder::openBytes(std::span<const std::uint8_t> file) {
  path_.clear();
  memory_ = MemoryFile{file, 0};
  return openWith([this](mpg123_handle* handle) {
    return mpg123_replace_reader_handle(handle, readMemory, seekMemory, nullptr) == MPG123_OK &&
           mpg123_open_handle(handle, &memory_) == MPG123_OK;
  });
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
  if (path_.empty()) return openBytes(memory_.bytes);
  const std::filesystem::path path = path_;
  return open(path);
}

}  // namespace vantrel
