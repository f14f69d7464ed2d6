// Keeps a window from drawing faster than the display shows. Where the swap waits for the
// display's refresh this does nothing; where it returns at once (no vsync: a virtual X
// server, some drivers) the game would draw hundreds of frames a second that nobody sees
// and keep a core busy even in the menus, so each frame then waits for its turn.
#pragma once

#include <chrono>

namespace tdx {

class FramePacer {
 public:
  using Clock = std::chrono::steady_clock;

  // The display's refresh rate in Hz; 0 (unknown) or a value no display has means 60.
  explicit FramePacer(int refreshHz);

  // Called right after each swap returns, at `now`. Returns how long to wait before the
  // next frame begins: zero while the swaps keep time with the display by themselves.
  // Swaps come back quicker than the display refreshes several times in a row only when
  // they do not wait for it; from then on every frame begins one refresh after the one
  // before (a late frame does not make the next ones hurry).
  Clock::duration AfterSwap(Clock::time_point now);

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
  bool seenSwap_ = false;
  int quickSwaps_ = 0;
  Clock::time_point lastSwap_{};
  Clock::time_point frameStart_{};  // when the current frame began (after its wait)
};

}  // namespace tdx
