#include "audio/spectrum_schedule.hpp"

#include <gtest/gtest.h>

#include <condition_variable>
#include <future>
#include <mutex>
#include <optional>
#include <vector>

#include "audio/music_feed.hpp"
#include "audio_fixtures.hpp"

namespace vantrel {
namespace {

using namespace std::chrono_literals;
using TimePoint = OutputClock::TimePoint;

struct StillClock final : OutputClock {
  TimePoint time{1h};
  TimePoint now() override { return time; }
  void sleepUntil(TimePoint deadline) override { time = std::max(time, deadline); }
};

void setAll(SpectrumArray& spectrum, float value) {
  for (SpectrumEntry& entry : spectrum) entry.store(value);
}

TEST(SpectrumSchedule, ShowsTheNewestDueSpectrumAndNothingEarly) {
  SpectrumArray shown{};
  StillClock clock;
  SpectrumSchedule schedule(shown, clock);
  SpectrumArray spectrum{};
  for (int block = 1; block <= 3; ++block) {
    setAll(spectrum, static_cast<float>(block));
    schedule.add(spectrum, TimePoint{1h + block * 10ms});
  }
  EXPECT_EQ(schedule.showDue(TimePoint{1h + 5ms}), TimePoint{1h + 10ms});
  EXPECT_EQ(shown[7].load(), 0.0F) << "shown before its time";
  EXPECT_EQ(schedule.showDue(TimePoint{1h + 25ms}), TimePoint{1h + 30ms});
  EXPECT_EQ(shown[7].load(), 2.0F) << "the newest due spectrum is the one to show";
  schedule.showDue(TimePoint{1h + 40ms});
  EXPECT_EQ(shown[7].load(), 3.0F);
}

TEST(SpectrumSchedule, CatchesUpAfterAStallLongerThanItsRing) {
  SpectrumArray shown{};
  StillClock clock;
  SpectrumSchedule schedule(shown, clock);
  SpectrumArray spectrum{};
  for (int block = 1; block <= 200; ++block) {
    setAll(spectrum, static_cast<float>(block));
    schedule.add(spectrum, TimePoint{1h + block * 1ms});
  }
  schedule.showDue(TimePoint{2h});
  EXPECT_EQ(shown[0].load(), 200.0F);
}

// Woken after a stall while spectra are still to come: it skips what the
// ring has overwritten and goes on with the rest on time, so the bars do not
// stand still until the ring comes round again.
TEST(SpectrumSchedule, AfterAStallLongerThanItsRingTheSpectraStillToComeShowOnTime) {
  SpectrumArray shown{};
  StillClock clock;
  SpectrumSchedule schedule(shown, clock);
  SpectrumArray spectrum{};
  for (int block = 1; block <= 200; ++block) {
    setAll(spectrum, static_cast<float>(block));
    schedule.add(spectrum, TimePoint{1h + block * 1ms});
  }
  schedule.showDue(TimePoint{1h + 150ms});
  schedule.showDue(TimePoint{1h + 170ms});
  EXPECT_EQ(shown[0].load(), 170.0F);
}

// A clock only the test moves, for the schedule's own thread: each sleep is
// noted and lasts until the test sets the time to its deadline (or later), so
// the thread's turns can be followed one at a time and what it shows read
// while it sleeps.
class SteppedClock final : public OutputClock {
 public:
  struct Sleep {
    TimePoint from;  // the time when the thread went to sleep
    TimePoint until;
  };
  TimePoint now() override {
    const std::lock_guard lock(mutex_);
    return time_;
  }
  void sleepUntil(TimePoint deadline) override {
    std::unique_lock lock(mutex_);
    sleeps_.push_back({time_, deadline});
    changed_.notify_all();
    changed_.wait(lock, [&] { return released_ || time_ >= deadline; });
  }
  // The thread's next sleep, once it has gone to sleep (nothing if it has not
  // within seconds of real time).
  std::optional<Sleep> nextSleep() {
    std::unique_lock lock(mutex_);
    if (!changed_.wait_for(lock, 5s, [&] { return sleeps_.size() > seen_; })) return std::nullopt;
    return sleeps_[seen_++];
  }
  void setTime(TimePoint time) {
    const std::lock_guard lock(mutex_);
    time_ = time;
    changed_.notify_all();
  }
  // Every sleep from now on returns at once, so the thread can be joined.
  void release() {
    const std::lock_guard lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  TimePoint time_{1h};
  std::vector<Sleep> sleeps_;
  std::size_t seen_ = 0;
  bool released_ = false;
};

// The showing thread against a clock that wakes it exactly when it asks: each
// spectrum must reach the shown array exactly at its due time, and the thread
// must never sleep longer than its idle wait, which bounds how long stopping
// it takes. Two due times closer than the idle wait, and a long quiet stretch.
TEST(SpectrumSchedule, ItsThreadShowsEachSpectrumAtItsDueTimeAndStopsWithinItsIdleWait) {
  SpectrumArray shown{};
  SteppedClock clock;
  std::optional<SpectrumSchedule> schedule(std::in_place, shown, clock);
  const struct ReleaseFirst {
    SteppedClock& clock;
    ~ReleaseFirst() { clock.release(); }
  } releaseBeforeJoining{clock};
  const TimePoint start{1h};
  const std::vector<TimePoint> due{start + 2ms, start + 9ms, start + 40ms, start + 40500us};
  SpectrumArray spectrum{};
  for (std::size_t block = 0; block < due.size(); ++block) {
    setAll(spectrum, static_cast<float>(block + 1));
    schedule->add(spectrum, due[block]);
  }
  schedule->start();

  std::vector<std::optional<TimePoint>> firstShown(due.size());
  std::optional<SteppedClock::Sleep> sleep;
  for (int turn = 0; turn < 40; ++turn) {
    sleep = clock.nextSleep();
    ASSERT_TRUE(sleep) << "the thread never went to sleep";
    const float showing = shown[100].load();
    if (showing >= 1.0F && !firstShown[static_cast<std::size_t>(showing) - 1]) {
      firstShown[static_cast<std::size_t>(showing) - 1] = sleep->from;
    }
    ASSERT_LE(sleep->until - sleep->from, 5ms) << "a sleep past the idle wait, turn " << turn;
    if (sleep->from >= start + 60ms) break;
    clock.setTime(sleep->until);
  }
  for (std::size_t block = 0; block < due.size(); ++block) {
    ASSERT_TRUE(firstShown[block]) << "spectrum " << block + 1 << " was never shown";
    EXPECT_EQ(*firstShown[block] - start, due[block] - start) << "spectrum " << block + 1;
  }

  // Stopped while it sleeps, the thread ends when that sleep does (or the
  // next, should it have woken before it was told).
  std::future<void> stopped = std::async(std::launch::async, [&schedule] { schedule.reset(); });
  for (int turn = 0; turn < 3 && stopped.wait_for(50ms) != std::future_status::ready; ++turn) {
    clock.setTime(sleep->until);
    if (stopped.wait_for(1s) == std::future_status::ready) break;
    sleep = clock.nextSleep();
    if (!sleep) break;
  }
  EXPECT_EQ(stopped.wait_for(0s), std::future_status::ready) << "still running after its sleeps";
  clock.release();  // before the future waits for the join
}

// Endless full-scale tone at the centre of bin 64.
struct ToneDecoder final : PcmDecoder {
  std::size_t played = 0;
  bool open(const std::filesystem::path&) override { return true; }
  bool openBytes(std::span<const std::uint8_t>) override { return true; }
  bool rewind() override { return true; }
  std::size_t read(PcmSample* out, std::size_t frames) override {
    const auto tone = testing::sineSamples(pcmRate, pcmChannels, testing::binFrequency(64),
                                           static_cast<double>(played + frames) / pcmRate, 0.9);
    std::copy(tone.begin() + static_cast<std::ptrdiff_t>(played * pcmChannels), tone.end(), out);
    played += frames;
    return frames;
  }
};

// A device output: the spectrum of each block of a callback shows when that
// block starts to sound, the callback's time plus the device's delay plus
// the frames before it.
TEST(SpectrumSchedule, TheFeedShowsEachBlockWhenItIsHeard) {
  SpectrumArray shown{};
  StillClock clock;
  SpectrumSchedule schedule(shown, clock);
  MusicFeed feed(shown);
  RepeatingTrack track(std::make_unique<ToneDecoder>());
  feed.attach(&track);
  feed.setAnalysing(true);
  feed.showLater(schedule, clock, 50ms);
  std::vector<PcmSample> out(4 * blockFrames * pcmChannels);
  feed.fill(out.data(), 4 * blockFrames);
  EXPECT_EQ(shown[64].load(), 0.0F) << "shown as soon as it was computed";

  const TimePoint firstHeard = clock.time + 50ms;
  const auto block = std::chrono::duration_cast<TimePoint::duration>(FrameTicks{blockFrames});
  EXPECT_EQ(schedule.showDue(firstHeard - 1ms), firstHeard);
  EXPECT_EQ(shown[64].load(), 0.0F);
  EXPECT_EQ(schedule.showDue(firstHeard), firstHeard + block);
  EXPECT_GT(shown[64].load(), 0.3F) << "the first block's spectrum";
  EXPECT_EQ(schedule.showDue(firstHeard + 3 * block), firstHeard + 3 * block + 5ms)
      << "after the last block, the thread idles";
  EXPECT_NEAR(shown[64].load(), 0.9, 0.05);
}

}  // namespace
}  // namespace vantrel
