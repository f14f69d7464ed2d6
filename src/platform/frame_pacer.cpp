#include "platform/frame_pacer.h"

namespace tdx {

FramePacer::FramePacer(int refreshHz) {
  // Below 24 Hz or above 1000 Hz the display reports nonsense, not a refresh rate.
  const int hz = (refreshHz >= 24 && refreshHz <= 1000) ? refreshHz : 60;
  period_ =
      std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(1'000'000'000) / hz);
}

FramePacer::Clock::duration FramePacer::AfterSwap(Clock::time_point now) {
  if (seenSwap_) {
    // A swap that waits for the display comes back about one refresh after the last one;
    // three quarters of a refresh leaves room for a display's jitter.
    if (now - lastSwap_ < period_ * 3 / 4) {
      if (++quickSwaps_ >= kQuickSwapsToPace) pacing_ = true;
    } else {
      quickSwaps_ = 0;
    }
  } else {
    frameStart_ = now;
  }
  seenSwap_ = true;
  lastSwap_ = now;
  if (!pacing_) {
    frameStart_ = now;
    return Clock::duration::zero();
  }
  const Clock::time_point next = frameStart_ + period_;
  if (next <= now) {
    frameStart_ = now;  // late: begin at once, and count the refreshes from here
    return Clock::duration::zero();
  }
  frameStart_ = next;
  return next - now;
}

}  // namespace tdx
