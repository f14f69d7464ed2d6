// Keeps a window from drawing faster than the display shows. Where the swap waits for the
// display's refresh this does nothing; where it returns at once (no vsync: a virtual X
// server, some drivers) the game would draw hundreds of frames a second that nobody sees
// and keep a core busy even in the menus, so a frame then waits for its turn before it is
// shown. Only shown frames wait: a frame that is drawn but not shown (loading) never does.
#pragma once

#include <chrono>

namespace tdx {

class FramePacer {
 public:
  using Clock = std::chrono::steady_clock;

  // The display's refresh rate in Hz; 0 (unknown) or a value no display has means 60.
  explicit FramePacer(int refreshHz);

  // Called when a frame is to be shown, at `now`: how long after `now` to swap. Zero while
  // the swaps keep time with the display by themselves, and for a frame that comes about
  // one refresh or more after the last one shown (a late frame does not make the next ones
  // hurry); otherwise the wait that shows it one refresh after the last one.
  Clock::duration BeforeSwap(Clock::time_point now);
  // Called right after each swap returns, at `now`. Swaps that come back quicker than the
  // display refreshes several times in a row show that they do not wait for it.
  void AfterSwap(Clock::time_point now);

  // The swap is known not to wait (the driver refused a swap interval): pace at once.
  void PaceFromStart() { pacing_ = true; }

  bool Pacing() const { return pacing_; }
  Clock::duration Period() const { return period_; }

  // Quick swaps in a row that show the swap does not wait; a driver that queues a few
  // frames ahead still returns its first swaps at once.
  static constexpr int kQuickSwapsToPace = 8;

 private:
  Clock::duration period_;
  bool pacing_ = false;
  bool shown_ = false;  // a frame was shown before
  bool swapReturned_ = false;
  int quickSwaps_ = 0;
  Clock::time_point lastShown_{};   // when the last frame was handed to the swap
  Clock::time_point lastReturn_{};  // when the last swap returned
};

}  // namespace tdx
