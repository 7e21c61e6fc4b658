#pragma once
// The demo's own frames for the views' tests, with a bar of a known height in
// every column, and the rule the fitted view draws two picture rows by.

#include <algorithm>
#include <array>
#include <cstddef>
#include <memory>
#include <vector>

#include "audio/spectrum.hpp"
#include "driver/demo.hpp"
#include "screen/cell_screen.hpp"

namespace vantrel::testing {

// The frames of seed 7, with bars of every height from 1 to 49 that move
// from frame to frame.
class DemoFrames {
 public:
  DemoFrames() {
    prepareScroller(*demo_);
    prepareParticles(*demo_, 7);
    demo_->spectrum = spectrum_->data();
  }
  const CellScreen& next() {
    ++frame_;
    for (int column = 1; column <= screenColumns; ++column) {
      for (int entry = 3 * column - 2; entry <= 3 * column; ++entry) {
        (*spectrum_)[static_cast<std::size_t>(entry)].store(
            static_cast<float>((barHeight(column) + 0.5) / 500));
      }
    }
    drawFrame(*demo_);
    return demo_->cellScreen;
  }
  int barHeight(int column) const { return (column * 7 + frame_) % 49 + 1; }

 private:
  std::unique_ptr<Demo> demo_ = std::make_unique<Demo>();
  std::unique_ptr<SpectrumArray> spectrum_ = std::make_unique<SpectrumArray>();
  int frame_ = 0;
};

// Console colours of a fitted cell's quadrants: top left, top right, bottom
// left, bottom right.
using Quadrants = std::array<int, 4>;

// The left and right halves of a picture cell at half height: a cell split
// into top and bottom keeps its top half.
inline std::array<int, 2> halvesOf(Cell cell) {
  const int foreground = cell.attribute & 0xF;
  const int background = (cell.attribute >> 4) & 0xF;
  switch (cell.character) {
    case 219:
    case 223:
      return {foreground, foreground};
    case 221:
      return {foreground, background};
    case 222:
      return {background, foreground};
    default:
      return {background, background};
  }
}

// The quadrants the fitted view must show for picture rows 2 x row and the
// next: at most two colours, a two-coloured half giving way (to its left
// colour) beside a third.
inline Quadrants fittedQuadrants(const CellScreen& picture, int row, int column) {
  std::array<int, 2> top = halvesOf(picture[cellIndex(2 * row, column + 1)]);
  std::array<int, 2> bottom = halvesOf(picture[cellIndex(2 * row + 1, column + 1)]);
  const auto colours = [&] {
    std::vector<int> distinct;
    for (int colour : {top[0], top[1], bottom[0], bottom[1]}) {
      if (std::find(distinct.begin(), distinct.end(), colour) == distinct.end()) {
        distinct.push_back(colour);
      }
    }
    return distinct.size();
  };
  if (colours() > 2) top[1] = top[0];
  if (colours() > 2) bottom[1] = bottom[0];
  return {top[0], top[1], bottom[0], bottom[1]};
}

}  // namespace vantrel::testing
