#pragma once
// A console and a clock that tests drive by hand.

#include <deque>
#include <vector>

#include "driver/cell_screen.hpp"
#include "platform/clock.hpp"
#include "platform/console.hpp"

namespace vantrel::testing {

// Records every presented frame and hands out queued key presses.
class FakeConsole final : public Console {
 public:
  std::vector<CellScreen> frames;
  std::deque<KeyPress> keys;
  std::vector<WriteRegion> regionsPassed;
  int restoreCalls = 0;
  bool cursorHidden = false;
  int rows = 0;

  void openWindow() override {}
  void setWindowRows(int windowRows) override { rows = windowRows; }
  void placeWindow(int, int) override {}
  void setWindowTitle(std::string_view) override {}
  void hideCursor() override { cursorHidden = true; }
  void writeCells(const Cell* cells, BufferCoord bufferSize, BufferCoord bufferCoord,
                  WriteRegion& region) override {
    regionsPassed.push_back(region);
    CellScreen frame;
    for (int i = 1; i <= cellCount; ++i) frame[i] = cells[i - 1];
    frames.push_back(frame);
    clipWriteRegion(region, bufferSize, bufferCoord, {screenColumns, screenRows});
  }
  KeyPress pollKey() override {
    if (keys.empty()) return {};
    const KeyPress key = keys.front();
    keys.pop_front();
    return key;
  }
  void restore() noexcept override { ++restoreCalls; }
};

// Each reading returns the next scripted value (the last one repeats), or
// advances by `step` seconds when nothing is scripted.
class FakeClock final : public Clock {
 public:
  std::deque<double> readings;
  double now = 0;
  double step = 0.001;
  int readCount = 0;
  int yieldCount = 0;

  double timeOfDay() override {
    ++readCount;
    if (!readings.empty()) {
      now = readings.front();
      if (readings.size() > 1) readings.pop_front();
      return now;
    }
    now += step;
    return now;
  }
  void yield() override { ++yieldCount; }
};

}  // namespace vantrel::testing
