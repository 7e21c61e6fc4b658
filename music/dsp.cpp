#include "music/dsp.hpp"

namespace vantrel::compose {

namespace {
// Comb and allpass lengths in samples at 44.1 kHz, mutually prime-ish so
// their echoes do not line up into a pitch.
constexpr std::array<std::size_t, 8> combLengths{1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
constexpr std::array<std::size_t, 4> allpassLengths{556, 441, 341, 225};
constexpr float allpassFeedback = 0.5F;
}  // namespace

Reverb::Reverb(double size, double damping, int spread)
    : feedback_(static_cast<float>(0.7 + 0.28 * size)), damping_(static_cast<float>(damping)) {
  for (std::size_t length : combLengths) {
    left_.push_back({DelayLine(length)});
    right_.push_back({DelayLine(length + static_cast<std::size_t>(spread))});
  }
  for (std::size_t length : allpassLengths) {
    leftAllpass_.emplace_back(length);
    rightAllpass_.emplace_back(length + static_cast<std::size_t>(spread));
  }
}

float Reverb::combs(std::vector<Comb>& bank, float input) {
  float sum = 0.0F;
  for (Comb& comb : bank) {
    const float out = comb.line.read();
    comb.store = out * (1.0F - damping_) + comb.store * damping_;
    comb.line.write(input + comb.store * feedback_);
    sum += out;
  }
  return sum;
}

float Reverb::allpasses(std::vector<DelayLine>& bank, float input) {
  float signal = input;
  for (DelayLine& line : bank) {
    const float delayed = line.read();
    line.write(signal + delayed * allpassFeedback);
    signal = delayed - signal;
  }
  return signal;
}

void Reverb::process(float inLeft, float inRight, float& outLeft, float& outRight) {
  const float input = (inLeft + inRight) * 0.015F;
  outLeft = allpasses(leftAllpass_, combs(left_, input));
  outRight = allpasses(rightAllpass_, combs(right_, input));
}

PingPongDelay::PingPongDelay(std::size_t delaySamples, float feedback, double toneHz)
    : left_(delaySamples), right_(delaySamples), feedback_(feedback) {
  toneLeft_.tune(toneHz, 0.7);
  toneRight_.tune(toneHz, 0.7);
}

void PingPongDelay::process(float inLeft, float inRight, float& outLeft, float& outRight) {
  outLeft = left_.read();
  outRight = right_.read();
  // Mono in on the left only; each echo crosses to the other side.
  const float fromRight = static_cast<float>(toneLeft_.lowPass(outRight));
  const float fromLeft = static_cast<float>(toneRight_.lowPass(outLeft));
  left_.write((inLeft + inRight) * 0.5F + fromRight * feedback_);
  right_.write(fromLeft * feedback_);
}

}  // namespace vantrel::compose
