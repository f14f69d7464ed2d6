// One playing frame of the bonuses with a crowded arena: twelve bonus places cycling and
// 48 bombs, 12 diggers, 12 wall walkers and 60 fire balls on the move among twelve worms.
#include <benchmark/benchmark.h>

#include <cmath>

#include "app/game.h"
#include "match/arena/worm.h"
#include "match/bonus/bonus_places.h"
#include "match/weapons/bonus_objects.h"

using namespace tdx;

namespace {

constexpr size_t kBombs = 48, kDiggers = 12, kWalkers = 12, kBalls = 60;

// Worms on a grid of places, alive again whenever something has killed them.
void ReviveWorms(Game& g) {
  for (int s = 0; s < kPlayerSlots; ++s) {
    TCerv& w = g.Worm(s);
    w.alive = 1;
    w.headX = w.nextX = 60 + 45 * s;
    w.headY = w.nextY = 40 + 30 * s;
    w.heading = 30 * s;
    w.cloneAlive.fill(0);
    if (s % 4 == 0) {
      for (int k = 0; k < 2; ++k) {
        w.cloneAlive[static_cast<size_t>(k)] = 1;
        w.cloneX[static_cast<size_t>(k)] = w.nextX + 20 + 10 * k;
        w.cloneY[static_cast<size_t>(k)] = w.nextY + 15;
      }
    }
  }
}

// Tops every list up to its count, objects spread over the arena and their lifetimes.
void TopUp(Game& g) {
  BonusObjectLists& l = g.bonus.objects;
  while (l.Bombs.size() < kBombs) {
    AddBomb(g, 16 + g.LookRandom(608), 56 + g.LookRandom(408));
    l.Bombs.back().startTime -= g.LookRandom(250) / 100.0;  // some burning, some exploding
  }
  while (l.Diggers.size() < kDiggers) {
    AddDigger(g, -10 + g.LookRandom(660), 56 + g.LookRandom(408), g.LookRandom(12));
  }
  while (l.XonixWalkers.size() < kWalkers) AddXonixWalker(g, g.LookRandom(640), g.LookRandom(408));
  while (l.BonusShots.size() < kBalls) {
    double a = g.LookRandom(360) * 3.14159265358979 / 180;
    AddFireBall(g, 16 + g.LookRandom(608), 56 + g.LookRandom(408), std::cos(a), std::sin(a),
                g.LookRandom(12));
  }
}

bool NeedsTopUp(const Game& g) {
  const BonusObjectLists& l = g.bonus.objects;
  return l.Bombs.size() < kBombs || l.Diggers.size() < kDiggers ||
         l.XonixWalkers.size() < kWalkers || l.BonusShots.size() < kBalls;
}

}  // namespace

static void BM_BonusFrameCrowdedArena(benchmark::State& state) {
  Game g;
  g.matchRng.Seed(1);
  g.lookRng.Seed(2);
  CreateWorms(g);
  for (auto& p : g.settings.players) p.controller = CtrlCpuIq0;
  g.settings.game.bonus = 1;
  g.match.BonusSlotCount = 12;
  g.match.HalfPlayerCount = 6;
  g.GlobalSpeed = 80;
  g.FrameDelta = 1.0 / 60;
  OpenBonusPlaces(g);
  ReviveWorms(g);
  TopUp(g);
  long long frames = 0, topUps = 0;
  for (auto _ : state) {
    g.Now += g.FrameDelta;
    for (int i = 0; i < g.match.BonusSlotCount; ++i) UpdateBonusSlot(g, i);
    UpdateFireBalls(g);
    UpdateDiggers(g);
    UpdateWallWalkers(g);
    UpdateBombs(g);
    ++frames;
    // Objects that left are replaced at once, inside the measured frame: the game itself
    // creates them at pick-ups, and pausing the clock every frame would cost more than
    // the replacements do.
    if (NeedsTopUp(g)) {
      ReviveWorms(g);
      TopUp(g);
      ++topUps;
    }
    if (frames % 256 == 0) g.ArenaMap.Clear();  // keep the walls from filling the arena
  }
  state.counters["objects"] =
      static_cast<double>(g.bonus.objects.Bombs.size() + g.bonus.objects.Diggers.size() +
                          g.bonus.objects.XonixWalkers.size() + g.bonus.objects.BonusShots.size());
  state.counters["topUps/frame"] = static_cast<double>(topUps) / static_cast<double>(frames);
  ClearBonusObjects(g);
  CloseBonusPlaces(g);
}
BENCHMARK(BM_BonusFrameCrowdedArena)->Unit(benchmark::kMicrosecond);
