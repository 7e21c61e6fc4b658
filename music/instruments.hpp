#pragma once
// The track's instruments. Each call plays one note (or one hit) into a
// loop buffer, starting at `start` (in frames), at `level` (linear gain).

#include <cstdint>
#include <span>

#include "music/loop_buffer.hpp"

namespace vantrel::compose {

using Frame = std::int64_t;

// Drums and noise: the top of the spectrum.
void playKick(LoopBuffer& out, Frame start, double level);
void playClap(LoopBuffer& out, Frame start, double level, std::uint32_t seed);
void playSnare(LoopBuffer& out, Frame start, double level, std::uint32_t seed);
void playClosedHat(LoopBuffer& out, Frame start, double level, double pan, std::uint32_t seed);
void playOpenHat(LoopBuffer& out, Frame start, double level, double pan, std::uint32_t seed);
void playShaker(LoopBuffer& out, Frame start, double level, double pan, std::uint32_t seed);
void playCrash(LoopBuffer& out, Frame start, double level, std::uint32_t seed);
// Band-passed noise whose centre climbs from 300 Hz to 12 kHz over `length`.
void playRiser(LoopBuffer& out, Frame start, Frame length, double level, std::uint32_t seed);

// Pitched instruments; notes are MIDI numbers (69 = A4 = 440 Hz).
void playSubBass(LoopBuffer& out, Frame start, Frame length, int note, double level);
void playBass(LoopBuffer& out, Frame start, Frame length, int note, double level);
// A chord of detuned saws; `brightness` is the filter cutoff in Hz.
void playPad(LoopBuffer& out, Frame start, Frame length, std::span<const int> notes,
             double brightness, double level);
void playPluck(LoopBuffer& out, Frame start, int note, double brightness, double level, double pan);
void playLead(LoopBuffer& out, Frame start, Frame length, int note, double level);
void playBell(LoopBuffer& out, Frame start, int note, double level);

}  // namespace vantrel::compose
