// What the playing-frame benchmarks share: a match that never ends, stepped outside the
// timing until play resumes.
#pragma once

#include <benchmark/benchmark.h>

#include "app/game.h"

namespace tdx {

// When the round is over, runs `frame` untimed through the next round's start to its first
// playing frame; a waiting screen or a final screen starts the next round at once.
template <typename Frame>
void SkipToPlay(benchmark::State& state, Game& g, Frame&& frame) {
  if (g.phase == GamePhase::Playing) return;
  state.PauseTiming();
  while (g.phase != GamePhase::Playing) {
    if (g.phase == GamePhase::WaitReady || g.phase == GamePhase::GameOver) {
      g.match.RoundsLeft = 1000;
      g.phase = GamePhase::RoundStart;
    }
    frame();
  }
  state.ResumeTiming();
}

}  // namespace tdx
