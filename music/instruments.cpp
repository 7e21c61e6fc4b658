#include "music/instruments.hpp"

#include "music/dsp.hpp"

namespace vantrel::compose {

namespace {

Frame framesOf(double seconds) {
  return static_cast<Frame>(seconds * sampleRate);
}
double secondsOf(Frame frames) {
  return static_cast<double>(frames) / sampleRate;
}

// Plays `frames` frames of a mono voice, placed by `pan`.
template <typename Voice>
void render(LoopBuffer& out, Frame start, Frame frames, double pan, Voice voice) {
  const Pan place(pan);
  for (Frame i = 0; i < frames; ++i) {
    const double sample = voice(secondsOf(i));
    out.add(start + i, sample * place.left, sample * place.right);
  }
}

// Plays a stereo voice that returns its left and right through references.
template <typename Voice>
void renderStereo(LoopBuffer& out, Frame start, Frame frames, Voice voice) {
  for (Frame i = 0; i < frames; ++i) {
    double left = 0.0;
    double right = 0.0;
    voice(secondsOf(i), left, right);
    out.add(start + i, left, right);
  }
}

// Noise through a band-pass (for body) and a high-pass (for sizzle).
// The very top is cut above 14 kHz: it only hisses.
struct NoiseVoice {
  WhiteNoise noise;
  Filter band;
  Filter high;
  Filter top;
  NoiseVoice(std::uint32_t seed, double bandHz, double bandQ, double highHz) : noise(seed) {
    band.tune(bandHz, bandQ);
    high.tune(highHz, 0.7);
    top.tune(14000.0, 0.7);
  }
  // Softly saturated: the rare tall peaks of noise are rounded off, so the
  // hits sound denser and leave the mix more headroom.
  double next(double bandMix) {
    constexpr double drive = 2.5;
    const double white = noise.next();
    const double shaped = bandMix * band.bandPass(white) + (1.0 - bandMix) * high.highPass(white);
    return 1.5 * std::tanh(drive * top.lowPass(shaped)) / drive;
  }
};

}  // namespace

void playKick(LoopBuffer& out, Frame start, double level) {
  Phase phase;
  WhiteNoise click(17);
  Filter clickTone;
  clickTone.tune(3000.0, 0.8);
  const Envelope body{0.0015, 0.01, 0.26};
  render(out, start, framesOf(body.length()), 0.0, [&](double t) {
    phase.setFrequency(50.0 + 95.0 * std::exp(-t / 0.035) + 30.0 * std::exp(-t / 0.006));
    phase.advance();
    const double thump = sineWave(phase) * body.level(t);
    const double snap = clickTone.bandPass(click.next()) * std::exp(-t / 0.004);
    return level * (thump + 0.6 * snap);
  });
}

void playClap(LoopBuffer& out, Frame start, double level, std::uint32_t seed) {
  NoiseVoice voice(seed, 1400.0, 1.1, 2500.0);
  render(out, start, framesOf(0.35), 0.0, [&](double t) {
    // Three quick slaps, then the room.
    double shape = std::exp(-t / 0.16);
    for (double slap : {0.0, 0.011, 0.022}) {
      if (t >= slap && t < slap + 0.01) shape = std::max(shape, std::exp(-(t - slap) / 0.004));
    }
    return level * shape * voice.next(0.7) * 2.5;
  });
}

void playSnare(LoopBuffer& out, Frame start, double level, std::uint32_t seed) {
  NoiseVoice voice(seed, 2200.0, 0.9, 4000.0);
  Phase body;
  body.setFrequency(196.0);
  render(out, start, framesOf(0.2), 0.0, [&](double t) {
    body.advance();
    const double tone = sineWave(body) * std::exp(-t / 0.04);
    return level * (voice.next(0.5) * 2.0 * std::exp(-t / 0.07) + 0.5 * tone);
  });
}

void playClosedHat(LoopBuffer& out, Frame start, double level, double pan, std::uint32_t seed) {
  NoiseVoice voice(seed, 9500.0, 1.2, 7000.0);
  render(out, start, framesOf(0.09), pan,
         [&](double t) { return level * voice.next(0.4) * std::exp(-t / 0.04); });
}

void playOpenHat(LoopBuffer& out, Frame start, double level, double pan, std::uint32_t seed) {
  NoiseVoice voice(seed, 8500.0, 1.0, 6500.0);
  const Envelope shape{0.002, 0.02, 0.32};
  render(out, start, framesOf(shape.length()), pan,
         [&](double t) { return level * voice.next(0.5) * shape.level(t); });
}

void playShaker(LoopBuffer& out, Frame start, double level, double pan, std::uint32_t seed) {
  NoiseVoice voice(seed, 6200.0, 0.9, 8000.0);
  const Envelope shape{0.012, 0.0, 0.11};
  render(out, start, framesOf(shape.length()), pan,
         [&](double t) { return level * voice.next(0.7) * 1.4 * shape.level(t); });
}

void playCrash(LoopBuffer& out, Frame start, double level, std::uint32_t seed) {
  NoiseVoice left(seed, 5200.0, 0.6, 3500.0);
  NoiseVoice right(seed + 1000U, 5600.0, 0.6, 3500.0);
  const Envelope shape{0.001, 0.05, 2.4};
  renderStereo(out, start, framesOf(shape.length()), [&](double t, double& l, double& r) {
    const double gain = level * shape.level(t);
    l = gain * left.next(0.5);
    r = gain * right.next(0.5);
  });
}

void playRiser(LoopBuffer& out, Frame start, Frame length, double level, std::uint32_t seed) {
  WhiteNoise left(seed);
  WhiteNoise right(seed + 77U);
  Filter leftBand;
  Filter rightBand;
  const double seconds = secondsOf(length);
  renderStereo(out, start, length, [&](double t, double& l, double& r) {
    const double progress = t / seconds;
    const double centre = 300.0 * std::pow(40.0, progress);
    if (static_cast<Frame>(t * sampleRate) % 32 == 0) {
      leftBand.tune(centre, 2.5);
      rightBand.tune(centre * 1.04, 2.5);
    }
    const double gain = level * progress * progress * 2.0;
    l = gain * leftBand.bandPass(left.next());
    r = gain * rightBand.bandPass(right.next());
  });
}

void playSubBass(LoopBuffer& out, Frame start, Frame length, int note, double level) {
  Phase phase;
  phase.setFrequency(noteFrequency(note));
  const Envelope shape{0.01, secondsOf(length) - 0.01, 0.08};
  render(out, start, framesOf(shape.length()), 0.0, [&](double t) {
    phase.advance();
    const double wave = sineWave(phase);
    return level * shape.level(t) * (wave + 0.15 * wave * wave * wave);
  });
}

void playBass(LoopBuffer& out, Frame start, Frame length, int note, double level) {
  Phase saw;
  Phase sub;
  saw.setFrequency(noteFrequency(note));
  sub.setFrequency(noteFrequency(note - 12));
  Filter tone;
  const Envelope shape{0.003, secondsOf(length) * 0.6, 0.12};
  int counter = 0;
  render(out, start, framesOf(shape.length()), 0.0, [&](double t) {
    if (counter++ % 16 == 0) tone.tune(180.0 + 2200.0 * std::exp(-t / 0.06), 1.3);
    saw.advance();
    sub.advance();
    return level * shape.level(t) * tone.lowPass(0.7 * sawWave(saw) + 0.5 * squareWave(sub));
  });
}

void playPad(LoopBuffer& out, Frame start, Frame length, std::span<const int> notes,
             double brightness, double level) {
  const Envelope shape{0.35, secondsOf(length) - 0.35, 1.1};
  constexpr double detune[3] = {-0.11, 0.0, 0.12};
  constexpr double spread[3] = {-0.8, 0.0, 0.8};
  for (std::size_t n = 0; n < notes.size(); ++n) {
    for (int v = 0; v < 3; ++v) {
      Phase phase(0.37 * static_cast<double>(v) + 0.21 * static_cast<double>(n));
      phase.setFrequency(noteFrequency(notes[n] + detune[v]));
      Filter tone;
      tone.tune(brightness, 0.8);
      render(out, start, framesOf(shape.length()), spread[v], [&](double t) {
        phase.advance();
        return level * shape.level(t) * tone.lowPass(sawWave(phase));
      });
    }
  }
}

void playPluck(LoopBuffer& out, Frame start, int note, double brightness, double level,
               double pan) {
  Phase saw;
  Phase square(0.25);
  saw.setFrequency(noteFrequency(note));
  square.setFrequency(noteFrequency(note) * 1.003);
  Filter tone;
  const Envelope shape{0.002, 0.0, 0.32};
  int counter = 0;
  render(out, start, framesOf(shape.length()), pan, [&](double t) {
    if (counter++ % 16 == 0) tone.tune(500.0 + brightness * std::exp(-t / 0.07), 1.6);
    saw.advance();
    square.advance();
    return level * shape.level(t) * tone.lowPass(0.6 * sawWave(saw) + 0.4 * squareWave(square));
  });
}

void playLead(LoopBuffer& out, Frame start, Frame length, int note, double level) {
  Phase left;
  Phase right;
  Phase low;
  Filter leftTone;
  Filter rightTone;
  const Envelope shape{0.012, secondsOf(length) - 0.03, 0.22};
  int counter = 0;
  renderStereo(out, start, framesOf(shape.length()), [&](double t, double& l, double& r) {
    // Vibrato that eases in after the note has sounded plainly.
    const double depth = std::clamp((t - 0.18) / 0.3, 0.0, 1.0) * 0.12;
    const double bend = depth * std::sin(twoPi * 5.3 * t);
    left.setFrequency(noteFrequency(note + bend - 0.07));
    right.setFrequency(noteFrequency(note + bend + 0.07));
    low.setFrequency(noteFrequency(note + bend - 12.0));
    if (counter++ % 16 == 0) {
      const double cutoff = 4000.0 + 3000.0 * std::exp(-t / 0.15);
      leftTone.tune(cutoff, 1.0);
      rightTone.tune(cutoff * 1.05, 1.0);
    }
    left.advance();
    right.advance();
    low.advance();
    const double gain = level * shape.level(t);
    const double body = 0.35 * squareWave(low);
    l = gain * leftTone.lowPass(sawWave(left) + body);
    r = gain * rightTone.lowPass(sawWave(right) + body);
  });
}

void playBell(LoopBuffer& out, Frame start, int note, double level) {
  Phase carrier;
  Phase modulator;
  Phase shimmer;
  const double hz = noteFrequency(note);
  carrier.setFrequency(hz);
  modulator.setFrequency(hz * 3.5);
  shimmer.setFrequency(hz * 2.0);
  const Envelope shape{0.002, 0.0, 2.2};
  render(out, start, framesOf(shape.length()), 0.2, [&](double t) {
    const double index = 2.2 * std::exp(-t / 0.35);
    carrier.advance();
    modulator.advance();
    shimmer.advance();
    const double tone = std::sin(twoPi * carrier.value() + index * sineWave(modulator));
    return level * shape.level(t) * (tone + 0.3 * sineWave(shimmer) * std::exp(-t / 0.5));
  });
}

}  // namespace vantrel::compose
