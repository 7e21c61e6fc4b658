// The Windows audio pieces.

#include <windows.h>

#include <string>

#include "audio/audio_backend.hpp"

namespace vantrel {

namespace {

// Stands in until the Windows decoder lands: no file opens, so the layer
// runs silent with a zero spectrum.
class UnavailableDecoder final : public PcmDecoder {
 public:
  bool open(const std::filesystem::path&) override { return false; }
  std::size_t read(PcmSample*, std::size_t) override { return 0; }
  bool rewind() override { return false; }
};

}  // namespace

std::unique_ptr<PcmDecoder> makeDecoder() { return std::make_unique<UnavailableDecoder>(); }

std::unique_ptr<AudioOutput> openSoundDevice(BlockSource&) { return nullptr; }

std::filesystem::path programFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return std::filesystem::path(path).parent_path();
    }
    path.resize(path.size() * 2);
  }
}

// The Windows audio calls print nothing on the console.
LibraryChatterGuard::LibraryChatterGuard(bool) {}
LibraryChatterGuard::~LibraryChatterGuard() = default;

}  // namespace vantrel
