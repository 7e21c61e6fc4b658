#pragma once
// A stereo buffer exactly one pass of the track long. Writes past the end
// wrap round to the start, so the tails of the last notes ring on into the
// first bars, as they do when the track repeats: the loop has no seam.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vantrel::compose {

class LoopBuffer {
 public:
  explicit LoopBuffer(std::size_t frames) : left_(frames, 0.0F), right_(frames, 0.0F) {}

  std::size_t frames() const { return left_.size(); }

  std::size_t wrap(std::int64_t frame) const {
    const auto length = static_cast<std::int64_t>(left_.size());
    return static_cast<std::size_t>(((frame % length) + length) % length);
  }

  void add(std::int64_t frame, double left, double right) {
    const std::size_t i = wrap(frame);
    left_[i] += static_cast<float>(left);
    right_[i] += static_cast<float>(right);
  }

  float& left(std::size_t i) { return left_[i]; }
  float& right(std::size_t i) { return right_[i]; }
  float left(std::size_t i) const { return left_[i]; }
  float right(std::size_t i) const { return right_[i]; }

 private:
  std::vector<float> left_;
  std::vector<float> right_;
};

}  // namespace vantrel::compose
