// Frame pacing of a window whose swap may or may not wait for the display.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "platform/frame_pacer.h"

using namespace tdx;
using namespace std::chrono_literals;
using Clock = FramePacer::Clock;

namespace {

const Clock::duration k60Hz = std::chrono::duration_cast<Clock::duration>(1s) / 60;

// Shows `frames` frames: each one is drawn for `work`, waits as long as the pacer says,
// and is swapped (the swap itself takes `swap`). Returns each frame's wait.
struct Shown {
  std::vector<Clock::duration> waits;
  Clock::time_point end;
};
Shown Show(FramePacer& pacer, int frames, Clock::duration work, Clock::duration swap,
           Clock::time_point start = Clock::time_point{} + 1s) {
  Shown r;
  Clock::time_point now = start;
  for (int i = 0; i < frames; ++i) {
    now += work;
    const Clock::duration wait = pacer.BeforeSwap(now);
    r.waits.push_back(wait);
    now += wait + swap;
    pacer.AfterSwap(now);
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
  struct Case {
    const char* what;
    Clock::duration work, swap;
    bool swapIntervalRefused;
    bool paced;
  } cases[] = {
      // The swap waits for the refresh: frames come one refresh apart by themselves.
      {"vsync", 3ms, k60Hz - 3ms, false, false},
      // No vsync, quick frames: without a wait they would come every 5 ms.
      {"no vsync", 4ms, 1ms, false, true},
      {"no vsync, known from the start", 4ms, 1ms, true, true},
      // Slower than the display anyway: nothing to wait for.
      {"slow frames", 25ms, 1ms, true, true},
  };
  for (const Case& c : cases) {
    FramePacer pacer(60);
    if (c.swapIntervalRefused) pacer.PaceFromStart();
    Shown r = Show(pacer, 120, c.work, c.swap);
    EXPECT_EQ(pacer.Pacing(), c.paced) << c.what;
    const Clock::duration frame = c.work + c.swap;
    if (frame >= k60Hz) {
      EXPECT_EQ(Total(r.waits), Clock::duration::zero()) << c.what;
      continue;
    }
    // Once the pacer knows, every frame is shown one refresh after the one before:
    // 120 frames take two seconds, not 0.6.
    const size_t from = c.swapIntervalRefused ? 1 : FramePacer::kQuickSwapsToPace + 1;
    for (size_t i = 0; i < from; ++i) {
      EXPECT_EQ(r.waits[i], Clock::duration::zero()) << c.what << " frame " << i;
    }
    for (size_t i = from; i < r.waits.size(); ++i) {
      EXPECT_EQ(r.waits[i], k60Hz - frame) << c.what << " frame " << i;
    }
  }
}

TEST(FramePacer, LoadingShowsAFrameEvery16MsWithoutEverWaiting) {
  // Loading draws frames as fast as it can and shows one about every 16 ms, a little more
  // often than 60 Hz: those must never wait, even when the pacer paces from the start.
  FramePacer pacer(60);
  pacer.PaceFromStart();
  Shown loading = Show(pacer, 300, 16ms, 0ms);
  EXPECT_EQ(Total(loading.waits), Clock::duration::zero());
  // Then the menu, drawn in 2 ms a frame, is held to 60 Hz.
  Shown menu = Show(pacer, 10, 2ms, 0ms, loading.end);
  for (size_t i = 1; i < menu.waits.size(); ++i) EXPECT_EQ(menu.waits[i], k60Hz - 2ms) << i;
}

TEST(FramePacer, AQuickSwapNowAndThenIsNotMistakenForMissingVsync) {
  // A driver that queues frames returns a few swaps at once, then keeps time.
  FramePacer pacer(60);
  Show(pacer, FramePacer::kQuickSwapsToPace, 2ms, 0ms);
  Shown r = Show(pacer, 60, 2ms, 15ms, Clock::time_point{} + 2s);
  Show(pacer, FramePacer::kQuickSwapsToPace - 1, 2ms, 0ms, r.end);
  EXPECT_FALSE(pacer.Pacing());
  EXPECT_EQ(Total(Show(pacer, 60, 2ms, 15ms, r.end + 1s).waits), Clock::duration::zero());
}

TEST(FramePacer, ALateFrameDoesNotMakeTheNextOnesHurry) {
  FramePacer pacer(60);
  pacer.PaceFromStart();
  Shown r = Show(pacer, 3, 2ms, 0ms);
  const Clock::time_point late = r.end + 50ms;  // one frame took 50 ms
  EXPECT_EQ(pacer.BeforeSwap(late), Clock::duration::zero());
  pacer.AfterSwap(late);
  // The next frame is shown one refresh after the late one, not at once to catch up.
  EXPECT_EQ(pacer.BeforeSwap(late + 2ms), k60Hz - 2ms);
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
