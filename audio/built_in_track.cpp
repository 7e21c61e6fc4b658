#include "audio/built_in_track.hpp"

// The assembler copies the MP3 file (VANTREL_BUILT_IN_TRACK, an absolute
// path given by the build) into the read-only data, between two symbols of
// our own; nothing is converted at build time. Only this file's top-level
// assembly switches sections, and it switches back before the code.
#if defined(__APPLE__)
#define VANTREL_TRACK_SECTION ".const_data"
#define VANTREL_SYMBOL(name) "_" #name
#elif defined(_WIN32)
#define VANTREL_TRACK_SECTION ".section .rdata,\"dr\""
#define VANTREL_SYMBOL(name) #name
#else
#define VANTREL_TRACK_SECTION ".section .rodata"
#define VANTREL_SYMBOL(name) #name
#endif

// clang-format off
asm(VANTREL_TRACK_SECTION "\n"
    ".balign 16\n"
    VANTREL_SYMBOL(vantrel_built_in_track_start) ":\n"
    ".incbin \"" VANTREL_BUILT_IN_TRACK "\"\n"
    VANTREL_SYMBOL(vantrel_built_in_track_end) ":\n"
    ".text\n");
// clang-format on

extern "C" const std::uint8_t vantrel_built_in_track_start[];
extern "C" const std::uint8_t vantrel_built_in_track_end[];

namespace vantrel {

std::span<const std::uint8_t> builtInTrack() {
  return {vantrel_built_in_track_start, vantrel_built_in_track_end};
}

}  // namespace vantrel
