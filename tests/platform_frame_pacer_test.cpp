// Frame pacing of a window whose swap may or may not wait for the display.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "platform/frame_pacer.h"

using namespace tdx;
using namespace std::chrono_literals;
using Clock = FramePacer::Clock;

namespace {

// Plays `frames` frames: each one draws for `work` and swaps (the swap itself takes
// `swap`), then waits as long as the pacer says. Returns the waits.
struct Played {
  std::vector<Clock::duration> waits;
  Clock::time_point end;
};
Played Play(FramePacer& pacer, int frames, Clock::duration work, Clock::duration swap,
            Clock::time_point start = Clock::time_point{} + 1s) {
  Played r;
  Clock::time_point now = start;
  for (int i = 0; i < frames; ++i) {
    now += work + swap;
    const Clock::duration wait = pacer.AfterSwap(now);
    r.waits.push_back(wait);
    now += wait;
  }
  r.end = now;
  return r;
}

Clock::duration Total(const std::vector<Clock::duration>& v) {
  Clock::duration t{};
  for (auto d : v) t += d;
  return t;
}

}  // namespace

TEST(FramePacer, WaitsOnlyWhenTheSwapDoesNotWaitForTheDisplay) {
  const auto refresh = std::chrono::duration_cast<Clock::duration>(1s) / 60;
  struct Case {
    const char* what;
    Clock::duration work, swap;
    bool paced;
  } cases[] = {
      // The swap waits for the refresh: frames come one refresh apart by themselves.
      {"vsync", 3ms, refresh - 3ms, false},
      // No vsync, quick frames: without a wait they would come every 5 ms.
      {"no vsync", 4ms, 1ms, true},
      // Slower than the display anyway: nothing to wait for.
      {"slow frames", 25ms, 1ms, false},
      // Loading shows a frame about every 16 ms and must never be slowed down.
      {"loading", 16ms, 0ms, false},
  };
  for (const Case& c : cases) {
    FramePacer pacer(60);
    Played r = Play(pacer, 120, c.work, c.swap);
    EXPECT_EQ(pacer.Pacing(), c.paced) << c.what;
    if (!c.paced) {
      EXPECT_EQ(Total(r.waits), Clock::duration::zero()) << c.what;
      continue;
    }
    // The first quick swaps are let through; then every frame begins one refresh after
    // the one before: 120 frames take two seconds, not 0.6.
    for (int i = 0; i < FramePacer::kQuickSwapsToPace - 1; ++i) {
      EXPECT_EQ(r.waits[i], Clock::duration::zero()) << c.what << " frame " << i;
    }
    for (size_t i = FramePacer::kQuickSwapsToPace; i < r.waits.size(); ++i) {
      EXPECT_EQ(r.waits[i], refresh - c.work - c.swap) << c.what << " frame " << i;
    }
  }
}

TEST(FramePacer, AQuickSwapNowAndThenIsNotMistakenForMissingVsync) {
  // A driver that queues frames returns a few swaps at once, then keeps time.
  FramePacer pacer(60);
  Play(pacer, FramePacer::kQuickSwapsToPace - 1, 2ms, 0ms);
  Played r = Play(pacer, 60, 2ms, 15ms, Clock::time_point{} + 2s);
  Play(pacer, FramePacer::kQuickSwapsToPace - 1, 2ms, 0ms, r.end);
  EXPECT_FALSE(pacer.Pacing());
}

TEST(FramePacer, ALateFrameDoesNotMakeTheNextOnesHurry) {
  FramePacer pacer(60);
  pacer.PaceFromStart();
  Played r = Play(pacer, 3, 2ms, 0ms);
  const Clock::time_point afterLate = r.end + 50ms;  // one frame took 50 ms
  EXPECT_EQ(pacer.AfterSwap(afterLate), Clock::duration::zero());
  // The next frame begins one refresh after the late one, not at once to catch up.
  EXPECT_EQ(pacer.AfterSwap(afterLate + 2ms), pacer.Period() - 2ms);
}

TEST(FramePacer, PacesToTheDisplaysRefreshRateOr60HzWhenUnknown) {
  struct Case {
    int reported;
    int hz;
  } cases[] = {{0, 60}, {60, 60}, {75, 75}, {144, 144}, {-1, 60}, {5, 60}, {100000, 60}};
  for (const Case& c : cases) {
    EXPECT_EQ(FramePacer(c.reported).Period(), std::chrono::duration_cast<Clock::duration>(
                                                   std::chrono::nanoseconds(1'000'000'000) / c.hz))
        << c.reported;
  }
}
