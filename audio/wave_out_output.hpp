#pragma once
// The Windows sound device through waveOut: a few buffers queued on the
// device and refilled, on a thread of our own, each time the device is done
// with one.

// The multimedia headers need windows.h first.
// clang-format off
#include <windows.h>
#include <mmsystem.h>
// clang-format on

#include <array>
#include <atomic>
#include <memory>
#include <thread>

#include "audio/audio_output.hpp"

namespace vantrel {

class WaveOutOutput final : public AudioOutput {
 public:
  // The default device playing 44100 Hz stereo; null when none opens.
  static std::unique_ptr<WaveOutOutput> open(BlockSource& source);
  ~WaveOutOutput() override;
  WaveOutOutput(const WaveOutOutput&) = delete;
  WaveOutOutput& operator=(const WaveOutOutput&) = delete;

  void start() override;
  // A refilled buffer plays after the others still queued.
  std::chrono::nanoseconds playDelay() const override;

 private:
  // 186 ms queued in all: under wine, 4 buffers (93 ms) ran dry whenever
  // the machine was busy, and the music slipped.
  static constexpr std::size_t bufferCount = 8;
  static constexpr std::size_t bufferFrames = 1024;  // about 23 ms each

  WaveOutOutput(BlockSource& source, HWAVEOUT device, HANDLE bufferDone);
  void queue(WAVEHDR& header);
  void run();

  BlockSource& source_;
  HWAVEOUT device_;
  HANDLE bufferDone_;  // signalled by the device when it is done with a buffer
  std::array<std::array<PcmSample, bufferFrames * pcmChannels>, bufferCount> buffers_{};
  std::array<WAVEHDR, bufferCount> headers_{};
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

}  // namespace vantrel
