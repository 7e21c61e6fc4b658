#pragma once
// The composer's sound-making parts: oscillators, noise, filters, envelopes
// and the two room effects. All offline and deterministic: the same score
// always renders the same samples.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace vantrel::compose {

inline constexpr double sampleRate = 44100.0;
inline constexpr double twoPi = 2.0 * std::numbers::pi;

// Equal temperament, A4 = MIDI note 69 = 440 Hz.
inline double noteFrequency(double midiNote) {
  return 440.0 * std::pow(2.0, (midiNote - 69.0) / 12.0);
}

inline double decibels(double db) {
  return std::pow(10.0, db / 20.0);
}

// Uniform white noise in [-1, 1) from a seed: reproducible.
class WhiteNoise {
 public:
  explicit WhiteNoise(std::uint32_t seed) : state_(seed * 2654435761U + 1U) {}
  float next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<float>(static_cast<double>(state_) / 2147483648.0 - 1.0);
  }

 private:
  std::uint32_t state_;
};

// A phase in [0, 1) that advances by frequency / rate each sample.
class Phase {
 public:
  explicit Phase(double start = 0.0) : value_(start) {}
  double value() const { return value_; }
  double step() const { return step_; }
  void setFrequency(double hz) { step_ = hz / sampleRate; }
  void advance() {
    value_ += step_;
    value_ -= std::floor(value_);
  }

 private:
  double value_;
  double step_ = 0.0;
};

// Smooths the jump of a saw or square so it does not alias (polyBLEP).
inline double blepCorrection(double phase, double step) {
  if (phase < step) {
    const double t = phase / step;
    return t + t - t * t - 1.0;
  }
  if (phase > 1.0 - step) {
    const double t = (phase - 1.0) / step;
    return t * t + t + t + 1.0;
  }
  return 0.0;
}

inline double sawWave(const Phase& phase) {
  return 2.0 * phase.value() - 1.0 - blepCorrection(phase.value(), phase.step());
}

inline double squareWave(const Phase& phase) {
  double shifted = phase.value() + 0.5;
  shifted -= std::floor(shifted);
  return (phase.value() < 0.5 ? 1.0 : -1.0) + blepCorrection(phase.value(), phase.step()) -
         blepCorrection(shifted, phase.step());
}

inline double sineWave(const Phase& phase) {
  return std::sin(twoPi * phase.value());
}

// State-variable filter (trapezoidal, stable under fast cutoff changes).
class Filter {
 public:
  struct Outputs {
    double low;
    double band;
    double high;
  };

  void tune(double cutoffHz, double resonance) {
    const double cutoff = std::clamp(cutoffHz, 10.0, sampleRate * 0.45);
    const double g = std::tan(std::numbers::pi * cutoff / sampleRate);
    k_ = 1.0 / std::max(resonance, 0.05);
    a1_ = 1.0 / (1.0 + g * (g + k_));
    a2_ = g * a1_;
    a3_ = g * a2_;
  }

  Outputs process(double input) {
    const double v3 = input - ic2_;
    const double v1 = a1_ * ic1_ + a2_ * v3;
    const double v2 = ic2_ + a2_ * ic1_ + a3_ * v3;
    ic1_ = 2.0 * v1 - ic1_;
    ic2_ = 2.0 * v2 - ic2_;
    return {v2, v1, input - k_ * v1 - v2};
  }

  double lowPass(double input) { return process(input).low; }
  double highPass(double input) { return process(input).high; }
  double bandPass(double input) { return process(input).band; }

 private:
  double ic1_ = 0.0, ic2_ = 0.0;
  double k_ = 1.0, a1_ = 0.0, a2_ = 0.0, a3_ = 0.0;
};

// Attack, hold at full level, then exponential release: the shape of every
// note here. Time in samples since the note began.
struct Envelope {
  double attack = 0.005;  // seconds to full level
  double hold = 0.0;      // seconds at full level
  double release = 0.2;   // seconds for the level to fall by 60 dB

  double level(double seconds) const {
    if (seconds < 0.0) return 0.0;
    if (seconds < attack) return seconds / attack;
    const double after = seconds - attack - hold;
    if (after <= 0.0) return 1.0;
    return std::exp(-6.907755 * after / release);
  }
  double length() const { return attack + hold + release; }
};

// Equal-power placement: -1 left, 0 centre, +1 right.
struct Pan {
  double left;
  double right;
  explicit Pan(double position) {
    const double angle = (position + 1.0) * std::numbers::pi / 4.0;
    left = std::cos(angle) * std::numbers::sqrt2;
    right = std::sin(angle) * std::numbers::sqrt2;
  }
};

// A delay line with a fixed length in samples.
class DelayLine {
 public:
  explicit DelayLine(std::size_t length) : buffer_(std::max<std::size_t>(length, 1), 0.0F) {}
  float read() const { return buffer_[position_]; }
  void write(float value) {
    buffer_[position_] = value;
    position_ = (position_ + 1) % buffer_.size();
  }

 private:
  std::vector<float> buffer_;
  std::size_t position_ = 0;
};

// A small plate-like reverb: parallel damped combs into series allpasses,
// slightly different lengths per side for width.
class Reverb {
 public:
  Reverb(double size, double damping, int spread);
  void process(float inLeft, float inRight, float& outLeft, float& outRight);

 private:
  struct Comb {
    DelayLine line;
    float store = 0.0F;
  };
  float combs(std::vector<Comb>& bank, float input);
  static float allpasses(std::vector<DelayLine>& bank, float input);

  std::vector<Comb> left_, right_;
  std::vector<DelayLine> leftAllpass_, rightAllpass_;
  float feedback_;
  float damping_;
};

// A stereo echo that bounces between the sides.
class PingPongDelay {
 public:
  PingPongDelay(std::size_t delaySamples, float feedback, double toneHz);
  void process(float inLeft, float inRight, float& outLeft, float& outRight);

 private:
  DelayLine left_, right_;
  float feedback_;
  Filter toneLeft_, toneRight_;
};

}  // namespace vantrel::compose
