#pragma once
// A console and a clock that tests drive by hand.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <deque>
#include <optional>
#include <vector>

#include "platform/clock.hpp"
#include "platform/console.hpp"
#include "screen/cell_screen.hpp"

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

// Each reading of the time of day returns the next scripted value (the last
// one repeats), or advances by `step` seconds when nothing is scripted. The
// steady clock moves only when the wait sleeps; `linkedTo` makes the time of
// day a healthy clock instead: the steady time plus an offset, cut to whole
// milliseconds, so a sleep is seen in the readings as it would be, and says
// when each reading began.
class FakeClock final : public Clock {
 public:
  std::deque<double> readings;
  double now = 0;
  double step = 0.001;
  int readCount = 0;
  int readLimit = 1'000'000;
  int sleepCount = 0;
  SteadyTime steady{};
  bool steadyFrozen = false;         // sleeps take place, but the steady clock does not move
  SteadyTime::duration oversleep{};  // each sleep ends this much later than asked
  SteadyTime::duration slept{};
  std::optional<double> linkedTo;      // the time of day at steady time zero, in seconds
  bool tellsWhenReadingTurned = true;  // of a linked clock

  double timeOfDay() override {
    ++readCount;
    // A wait that never ends fails the test instead of hanging it: a reading
    // below every other one ends any wait.
    if (readCount > readLimit) {
      ADD_FAILURE() << "the clock was read " << readLimit << " times";
      return -1.0;
    }
    if (linkedTo) {
      now = std::floor((*linkedTo + steadySeconds()) * 1000.0 + 1e-6) / 1000.0;
      return now;
    }
    if (!readings.empty()) {
      now = readings.front();
      if (readings.size() > 1) readings.pop_front();
      return now;
    }
    now += step;
    return now;
  }
  // A linked clock says exactly when its reading turned (rounded up to the
  // steady clock's tick, never before it); a scripted one, a millisecond ago.
  DayReading readTimeOfDay() override {
    const double reading = timeOfDay();
    if (!linkedTo || !tellsWhenReadingTurned)
      return {reading, steady - std::chrono::milliseconds(1)};
    const std::chrono::duration<double> intoReading{*linkedTo + steadySeconds() - reading};
    return {reading, steady - std::chrono::floor<SteadyTime::duration>(intoReading)};
  }
  SteadyTime steadyNow() override { return steady; }
  void sleepUntil(SteadyTime time) override {
    ++sleepCount;
    if (time > steady) slept += time - steady;
    if (!steadyFrozen) steady = std::max(steady, time) + oversleep;
  }
  double steadySeconds() const {
    return std::chrono::duration<double>(steady.time_since_epoch()).count();
  }
};

}  // namespace vantrel::testing
