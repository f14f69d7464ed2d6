// The frame clock: real seconds since it was enabled, or, with a fixed step, exactly
// `step` seconds more each frame so a seeded run repeats itself.
#pragma once

#include <chrono>

namespace tdx {

class FrameClock {
 public:
  void SetFixedStep(double step) { fixedStep_ = step; }
  bool Fixed() const { return fixedStep_ > 0; }
  void Enable() {
    enabled_ = true;
    start_ = std::chrono::steady_clock::now();
    fixedNow_ = 0;
  }
  void Disable() { enabled_ = false; }
  bool Enabled() const { return enabled_; }
  // Called once before each frame's handler.
  void BeginFrame() {
    if (Fixed()) fixedNow_ += fixedStep_;
    reads_ = 0;
  }
  // A replayed frame: the first reading gives `now`, every later one `end`, as the
  // recorded frame's clock did.
  void BeginReplayedFrame(double now, double end) {
    replayed_ = true;
    replayNow_ = now;
    replayEnd_ = end;
    reads_ = 0;
  }
  double Current() const {
    if (replayed_) return reads_++ == 0 ? replayNow_ : replayEnd_;
    if (Fixed()) return fixedNow_;
    // Whole microseconds: a recording stores such readings in a few bytes, exactly.
    auto us = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - start_);
    return static_cast<double>(us.count()) / 1e6;
  }

 private:
  bool enabled_ = false;
  double fixedStep_ = 0;
  double fixedNow_ = 0;
  bool replayed_ = false;
  double replayNow_ = 0, replayEnd_ = 0;
  mutable int reads_ = 0;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace tdx
