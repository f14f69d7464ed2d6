#include "platform/frame_pacer.h"

namespace tdx {

FramePacer::FramePacer(int refreshHz) {
  // Below 24 Hz or above 1000 Hz the display reports nonsense, not a refresh rate.
  const int hz = (refreshHz >= 24 && refreshHz <= 1000) ? refreshHz : 60;
  period_ =
      std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(1'000'000'000) / hz);
}

FramePacer::Clock::duration FramePacer::BeforeSwap(Clock::time_point now) {
  const Clock::time_point due = lastShown_ + period_;
  // A frame that comes a little early (within an eighth of a refresh) is shown at once:
  // loading shows a frame every 16 ms and must not be slowed down by the 16.7 ms of 60 Hz.
  if (!pacing_ || !shown_ || now >= due - period_ / 8) {
    shown_ = true;
    lastShown_ = now;
    return Clock::duration::zero();
  }
  lastShown_ = due;  // on the refresh grid, however long the wait overshoots
  return due - now;
}

void FramePacer::AfterSwap(Clock::time_point now) {
  // A swap that waits for the display comes back about one refresh after the last one;
  // three quarters of a refresh leaves room for a display's jitter.
  if (swapReturned_ && now - lastReturn_ < period_ * 3 / 4) {
    if (++quickSwaps_ >= kQuickSwapsToPace) pacing_ = true;
  } else {
    quickSwaps_ = 0;
  }
  swapReturned_ = true;
  lastReturn_ = now;
}

}  // namespace tdx
