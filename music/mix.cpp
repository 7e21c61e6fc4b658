#include "music/mix.hpp"

#include <algorithm>
#include <cmath>
#include <functional>
#include <initializer_list>
#include <utility>

#include "music/dsp.hpp"

namespace vantrel::compose {

namespace {

constexpr double pumpDepth = 0.7;
constexpr float masterGain = 1.9F;
constexpr double ceiling = 0.68;

// The pump: a dip after every kick, 0 = silent, 1 = untouched.
std::vector<float> sideChain(const std::vector<Frame>& kicks, std::size_t frames) {
  std::vector<float> gain(frames, 1.0F);
  const auto dipFrames = static_cast<Frame>(0.3 * sampleRate);
  const auto length = static_cast<Frame>(frames);
  for (Frame kick : kicks) {
    for (Frame i = 0; i < dipFrames; ++i) {
      const double t = static_cast<double>(i) / sampleRate;
      const double attack = std::min(1.0, t / 0.004);
      const double dip = 1.0 - pumpDepth * attack * std::exp(-t / 0.09);
      const auto at = static_cast<std::size_t>((kick + i) % length);
      gain[at] = std::min(gain[at], static_cast<float>(dip));
    }
  }
  return gain;
}

// Lets `amount` of the pump through to `bus`.
void pump(LoopBuffer& bus, const std::vector<float>& gain, double amount) {
  for (std::size_t i = 0; i < bus.frames(); ++i) {
    const auto g = static_cast<float>(1.0 - amount + amount * gain[i]);
    bus.left(i) *= g;
    bus.right(i) *= g;
  }
}

// Runs an effect round the loop twice and keeps the second pass: its state
// at the start is then what the end of the track left in it, as when the
// track repeats.
using StereoEffect = std::function<void(float inL, float inR, float& outL, float& outR)>;
LoopBuffer runAroundTheLoop(const LoopBuffer& input, const StereoEffect& effect) {
  LoopBuffer output(input.frames());
  for (int pass = 0; pass < 2; ++pass) {
    for (std::size_t i = 0; i < input.frames(); ++i) {
      float left = 0.0F;
      float right = 0.0F;
      effect(input.left(i), input.right(i), left, right);
      if (pass == 1) {
        output.left(i) = left;
        output.right(i) = right;
      }
    }
  }
  return output;
}

LoopBuffer sum(std::initializer_list<std::pair<const LoopBuffer*, double>> parts) {
  LoopBuffer total(parts.begin()->first->frames());
  for (const auto& [bus, amount] : parts) {
    const auto gain = static_cast<float>(amount);
    for (std::size_t i = 0; i < total.frames(); ++i) {
      total.left(i) += gain * bus->left(i);
      total.right(i) += gain * bus->right(i);
    }
  }
  return total;
}

// A broad lift around 5 kHz: the presence of the hats, shakers and the top
// of the synths, where the bars like to see it, without sharpening the very
// top.
LoopBuffer withPresence(const LoopBuffer& dry) {
  constexpr float lift = 0.6F;       // about +4 dB at the centre
  constexpr double bandwidth = 0.5;  // a wide bell
  Filter left;
  Filter right;
  left.tune(5000.0, bandwidth);
  right.tune(5000.0, bandwidth);
  return runAroundTheLoop(dry, [&](float l, float r, float& outL, float& outR) {
    outL = l + lift * static_cast<float>(left.bandPass(l) / bandwidth);
    outR = r + lift * static_cast<float>(right.bandPass(r) / bandwidth);
  });
}

// Moves the fader to each bar's level over the first 100 ms of the bar,
// round the loop, so the last bar's level glides into the first one's.
void rideFader(LoopBuffer& master, const std::vector<double>& barLevels, Frame bar) {
  if (barLevels.empty()) return;
  const auto glide = static_cast<Frame>(0.1 * sampleRate);
  for (std::size_t b = 0; b < barLevels.size(); ++b) {
    const double from = decibels(barLevels[(b + barLevels.size() - 1) % barLevels.size()]);
    const double to = decibels(barLevels[b]);
    const auto first = static_cast<Frame>(b) * bar;
    for (Frame i = 0; i < bar; ++i) {
      const double along = std::min(1.0, static_cast<double>(i) / static_cast<double>(glide));
      const auto gain = static_cast<float>(from + (to - from) * along);
      const std::size_t at = master.wrap(first + i);
      master.left(at) *= gain;
      master.right(at) *= gain;
    }
  }
}

// A look-ahead peak limiter: the gain starts to fall 4 ms before a peak, so
// no sample passes the ceiling, and recovers over about 80 ms.
void limit(LoopBuffer& master) {
  const std::size_t frames = master.frames();
  const auto ahead = static_cast<std::size_t>(0.004 * sampleRate);
  std::vector<double> needed(frames);
  for (std::size_t i = 0; i < frames; ++i) {
    const double peak = std::max(std::abs(master.left(i)), std::abs(master.right(i)));
    needed[i] = peak > ceiling ? ceiling / peak : 1.0;
  }
  const double release = std::exp(-1.0 / (0.08 * sampleRate));
  std::vector<float> gain(frames, 1.0F);
  double current = 1.0;
  for (int pass = 0; pass < 2; ++pass) {
    for (std::size_t i = 0; i < frames; ++i) {
      double target = 1.0;
      for (std::size_t j = 0; j <= ahead; ++j) {
        const double nearness = 1.0 - static_cast<double>(j) / static_cast<double>(ahead + 1);
        target = std::min(target, 1.0 - nearness * (1.0 - needed[(i + j) % frames]));
      }
      current = target < current ? target : target + (current - target) * release;
      gain[i] = static_cast<float>(current);
    }
  }
  for (std::size_t i = 0; i < frames; ++i) {
    master.left(i) = std::clamp(master.left(i) * gain[i], -1.0F, 1.0F);
    master.right(i) = std::clamp(master.right(i) * gain[i], -1.0F, 1.0F);
  }
}

}  // namespace

std::vector<std::int16_t> mixDown(Mix& mix, Frame sixteenth, Frame bar) {
  const std::vector<float> pumpGain = sideChain(mix.kicks, mix.kick.frames());
  pump(mix.bass, pumpGain, 0.85);
  pump(mix.pad, pumpGain, 0.6);
  pump(mix.arp, pumpGain, 0.5);
  pump(mix.lead, pumpGain, 0.25);

  PingPongDelay delay(static_cast<std::size_t>(3 * sixteenth), 0.45F, 3500.0);
  const LoopBuffer echoes = runAroundTheLoop(
      sum({{&mix.arp, 0.35}, {&mix.lead, 0.3}}),
      [&](float l, float r, float& outL, float& outR) { delay.process(l, r, outL, outR); });

  Reverb room(0.82, 0.35, 23);
  const LoopBuffer hall = runAroundTheLoop(
      sum({{&mix.pad, 0.5},
           {&mix.arp, 0.4},
           {&mix.lead, 0.6},
           {&mix.drums, 0.15},
           {&mix.effects, 0.5},
           {&echoes, 0.4}}),
      [&](float l, float r, float& outL, float& outR) { room.process(l, r, outL, outR); });

  LoopBuffer master = withPresence(sum({{&mix.kick, masterGain},
                                        {&mix.drums, masterGain},
                                        {&mix.bass, masterGain},
                                        {&mix.pad, masterGain},
                                        {&mix.arp, masterGain},
                                        {&mix.lead, masterGain},
                                        {&mix.effects, masterGain},
                                        {&echoes, 0.6 * masterGain},
                                        {&hall, 0.9 * masterGain}}));
  rideFader(master, mix.barLevels, bar);
  limit(master);

  std::vector<std::int16_t> samples;
  samples.reserve(2 * master.frames());
  for (std::size_t i = 0; i < master.frames(); ++i) {
    for (float value : {master.left(i), master.right(i)}) {
      samples.push_back(static_cast<std::int16_t>(std::lround(value * 32767.0F)));
    }
  }
  return samples;
}

}  // namespace vantrel::compose
