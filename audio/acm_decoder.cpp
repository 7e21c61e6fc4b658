#include "audio/acm_decoder.hpp"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <system_error>

namespace vantrel {

namespace {

// Larger files are not music this demo ships; refusing them keeps a wrong
// file from taking the memory.
constexpr std::uintmax_t largestMusicFile = 256U * 1024U * 1024U;

bool readWholeFile(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return false;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error || size == 0 || size > largestMusicFile) return false;
  std::ifstream in(path, std::ios::binary);
  bytes.resize(static_cast<std::size_t>(size));
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
  return static_cast<std::uintmax_t>(in.gcount()) == size;
}

MPEGLAYER3WAVEFORMAT mp3Format(const Mp3FrameHeader& frame) {
  MPEGLAYER3WAVEFORMAT format{};
  format.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
  format.wfx.nChannels = static_cast<WORD>(frame.channels);
  format.wfx.nSamplesPerSec = static_cast<DWORD>(frame.sampleRate);
  format.wfx.nAvgBytesPerSec = static_cast<DWORD>(frame.bitrate / 8);
  format.wfx.nBlockAlign = 1;
  format.wfx.wBitsPerSample = 0;
  format.wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
  format.wID = MPEGLAYER3_ID_MPEG;
  format.fdwFlags = MPEGLAYER3_FLAG_PADDING_ISO;
  format.nBlockSize = static_cast<WORD>(frame.frameBytes);
  format.nFramesPerBlock = 1;
  format.nCodecDelay = 0;
  return format;
}

WAVEFORMATEX pcmFormat(const Mp3FrameHeader& frame) {
  WAVEFORMATEX format{};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = static_cast<WORD>(frame.channels);
  format.nSamplesPerSec = static_cast<DWORD>(frame.sampleRate);
  format.wBitsPerSample = 16;
  format.nBlockAlign = static_cast<WORD>(frame.channels * 2);
  format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
  return format;
}

}  // namespace

AcmDecoder::~AcmDecoder() {
  closeStream();
}

bool AcmDecoder::open(const std::filesystem::path& path) {
  closeStream();
  file_ = {};
  fileRead_.clear();
  if (!readWholeFile(path, fileRead_)) return false;
  return openBytes(fileRead_);
}

bool AcmDecoder::openBytes(std::span<const std::uint8_t> file) {
  closeStream();
  file_ = file;
  stream_ = {};
  const auto stream = scanMp3Stream(file_);
  if (!stream) return false;
  stream_ = *stream;
  return rewind();
}

bool AcmDecoder::openStream() {
  closeStream();
  MPEGLAYER3WAVEFORMAT source = mp3Format(stream_.format);
  WAVEFORMATEX target = pcmFormat(stream_.format);
  if (acmStreamOpen(&acm_, nullptr, &source.wfx, &target, nullptr, 0, 0,
                    ACM_STREAMOPENF_NONREALTIME) != MMSYSERR_NOERROR) {
    acm_ = nullptr;
    return false;
  }
  // Every buffer is sized once, here, for the largest frame of the file.
  DWORD outputBytes = 0;
  if (acmStreamSize(acm_, static_cast<DWORD>(stream_.largestFrame), &outputBytes,
                    ACM_STREAMSIZEF_SOURCE) != MMSYSERR_NOERROR ||
      outputBytes == 0) {
    closeStream();
    return false;
  }
  input_.assign(stream_.largestFrame, 0);
  decoded_.assign(outputBytes / sizeof(PcmSample) + 1, 0);
  converter_.reset(stream_.format.sampleRate, stream_.format.channels);
  const std::size_t decodedFrames = outputBytes / (sizeof(PcmSample) * 2 * 1) + 1;
  ready_.assign(converter_.maxOutputFrames(decodedFrames) * pcmChannels, 0);

  header_ = {};
  header_.cbStruct = sizeof header_;
  header_.pbSrc = input_.data();
  header_.cbSrcLength = static_cast<DWORD>(input_.size());
  header_.pbDst = reinterpret_cast<LPBYTE>(decoded_.data());
  header_.cbDstLength = outputBytes;
  if (acmStreamPrepareHeader(acm_, &header_, 0) != MMSYSERR_NOERROR) {
    closeStream();
    return false;
  }
  headerPrepared_ = true;
  started_ = false;
  return true;
}

void AcmDecoder::closeStream() {
  if (acm_ == nullptr) return;
  if (headerPrepared_) {
    header_.cbSrcLength = static_cast<DWORD>(input_.size());
    acmStreamUnprepareHeader(acm_, &header_, 0);
    headerPrepared_ = false;
  }
  acmStreamClose(acm_, 0);
  acm_ = nullptr;
}

bool AcmDecoder::rewind() {
  nextFrame_ = 0;
  decodedFrames_ = 0;
  readyAt_ = readyEnd_ = 0;
  finished_ = false;
  // A fresh stream forgets the last pass's bit reservoir.
  return !stream_.frames.empty() && openStream();
}

void AcmDecoder::keepTrimmed(const PcmSample* decoded, std::size_t frames) {
  const std::int64_t first = decodedFrames_;
  decodedFrames_ += static_cast<std::int64_t>(frames);
  const std::int64_t keepFrom = std::max(first, stream_.skippedSamples);
  const std::int64_t keepTo =
      std::min(decodedFrames_, stream_.skippedSamples + stream_.keptSamples);
  if (keepTo <= keepFrom) return;
  const auto channels = static_cast<std::size_t>(stream_.format.channels);
  const PcmSample* kept = decoded + static_cast<std::size_t>(keepFrom - first) * channels;
  readyEnd_ = converter_.convert(kept, static_cast<std::size_t>(keepTo - keepFrom), ready_.data());
  readyAt_ = 0;
}

bool AcmDecoder::decodeNextFrame() {
  readyAt_ = readyEnd_ = 0;
  const bool pastTrack = decodedFrames_ >= stream_.skippedSamples + stream_.keptSamples;
  if (nextFrame_ >= stream_.frames.size() || pastTrack) {
    if (finished_) return false;
    finished_ = true;
    readyEnd_ = converter_.finish(ready_.data());
    return readyEnd_ > 0;
  }
  const Mp3FrameSpan frame = stream_.frames[nextFrame_++];
  std::memcpy(input_.data(), file_.data() + frame.offset, frame.bytes);
  header_.cbSrcLength = static_cast<DWORD>(frame.bytes);
  header_.cbDstLengthUsed = 0;
  const DWORD flags = ACM_STREAMCONVERTF_BLOCKALIGN | (started_ ? 0 : ACM_STREAMCONVERTF_START);
  started_ = true;
  // A frame the codec rejects is skipped: the track plays on without it.
  if (acmStreamConvert(acm_, &header_, flags) != MMSYSERR_NOERROR) return true;
  const auto frameBytes = sizeof(PcmSample) * static_cast<std::size_t>(stream_.format.channels);
  keepTrimmed(decoded_.data(), header_.cbDstLengthUsed / frameBytes);
  return true;
}

std::size_t AcmDecoder::read(PcmSample* out, std::size_t frames) {
  if (acm_ == nullptr) return 0;
  std::size_t written = 0;
  while (written < frames) {
    if (readyAt_ == readyEnd_ && !decodeNextFrame()) break;
    const std::size_t count = std::min(frames - written, readyEnd_ - readyAt_);
    std::copy_n(ready_.data() + readyAt_ * pcmChannels, count * pcmChannels,
                out + written * pcmChannels);
    readyAt_ += count;
    written += count;
  }
  return written;
}

}  // namespace vantrel
