#pragma once
// The running spectrum of the music: written by the audio thread, read in
// place by the frame loop. Each entry is atomic (relaxed) so the two threads
// share it without a lock and without a data race.

#include <array>
#include <atomic>

namespace vantrel {

using SpectrumEntry = std::atomic<float>;
inline constexpr int spectrumSize = 512;
using SpectrumArray = std::array<SpectrumEntry, spectrumSize>;

inline float readEntry(const SpectrumEntry* spectrum, int index) {
  return spectrum[index].load(std::memory_order_relaxed);
}

}  // namespace vantrel
