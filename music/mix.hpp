#pragma once
// The track's mixing desk: one bus per group of instruments, and the
// mixdown that pumps them with the kick, sends them to the echo and the
// room, lifts the presence and limits the peaks.

#include <cstdint>
#include <vector>

#include "music/instruments.hpp"
#include "music/loop_buffer.hpp"

namespace vantrel::compose {

struct Mix {
  explicit Mix(std::size_t frames)
      : kick(frames),
        drums(frames),
        bass(frames),
        pad(frames),
        arp(frames),
        lead(frames),
        effects(frames) {}

  LoopBuffer kick;
  LoopBuffer drums;  // everything else the drummer plays
  LoopBuffer bass;
  LoopBuffer pad;
  LoopBuffer arp;
  LoopBuffer lead;           // the hook and the bells
  LoopBuffer effects;        // the risers
  std::vector<Frame> kicks;  // where the kick hits, for the pump
  // The desk's fader, bar by bar (decibels, 0 = as mixed), ridden before the
  // limiter: the sections' loudness, which the limiter alone would even out.
  std::vector<double> barLevels;
};

// The finished track, interleaved stereo 16-bit. Every effect runs round
// the loop, so the end flows into the start without a seam.
std::vector<std::int16_t> mixDown(Mix& mix, Frame sixteenth, Frame bar);

}  // namespace vantrel::compose
