#include "tools/compose/score.hpp"

#include <array>
#include <initializer_list>

#include "tools/compose/instruments.hpp"
#include "tools/compose/mix.hpp"

namespace vantrel::compose {

namespace {

constexpr Frame stepFrames = beatFrames / 4;  // one sixteenth note

Frame at(int bar, double step = 0.0) {
  return bar * barFrames + static_cast<Frame>(step * static_cast<double>(stepFrames));
}

// ---------------------------------------------------------------- form

enum class Part { intro, build, main, breakdown, finale, outro };

struct Span {
  Part part;
  int first;  // first bar
  int bars;
};

constexpr std::array<Span, 6> form{{
    {Part::intro, 0, 8},
    {Part::build, 8, 8},
    {Part::main, 16, 16},
    {Part::breakdown, 32, 8},
    {Part::finale, 40, 12},
    {Part::outro, 52, 4},
}};
static_assert(form.back().first + form.back().bars == trackBars);

const Span& spanOf(int bar) {
  for (const Span& span : form) {
    if (bar < span.first + span.bars) return span;
  }
  return form.back();
}
Part partOf(int bar) {
  return spanOf(bar).part;
}
int barInPart(int bar) {
  return bar - spanOf(bar).first;
}
// 0 at the first bar of its part, rising to 1 at the last.
double progressIn(int bar) {
  const Span& span = spanOf(bar);
  return span.bars > 1 ? static_cast<double>(barInPart(bar)) / (span.bars - 1) : 0.0;
}

// The last beat before the main part and before the finale is held back:
// a breath before the drop.
bool dropGap(int bar, int step) {
  const Span& span = spanOf(bar);
  return step >= 12 && bar == span.first + span.bars - 1 &&
         (span.part == Part::build || span.part == Part::breakdown);
}

// ---------------------------------------------------------------- sound of each bar

enum class Hats { none, offbeats, eighths, sixteenths };

// Who plays in a bar, and how loud (0: silent). The levels are linear gains
// before the master; the brightnesses are filter cutoffs in Hz.
struct BarSound {
  double kick = 0;
  Hats hats = Hats::none;
  double hatLevel = 0;
  double openHats = 0;
  double shaker = 0;
  double clap = 0;
  double sub = 0;
  double bass = 0;  // the rolling offbeat bass
  double pad = 0;
  double padBrightness = 0;
  double arp = 0;
  double arpBrightness = 0;
};

BarSound soundOf(int bar) {
  const double p = progressIn(bar);
  const int inPart = barInPart(bar);
  BarSound s;
  switch (partOf(bar)) {
    case Part::intro:  // pad and shaker, then the arp, then a soft kick
      s = {.shaker = inPart < 4 ? 0.08 : 0.16,
           .sub = 0.06,
           .pad = 0.03,
           .padBrightness = 1200 + 2800 * p,
           .arp = inPart >= 2 ? 0.05 : 0,
           .arpBrightness = 600 + 2500 * p};
      if (inPart >= 4) {
        s.kick = 0.2 + 0.08 * p;
        s.hats = Hats::offbeats;
        s.hatLevel = 0.22;
      }
      break;
    case Part::build:  // the groove arrives, the filters open
      s = {.kick = 0.26,
           .hats = Hats::sixteenths,
           .hatLevel = 0.28 + 0.08 * p,
           .shaker = 0.28,
           .clap = 0.16,
           .sub = 0.085,
           .bass = 0.08,
           .pad = 0.03,
           .padBrightness = 4000 + 1000 * p,
           .arp = 0.13,
           .arpBrightness = 4000 + 2000 * p};
      break;
    case Part::main:
      s = {.kick = 0.26,
           .hats = Hats::sixteenths,
           .hatLevel = 0.36,
           .openHats = 0.14,
           .shaker = 0.3,
           .clap = 0.16,
           .sub = 0.085,
           .bass = 0.08,
           .pad = 0.03,
           .padBrightness = 5000,
           .arp = 0.15,
           .arpBrightness = 6000};
      break;
    case Part::breakdown:  // no drums but the shaker; bells over open chords
      s = {.shaker = 0.15,
           .sub = 0.07,
           .pad = 0.022,
           .padBrightness = 3000,
           .arp = 0.05,
           .arpBrightness = 2500};
      if (inPart >= 4) {
        s.hats = Hats::eighths;
        s.hatLevel = 0.12 + 0.1 * p;
      }
      break;
    case Part::finale:  // the main part, brighter, the hook an octave up at the end
      s = {.kick = 0.26,
           .hats = Hats::sixteenths,
           .hatLevel = 0.36,
           .openHats = 0.16,
           .shaker = 0.3,
           .clap = 0.16,
           .sub = 0.085,
           .bass = 0.08,
           .pad = 0.03,
           .padBrightness = 6000,
           .arp = 0.15,
           .arpBrightness = 6500};
      break;
    case Part::outro:  // the groove leaves, the filters close into the intro
      s = {.shaker = 0.2 - 0.1 * p,
           .sub = 0.09,
           .pad = 0.03,
           .padBrightness = 5000 - 3800 * p,
           .arp = 0.12,
           .arpBrightness = 5000 - 4000 * p};
      if (inPart < 2) {
        s.kick = 0.28;
        s.hats = Hats::eighths;
        s.hatLevel = 0.24;
        s.clap = 0.14;
        s.bass = 0.07;
      }
      break;
  }
  return s;
}

// ---------------------------------------------------------------- harmony

struct Chord {
  int root;                // the bass note, around 40-80 Hz
  std::array<int, 5> pad;  // the voicing around middle C
};

// Am9, Fmaj9, Cadd9, G6: the four bars of everything but the break.
constexpr std::array<Chord, 4> mainChords{{
    {33, {57, 60, 64, 67, 71}},
    {29, {53, 57, 60, 64, 67}},
    {36, {55, 60, 64, 67, 74}},
    {31, {55, 59, 62, 64, 71}},
}};
// Dm9, Am, Fmaj7, E7: the break, ending on the dominant that pulls back home.
constexpr std::array<Chord, 4> breakChords{{
    {38, {50, 53, 57, 60, 64}},
    {33, {52, 57, 60, 64, 69}},
    {29, {53, 57, 60, 64, 65}},
    {40, {52, 56, 59, 62, 64}},
}};

const Chord& chordOf(int bar) {
  const auto index = static_cast<std::size_t>(bar % 4);
  return partOf(bar) == Part::breakdown ? breakChords[index] : mainChords[index];
}

// ---------------------------------------------------------------- melody

struct Note {
  int bar;  // from the start of the phrase
  int step;
  int steps;  // length in sixteenths
  int pitch;
};

// The hook: eight bars over the main chords, the second half climbing.
constexpr std::array<Note, 46> hook{{
    {0, 0, 2, 76}, {0, 2, 2, 81}, {0, 4, 2, 79},  {0, 6, 4, 76},  {0, 10, 2, 74}, {0, 12, 4, 76},
    {1, 0, 2, 72}, {1, 2, 2, 77}, {1, 4, 2, 76},  {1, 6, 4, 72},  {1, 10, 2, 69}, {1, 12, 4, 72},
    {2, 0, 2, 79}, {2, 2, 2, 76}, {2, 4, 2, 74},  {2, 6, 4, 72},  {2, 10, 2, 74}, {2, 12, 4, 76},
    {3, 0, 6, 74}, {3, 6, 2, 71}, {3, 8, 4, 67},  {3, 12, 2, 71}, {3, 14, 2, 74}, {4, 0, 2, 76},
    {4, 2, 2, 81}, {4, 4, 2, 79}, {4, 6, 4, 76},  {4, 10, 2, 74}, {4, 12, 4, 76}, {5, 0, 2, 72},
    {5, 2, 2, 77}, {5, 4, 2, 76}, {5, 6, 4, 72},  {5, 10, 2, 69}, {5, 12, 4, 72}, {6, 0, 2, 79},
    {6, 2, 2, 81}, {6, 4, 2, 83}, {6, 6, 4, 84},  {6, 10, 2, 83}, {6, 12, 4, 79}, {7, 0, 4, 83},
    {7, 4, 4, 81}, {7, 8, 4, 79}, {7, 12, 4, 76},
}};

struct Strike {
  int step;
  int pitch;
};

// Bells answering over the break chords; the second time round the last
// bar climbs into the finale.
std::initializer_list<Strike> bellsFor(int barInBreak) {
  static constexpr std::initializer_list<Strike> dm{{0, 81}, {3, 77}, {6, 76}, {8, 74}, {12, 76}};
  static constexpr std::initializer_list<Strike> am{{0, 84}, {3, 83}, {6, 81}, {8, 76}, {12, 81}};
  static constexpr std::initializer_list<Strike> f{{0, 81}, {3, 79}, {6, 77}, {8, 72}, {12, 76}};
  static constexpr std::initializer_list<Strike> e{{0, 80}, {3, 76}, {6, 74}, {8, 71}, {12, 68}};
  static constexpr std::initializer_list<Strike> rise{{0, 80}, {4, 83}, {8, 86}, {12, 88}};
  switch (barInBreak) {
    case 0:
    case 4:
      return dm;
    case 1:
    case 5:
      return am;
    case 2:
    case 6:
      return f;
    case 3:
      return e;
    default:
      return rise;
  }
}

// ---------------------------------------------------------------- writing the parts

struct Player {
  Mix& mix;
  std::uint32_t seed = 1;  // every noise hit gets noise of its own
  std::uint32_t nextSeed() { return seed++; }
};

void writeDrums(Player& player, int bar) {
  Mix& mix = player.mix;
  const BarSound s = soundOf(bar);
  for (int step = 0; step < 16; ++step) {
    if (dropGap(bar, step)) continue;
    const bool beat = step % 4 == 0;
    const bool offbeat = step % 4 == 2;
    if (beat && s.kick > 0) {
      playKick(mix.kick, at(bar, step), s.kick);
      mix.kicks.push_back(at(bar, step));
    }
    if ((step == 4 || step == 12) && s.clap > 0) {
      playClap(mix.drums, at(bar, step), s.clap, player.nextSeed());
    }
    const bool hat = (s.hats == Hats::offbeats && offbeat) ||
                     (s.hats == Hats::eighths && step % 2 == 0) || s.hats == Hats::sixteenths;
    if (hat) {
      const double accent = offbeat ? 1.0 : (step % 2 == 1 ? 0.55 : 0.4);
      playClosedHat(mix.drums, at(bar, step), s.hatLevel * accent, -0.35, player.nextSeed());
    }
    if (offbeat && s.openHats > 0) {
      playOpenHat(mix.drums, at(bar, step), s.openHats, 0.3, player.nextSeed());
    }
    // The shaker plays every sixteenth, loosely: the off-sixteenths drag.
    const double accent = step % 2 == 1 ? 1.0 : 0.6;
    const double drag = step % 2 == 1 ? 0.08 : 0.0;
    playShaker(mix.drums, at(bar, step + drag), s.shaker * accent, 0.45, player.nextSeed());
  }
}

// Sixteenths through the first bar, thirty-seconds through the second half
// of the next, rising all the way.
void writeSnareRoll(Player& player, int bar) {
  for (double step = 0; step < 32; step += (step < 24 ? 1.0 : 0.5)) {
    const double level = 0.05 + 0.07 * step / 32.0;
    playSnare(player.mix.drums, at(bar, step), level, player.nextSeed());
  }
}

void writeFillsAndCrashes(Player& player) {
  writeSnareRoll(player, 14);
  writeSnareRoll(player, 38);
  for (int bar : {23, 31, 47}) {
    for (int step = 12; step < 16; ++step) {
      playSnare(player.mix.drums, at(bar, step), 0.09, player.nextSeed());
    }
  }
  for (int bar : {16, 24, 32, 40, 48})
    playCrash(player.mix.drums, at(bar), 0.22, player.nextSeed());
}

void writeEffects(Mix& mix) {
  playAir(mix.effects, 0, trackFrames, beatFrames, 0.05, 901);
  playRiser(mix.effects, at(6), 2 * barFrames, 0.08, 902);
  playRiser(mix.effects, at(14), 2 * barFrames, 0.1, 903);
  playRiser(mix.effects, at(38), 2 * barFrames, 0.1, 904);
  // A soft one that carries the end of the track back into its start.
  playRiser(mix.effects, at(54), 2 * barFrames, 0.05, 905);
}

void writeBass(Mix& mix, int bar) {
  const BarSound s = soundOf(bar);
  const Chord& chord = chordOf(bar);
  playSubBass(mix.bass, at(bar), barFrames, chord.root, s.sub);
  if (s.bass == 0) return;
  // Offbeat eighths with a ghost sixteenth after each, every other one an
  // octave up: the roll between the kicks.
  for (int step = 2; step < 16; ++step) {
    if (step % 4 == 0 || step % 4 == 1 || dropGap(bar, step)) continue;
    const bool ghost = step % 4 == 3;
    const int pitch = chord.root + 12 + (ghost && step % 8 == 7 ? 12 : 0);
    playBass(mix.bass, at(bar, step), ghost ? stepFrames : 2 * stepFrames, pitch,
             ghost ? 0.6 * s.bass : s.bass);
  }
}

void writeChords(Mix& mix, int bar) {
  const BarSound s = soundOf(bar);
  const Chord& chord = chordOf(bar);
  playPad(mix.pad, at(bar), barFrames, chord.pad, s.padBrightness, s.pad);
  if (s.arp == 0) return;
  constexpr std::array<std::size_t, 16> pattern{0, 2, 4, 1, 3, 4, 2, 1, 0, 2, 4, 1, 3, 2, 4, 3};
  for (int step = 0; step < 16; ++step) {
    const int pitch = chord.pad[pattern[static_cast<std::size_t>(step)]] + 12;
    const double pan = step % 2 == 0 ? -0.4 : 0.4;
    playPluck(mix.arp, at(bar, step), pitch, s.arpBrightness, s.arp, pan);
  }
}

void playHook(Mix& mix, int firstBar, int bars, int transpose, double level) {
  for (const Note& note : hook) {
    if (note.bar >= bars) continue;
    const Frame length = note.steps * stepFrames - stepFrames / 4;  // a little detached
    playLead(mix.lead, at(firstBar + note.bar, note.step), length, note.pitch + transpose, level);
  }
}

void writeMelody(Mix& mix) {
  playHook(mix, 16, 8, 0, 0.11);
  playHook(mix, 24, 8, 0, 0.11);
  playHook(mix, 40, 8, 0, 0.11);
  playHook(mix, 48, 4, 12, 0.08);  // the first half again, doubled an octave up
  playHook(mix, 48, 4, 0, 0.075);
  playLead(mix.lead, at(52), 2 * barFrames, 81, 0.06);  // a long A into the outro
  for (int bar = 32; bar < 40; ++bar) {
    for (const Strike& strike : bellsFor(bar - 32)) {
      playBell(mix.lead, at(bar, strike.step), strike.pitch, 0.1);
    }
  }
}

}  // namespace

std::vector<std::int16_t> composeTrack() {
  Mix mix(static_cast<std::size_t>(trackFrames));
  Player player{mix};
  for (int bar = 0; bar < trackBars; ++bar) {
    writeDrums(player, bar);
    writeBass(mix, bar);
    writeChords(mix, bar);
  }
  writeFillsAndCrashes(player);
  writeEffects(mix);
  writeMelody(mix);
  return mixDown(mix, stepFrames);
}

}  // namespace vantrel::compose
