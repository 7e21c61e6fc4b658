#include "audio/spectrum_schedule.hpp"

#include <gtest/gtest.h>

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
