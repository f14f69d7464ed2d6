// The projectile update at its worst: twelve worms, each with 65 viruses, a fireball, a
// laser and a full burst of seven bullets, plus a flying rocket and an atomic blast, over
// an arena full of trails. The load is put back before every frame (untimed), so every
// measured frame moves, burns and tests the same crowd.
#include <benchmark/benchmark.h>

#include <memory>

#include "app/game.h"
#include "match/arena/worm.h"
#include "match/weapons/projectiles.h"

using namespace tdx;

namespace {

struct Load {
  std::array<double, kVirusCount> virusX{}, virusY{};
  double headX = 0, headY = 0;
};

void Arm(Game& g, const std::array<Load, kPlayerSlots>& load) {
  g.ArenaMap.cells.fill(3);
  for (int s = 0; s < kPlayerSlots; ++s) {
    TCerv& w = g.Worm(s);
    const Load& l = load[static_cast<size_t>(s)];
    w.alive = 1;
    w.headX = w.nextX = l.headX;
    w.headY = w.nextY = l.headY;
    w.virusX = l.virusX;
    w.virusY = l.virusY;
    w.virusActive.fill(1);
    w.virusEdgeState.fill(0);
    w.virusControl = s % 2;  // half of them home on their owner
    w.virusFree = 0;
    w.fireballActive = 1;
    w.fireballX = 100 + 30 * s;
    w.fireballY = 300;
    w.fireballHeading = 30 * s;
    for (size_t i = 0; i < kBulletCount; ++i) {
      w.bulletActive[i] = 1;
      w.bulletX[i] = 50 + 40 * s + 5 * static_cast<double>(i);
      w.bulletY[i] = 100 + 10 * static_cast<double>(i);
      w.bulletHeading[i] = 45;
    }
    w.laserActive = 1;
    for (size_t b = 0; b < kLaserBeamCount; ++b) {
      w.laserBeam[b].x = static_cast<float>(16 + 40 * s + 20);
      w.laserBeam[b].y = static_cast<float>(56 + 30 * s + 20);
    }
  }
  TCerv& rocket = g.Worm(0);
  rocket.rocketActive = rocket.rocketFlying = 1;
  rocket.missileX = 300;
  rocket.missileY = 200;
  rocket.rocketLeadX = 305;
  rocket.rocketLeadY = 200;
  rocket.rocketTargetX = 550;
  rocket.rocketTargetY = 350;
  rocket.missileTime = 0;
  TCerv& bomb = g.Worm(1);
  bomb.atomicActive = 1;
  bomb.missileX = 200;
  bomb.missileY = 150;
  bomb.missileFrame = 11;  // in the blast: kill tests every frame
  bomb.missileTime = 0;
}

}  // namespace

static void BM_ProjectileUpdateWorst(benchmark::State& state) {
  auto g = std::make_unique<Game>();
  g->matchRng.Seed(7);
  CreateWorms(*g);
  for (auto& p : g->settings.players) p.controller = CtrlHuman;
  g->GlobalSpeed = 150;  // the fastest game moves everything furthest
  g->FrameDelta = 1.0 / 60;
  g->phase = GamePhase::Playing;
  for (int s = 0; s < kPlayerSlots; ++s) g->Worm(s).kind = WormKind::VirusInfester;
  g->Worm(0).kind = WormKind::RocketLauncher;
  g->Worm(1).kind = WormKind::AtomicBomber;
  nastavsprity(*g);

  std::array<Load, kPlayerSlots> load;
  for (int s = 0; s < kPlayerSlots; ++s) {
    Load& l = load[static_cast<size_t>(s)];
    // Heads away from the bomb so the worst frame keeps all twelve alive and tested.
    l.headX = 400 + 15 * (s % 4);
    l.headY = 60 + 30 * s;
    for (size_t i = 0; i < kVirusCount; ++i) {
      l.virusX[i] = 20 + g->Random(560);
      l.virusY[i] = 20 + g->Random(360);
    }
    for (size_t i = 0; i < kVirusCount; ++i) {
      g->Worm(s).virusAnimPeriod[i] = 0.02 + g->Random(5) / 100.0;
      g->Worm(s).virusDriftX[i] = g->Random(200) - 100;
      g->Worm(s).virusDriftY[i] = g->Random(200) - 100;
    }
  }
  for (auto _ : state) {
    state.PauseTiming();
    Arm(*g, load);
    state.ResumeTiming();
    ProjectileUpdate(*g);
  }
  int alive = 0;
  for (int s = 0; s < kPlayerSlots; ++s) alive += g->Worm(s).alive;
  state.counters["alive_after"] = alive;
}
BENCHMARK(BM_ProjectileUpdateWorst)->Unit(benchmark::kMicrosecond);
