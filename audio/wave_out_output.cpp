#include "audio/wave_out_output.hpp"

namespace vantrel {

std::unique_ptr<WaveOutOutput> WaveOutOutput::open(BlockSource& source) {
  WAVEFORMATEX format{};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = pcmChannels;
  format.nSamplesPerSec = pcmRate;
  format.wBitsPerSample = 16;
  format.nBlockAlign = pcmChannels * sizeof(PcmSample);
  format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;

  const HANDLE bufferDone = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (bufferDone == nullptr) return nullptr;
  HWAVEOUT device = nullptr;
  if (waveOutOpen(&device, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(bufferDone), 0,
                  CALLBACK_EVENT) != MMSYSERR_NOERROR) {
    CloseHandle(bufferDone);
    return nullptr;
  }
  return std::unique_ptr<WaveOutOutput>(new WaveOutOutput(source, device, bufferDone));
}

WaveOutOutput::WaveOutOutput(BlockSource& source, HWAVEOUT device, HANDLE bufferDone)
    : source_(source), device_(device), bufferDone_(bufferDone) {
  for (std::size_t i = 0; i < bufferCount; ++i) {
    headers_[i].lpData = reinterpret_cast<LPSTR>(buffers_[i].data());
    headers_[i].dwBufferLength = static_cast<DWORD>(sizeof buffers_[i]);
    waveOutPrepareHeader(device_, &headers_[i], sizeof(WAVEHDR));
  }
}

WaveOutOutput::~WaveOutOutput() {
  stopping_.store(true, std::memory_order_relaxed);
  SetEvent(bufferDone_);
  if (thread_.joinable()) thread_.join();
  // Once reset returns, the device holds no buffer of ours.
  waveOutReset(device_);
  for (WAVEHDR& header : headers_) waveOutUnprepareHeader(device_, &header, sizeof(WAVEHDR));
  waveOutClose(device_);
  CloseHandle(bufferDone_);
}

void WaveOutOutput::queue(WAVEHDR& header) {
  source_.fill(reinterpret_cast<PcmSample*>(header.lpData), bufferFrames);
  waveOutWrite(device_, &header, sizeof(WAVEHDR));
}

void WaveOutOutput::start() {
  if (thread_.joinable()) return;
  for (WAVEHDR& header : headers_) queue(header);
  thread_ = std::thread([this] { run(); });
}

std::chrono::nanoseconds WaveOutOutput::playDelay() const {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
      FrameTicks{static_cast<std::int64_t>((bufferCount - 1) * bufferFrames)});
}

void WaveOutOutput::run() {
  while (!stopping_.load(std::memory_order_relaxed)) {
    WaitForSingleObject(bufferDone_, INFINITE);
    for (WAVEHDR& header : headers_) {
      if (stopping_.load(std::memory_order_relaxed)) return;
      if ((header.dwFlags & WHDR_DONE) != 0) queue(header);
    }
  }
}

}  // namespace vantrel
