// The worm step and the before-render hook: the two per-frame costs of a round.
#include <benchmark/benchmark.h>

#include "app/game.h"
#include "display/hooks.h"
#include "match/arena/start_positions.h"
#include "match/arena/worm.h"
#include "match/arena/worm_step.h"
#include "menu/settings.h"

namespace tdx {
namespace {

// Twelve playing worms lined up at the left edge, as a race round starts.
void StartRaceRound(Game& g) {
  g.ArenaMap.Clear();
  for (int s = 0; s < kPlayerSlots; ++s) {
    g.settings.players[s].controller = CtrlHuman;
    TCerv& w = g.Worm(s);
    w.alive = 1;
    w.kind = WormKind::None;
    w.turnLeft = w.turnRight = w.fireHeld = 0;
  }
  g.settings.game.startPosition = static_cast<uint8_t>(StartPositionRule::Race);
  ShuffleAndPlace(g);
}

// One frame of play at 60 frames a second and speed 100 (a two-unit move, four stamps
// per worm); a new round every 200 frames, before the first worm reaches the far edge.
void BM_StepTwelveWorms(benchmark::State& state) {
  Game g;
  CreateWorms(g);
  g.phase = GamePhase::Playing;
  g.GlobalSpeed = 100;
  StartRaceRound(g);
  int frame = 0;
  for (auto _ : state) {
    if (++frame == 200) {
      state.PauseTiming();
      StartRaceRound(g);
      frame = 0;
      state.ResumeTiming();
    }
    for (int s = 0; s < kPlayerSlots; ++s) {
      TCerv& w = g.Worm(s);
      if (w.alive) StepWorm(g, w, 1.0 / 60);
    }
    benchmark::DoNotOptimize(g.ArenaMap.cells.data());
  }
  state.SetLabel("per frame of 12 worms");
}
BENCHMARK(BM_StepTwelveWorms);

enum Fill { Empty, Bands, Checker };

// The before-render hook with twelve energy bars and the background grid, over an
// arena that is empty, full of long runs of one owner, or full with the owner changing
// at every cell (the worst case for the pen).
void BM_BeforeRender(benchmark::State& state) {
  Game g;
  CreateWorms(g);
  g.phase = GamePhase::Playing;
  g.settings.game.positions = 1;
  g.settings.game.backgroundEffect = 1;
  RandomiseBackground(g);
  for (int s = 0; s < kPlayerSlots; ++s) g.Worm(s).alive = 1;
  auto fill = static_cast<Fill>(state.range(0));
  for (int y = 0; y < kArenaHeight; ++y) {
    for (int x = 0; x < kArenaWidth; ++x) {
      uint8_t v = EmptyCell;
      if (fill == Bands) v = static_cast<uint8_t>((y / 34) % 13);
      if (fill == Checker) v = static_cast<uint8_t>((x + y) % 13);
      g.ArenaMap.At(x, y) = v;
    }
  }
  for (auto _ : state) {
    g.Now += 1.0 / 60;
    BeforeRender(g);
    benchmark::DoNotOptimize(g.beforeCanvas.Data());
  }
  static const char* const kNames[] = {"empty arena", "full arena, long runs",
                                       "full arena, owner changes every cell"};
  state.SetLabel(kNames[fill]);
}
BENCHMARK(BM_BeforeRender)->Arg(Empty)->Arg(Bands)->Arg(Checker)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tdx
