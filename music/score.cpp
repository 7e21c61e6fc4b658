#include "music/score.hpp"

#include <array>
#include <initializer_list>

#include "music/instruments.hpp"
#include "music/mix.hpp"

namespace vantrel::compose {

namespace {

constexpr Frame stepFrames = beatFrames / 4;  // one sixteenth note

Frame at(int bar, double step = 0.0) {
  return bar * barFrames + static_cast<Frame>(step * static_cast<double>(stepFrames));
}

// ---------------------------------------------------------------- form

const Section& sectionOfBar(int bar) {
  for (const Section& section : trackForm) {
    if (bar < section.first + section.bars) return section;
  }
  return trackForm.back();
}
Part partOf(int bar) {
  return sectionOfBar(bar).part;
}
int barInPart(int bar) {
  return bar - sectionOfBar(bar).first;
}
// 0 at the first bar of its part, rising to 1 at the last.
double progressIn(int bar) {
  const Section& section = sectionOfBar(bar);
  return section.bars > 1 ? static_cast<double>(barInPart(bar)) / (section.bars - 1) : 0.0;
}

// The last beat before the main part and before the finale is held back:
// a breath before the drop.
bool dropGap(int bar, int step) {
  const Section& section = sectionOfBar(bar);
  return step >= 12 && bar == section.first + section.bars - 1 &&
         (section.part == Part::build || section.part == Part::breakdown);
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
  double highPad = 0;  // the chords again an octave up: the finale's lift
};

BarSound introSound(int inPart, double p) {  // the pad alone, then the arp and the shaker
  BarSound s{.sub = inPart >= 2 ? 0.05 : 0.0,
             .pad = 0.03,
             .padBrightness = 1000 + 2500 * p,
             .arp = inPart >= 1 ? 0.05 : 0,
             .arpBrightness = 600 + 1800 * p};
  s.shaker = 0.05 + 0.07 * p;
  if (inPart >= 2) {
    s.hats = Hats::offbeats;
    s.hatLevel = 0.12;
  }
  return s;
}

BarSound buildSound(int inPart, double p) {  // the groove arrives, the filters open
  BarSound s{.kick = 0.14,
             .hats = inPart < 2 ? Hats::offbeats : Hats::sixteenths,
             .hatLevel = 0.2 + 0.1 * p,
             .shaker = 0.18,
             .sub = 0.05,
             .bass = 0.055,
             .pad = 0.03,
             .padBrightness = 3000 + 2000 * p,
             .arp = 0.1,
             .arpBrightness = 3000 + 2500 * p};
  if (inPart >= 2) s.clap = 0.14;
  return s;
}

BarSound mainSound() {
  return {.kick = 0.15,
          .hats = Hats::sixteenths,
          .hatLevel = 0.3,
          .shaker = 0.2,
          .clap = 0.15,
          .sub = 0.035,
          .bass = 0.06,
          .pad = 0.028,
          .padBrightness = 5000,
          .arp = 0.12,
          .arpBrightness = 5500};
}

BarSound breakSound(int inPart) {  // no drums but the shaker; bells over open chords
  BarSound s{.hats = Hats::eighths,
             .hatLevel = inPart >= 2 ? 0.1 : 0.07,
             .shaker = 0.06,
             .sub = 0.025,
             .pad = 0.013,
             .padBrightness = 2500,
             .arp = 0.03,
             .arpBrightness = 1800};
  return s;
}

BarSound finaleSound() {  // the main part, brighter and fuller
  BarSound s = mainSound();
  s.openHats = 0.15;
  s.hatLevel = 0.32;
  s.pad = 0.034;
  s.padBrightness = 6500;
  s.arp = 0.15;
  s.arpBrightness = 7000;
  s.highPad = 0.02;
  return s;
}

BarSound soundOf(int bar) {
  const double p = progressIn(bar);
  const int inPart = barInPart(bar);
  switch (partOf(bar)) {
    case Part::intro:
      return introSound(inPart, p);
    case Part::build:
      return buildSound(inPart, p);
    case Part::main:
      return mainSound();
    case Part::breakdown:
      return breakSound(inPart);
    case Part::finale:
      return finaleSound();
    case Part::ending:
      break;
  }
  // The cadence bar drives on; the final bar is the last chord, ringing.
  if (inPart == 0) return finaleSound();
  return {.sub = 0.06, .pad = 0.032, .padBrightness = 3500};
}

// ---------------------------------------------------------------- harmony

struct Chord {
  int root;                // the bass note, around 40-80 Hz
  std::array<int, 5> pad;  // the voicing around middle C
};

// Am9, Fmaj9, Cadd9, G6: the intro, the build and the main part.
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
// Fmaj7, G, Em7, Am(add9), voiced high and open: the finale climbs where
// the main part turned round.
constexpr std::array<Chord, 4> finaleChords{{
    {29, {60, 64, 65, 69, 72}},
    {31, {59, 62, 67, 71, 74}},
    {28, {59, 62, 64, 67, 71}},
    {33, {60, 64, 69, 71, 76}},
}};
// The cadence: Dm7 for two beats, E7 for two, then A minor to close.
constexpr Chord cadenceFour{38, {53, 57, 60, 62, 65}};
constexpr Chord cadenceFive{40, {52, 56, 59, 62, 68}};
constexpr Chord finalChord{33, {57, 60, 64, 69, 72}};

// The chord sounding at sixteenth `step` of `bar`.
const Chord& chordOf(int bar, int step = 0) {
  const auto index = static_cast<std::size_t>(barInPart(bar) % 4);
  switch (partOf(bar)) {
    case Part::breakdown:
      return breakChords[index];
    case Part::finale:
      return finaleChords[index];
    case Part::ending:
      if (bar == cadenceBar) return finalChord;
      return step < 8 ? cadenceFour : cadenceFive;
    default:
      return mainChords[index];
  }
}

// Whether one chord lasts the whole bar (all but the cadence's).
bool heldThroughBar(int bar) {
  return &chordOf(bar, 0) == &chordOf(bar, 8);
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

// The finale's answer to the hook, over its own chords: longer notes, a
// higher line, the second half climbing to the top E.
constexpr std::array<Note, 37> answer{{
    {0, 0, 3, 81},  {0, 3, 3, 84}, {0, 6, 2, 83},  {0, 8, 4, 81},  {0, 12, 4, 77}, {1, 0, 3, 79},
    {1, 3, 3, 83},  {1, 6, 2, 81}, {1, 8, 4, 79},  {1, 12, 4, 74}, {2, 0, 3, 76},  {2, 3, 3, 79},
    {2, 6, 2, 83},  {2, 8, 6, 84}, {2, 14, 2, 83}, {3, 0, 6, 81},  {3, 6, 2, 79},  {3, 8, 4, 76},
    {3, 12, 4, 72}, {4, 0, 3, 81}, {4, 3, 3, 84},  {4, 6, 2, 86},  {4, 8, 4, 88},  {4, 12, 4, 84},
    {5, 0, 3, 86},  {5, 3, 3, 83}, {5, 6, 2, 79},  {5, 8, 4, 86},  {5, 12, 4, 83}, {6, 0, 3, 83},
    {6, 3, 3, 84},  {6, 6, 2, 86}, {6, 8, 4, 88},  {6, 12, 4, 91}, {7, 0, 8, 88},  {7, 8, 4, 84},
    {7, 12, 4, 81},
}};

// The cadence: down from the top through D and B to G sharp, home on A.
constexpr std::array<Note, 5> closing{{
    {0, 0, 4, 86},
    {0, 4, 4, 84},
    {0, 8, 4, 83},
    {0, 12, 4, 80},
    {1, 0, 16, 81},
}};

struct Strike {
  int step;
  int pitch;
};

// Bells answering over the break chords; the last bar climbs into the finale.
std::initializer_list<Strike> bellsFor(int barInBreak) {
  static constexpr std::initializer_list<Strike> dm{{0, 81}, {3, 77}, {6, 76}, {8, 74}, {12, 76}};
  static constexpr std::initializer_list<Strike> am{{0, 84}, {3, 83}, {6, 81}, {8, 76}, {12, 81}};
  static constexpr std::initializer_list<Strike> f{{0, 81}, {3, 79}, {6, 77}, {8, 72}, {12, 76}};
  static constexpr std::initializer_list<Strike> rise{{0, 80}, {4, 83}, {8, 86}, {12, 88}};
  switch (barInBreak) {
    case 0:
      return dm;
    case 1:
      return am;
    case 2:
      return f;
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
    if (s.shaker > 0) {
      // The shaker plays every sixteenth, loosely: the off-sixteenths drag.
      const double accent = step % 2 == 1 ? 1.0 : 0.6;
      const double drag = step % 2 == 1 ? 0.08 : 0.0;
      playShaker(mix.drums, at(bar, step + drag), s.shaker * accent, 0.45, player.nextSeed());
    }
  }
}

// Sixteenths through the first three beats, thirty-seconds through the
// last, rising all the way; the last beat before a drop stays silent.
void writeSnareRoll(Player& player, int bar, bool toTheDrop) {
  const double end = toTheDrop ? 12.0 : 16.0;
  for (double step = 0; step < end; step += (step < 8 ? 1.0 : 0.5)) {
    const double level = 0.05 + 0.07 * step / 16.0;
    playSnare(player.mix.drums, at(bar, step), level, player.nextSeed());
  }
}

void writeFillsAndCrashes(Player& player) {
  const Section& build = sectionOf(Part::build);
  const Section& breakdown = sectionOf(Part::breakdown);
  const Section& finale = sectionOf(Part::finale);
  writeSnareRoll(player, build.first + build.bars - 1, true);
  writeSnareRoll(player, breakdown.first + breakdown.bars - 1, true);
  for (int bar : {sectionOf(Part::main).first + 3, finale.first + 3, finale.first + 7}) {
    for (int step = 12; step < 16; ++step) {
      playSnare(player.mix.drums, at(bar, step), 0.09, player.nextSeed());
    }
  }
  for (double step = 8; step < 16; step += 1.0) {  // into the last chord
    playSnare(player.mix.drums, at(cadenceBar - 1, step), 0.06 + 0.01 * (step - 8),
              player.nextSeed());
  }
  for (int bar : {sectionOf(Part::main).first, sectionOf(Part::main).first + 4, finale.first,
                  finale.first + 4}) {
    playCrash(player.mix.drums, at(bar), 0.2, player.nextSeed());
  }
  playCrash(player.mix.drums, at(cadenceBar), 0.24, player.nextSeed());
  playKick(player.mix.kick, at(cadenceBar), 0.24);
  player.mix.kicks.push_back(at(cadenceBar));
}

void writeEffects(Mix& mix) {
  const Section& build = sectionOf(Part::build);
  const Section& breakdown = sectionOf(Part::breakdown);
  playRiser(mix.effects, at(build.first + 2), 2 * barFrames, 0.08, 902);
  playRiser(mix.effects, at(breakdown.first + 2), 2 * barFrames, 0.06, 904);
}

void writeBass(Mix& mix, int bar) {
  const BarSound s = soundOf(bar);
  if (s.sub > 0) {
    const bool held = heldThroughBar(bar);
    for (int half = 0; half < (held ? 1 : 2); ++half) {  // the cadence changes chord halfway
      playSubBass(mix.bass, at(bar, 8 * half), held ? barFrames : barFrames / 2,
                  chordOf(bar, 8 * half).root, s.sub);
    }
  }
  if (s.bass == 0) return;
  // Offbeat eighths with a ghost sixteenth after each, every other one an
  // octave up: the roll between the kicks.
  for (int step = 2; step < 16; ++step) {
    if (step % 4 == 0 || step % 4 == 1 || dropGap(bar, step)) continue;
    const bool ghost = step % 4 == 3;
    const int pitch = chordOf(bar, step).root + 12 + (ghost && step % 8 == 7 ? 12 : 0);
    playBass(mix.bass, at(bar, step), ghost ? stepFrames : 2 * stepFrames, pitch,
             ghost ? 0.6 * s.bass : s.bass);
  }
}

// The arp's order through the five notes of the voicing; the finale's runs
// upward in threes against the beat.
constexpr std::array<std::size_t, 16> arpPattern{0, 2, 4, 1, 3, 4, 2, 1, 0, 2, 4, 1, 3, 2, 4, 3};
constexpr std::array<std::size_t, 16> finaleArpPattern{0, 1, 3, 1, 2, 4, 2, 3,
                                                       0, 3, 4, 1, 4, 2, 3, 4};

void writeChords(Mix& mix, int bar) {
  const BarSound s = soundOf(bar);
  const bool held = heldThroughBar(bar);
  for (int half = 0; half < (held ? 1 : 2); ++half) {
    playPad(mix.pad, at(bar, 8 * half), held ? barFrames : barFrames / 2,
            chordOf(bar, 8 * half).pad, s.padBrightness, s.pad);
  }
  const bool finale = partOf(bar) == Part::finale || partOf(bar) == Part::ending;
  const auto& pattern = finale ? finaleArpPattern : arpPattern;
  for (int step = 0; step < 16 && s.arp > 0; ++step) {
    const int pitch = chordOf(bar, step).pad[pattern[static_cast<std::size_t>(step)]] + 12;
    const double pan = step % 2 == 0 ? -0.4 : 0.4;
    playPluck(mix.arp, at(bar, step), pitch, s.arpBrightness, s.arp, pan);
  }
  if (s.highPad > 0) {
    std::array<int, 5> octaveUp = chordOf(bar).pad;
    for (int& note : octaveUp) note += 12;
    playPad(mix.pad, at(bar), barFrames, octaveUp, 7000, s.highPad);
  }
}

void playPhrase(Mix& mix, std::span<const Note> notes, int firstBar, int transpose, double level) {
  for (const Note& note : notes) {
    const Frame length = note.steps * stepFrames - stepFrames / 4;  // a little detached
    playLead(mix.lead, at(firstBar + note.bar, note.step), length, note.pitch + transpose, level);
  }
}

void writeMelody(Mix& mix) {
  const Section& main = sectionOf(Part::main);
  const Section& breakdown = sectionOf(Part::breakdown);
  const Section& finale = sectionOf(Part::finale);
  playPhrase(mix, hook, main.first, 0, 0.09);
  // The answer, doubled an octave down; its last note leans into the cadence.
  playPhrase(mix, answer, finale.first, 0, 0.11);
  playPhrase(mix, answer, finale.first, -12, 0.05);
  playPhrase(mix, closing, cadenceBar - 1, 0, 0.09);
  for (int bar = breakdown.first; bar < breakdown.first + breakdown.bars; ++bar) {
    for (const Strike& strike : bellsFor(bar - breakdown.first)) {
      playBell(mix.lead, at(bar, strike.step), strike.pitch, 0.05);
    }
  }
  // Bells down the last chord, softer each time.
  constexpr std::array<Strike, 4> lastBells{{{0, 88}, {4, 84}, {8, 81}, {12, 76}}};
  for (const Strike& strike : lastBells) {
    playBell(mix.lead, at(cadenceBar, strike.step), strike.pitch, 0.06 - 0.01 * strike.step / 4);
  }
}

// The sections' levels on the desk (dB): the break steps back, the finale
// steps forward.
void writeFader(Mix& mix) {
  for (int bar = 0; bar < trackBars; ++bar) {
    switch (partOf(bar)) {
      case Part::intro:
        mix.barLevels.push_back(-1.0);
        break;
      case Part::breakdown:
        mix.barLevels.push_back(-2.0);
        break;
      case Part::finale:
      case Part::ending:
        mix.barLevels.push_back(2.0);
        break;
      default:
        mix.barLevels.push_back(-0.7);
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
  writeFader(mix);
  return mixDown(mix, stepFrames, barFrames);
}

}  // namespace vantrel::compose
