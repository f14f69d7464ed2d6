// Network play's worst moment: a late control that differs from what was assumed ten frames
// ago, so the match is put back ten frames and stepped again to now, all within one frame
// of the display. The match is twelve worms mid-round, eleven of them planning computer
// players of the weapon kinds, with bonuses on; one person's worm is heard from another
// machine, and every control heard differs from the one assumed.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>

#include "match/computer/hazards.h"
#include "match/match.h"
#include "match/round.h"
#include "net/rollback.h"

namespace tdx::net {
namespace {

constexpr uint8_t kWeaponKinds[] = {
    static_cast<uint8_t>(WormKind::RocketLauncher),  static_cast<uint8_t>(WormKind::AtomicBomber),
    static_cast<uint8_t>(WormKind::VirusInfester),   static_cast<uint8_t>(WormKind::Shooter),
    static_cast<uint8_t>(WormKind::LaserShooter),    static_cast<uint8_t>(WormKind::Killer),
    static_cast<uint8_t>(WormKind::VirusController), static_cast<uint8_t>(WormKind::WInfernal),
};

// The start of a long match and the frame of its first round with the most hazards out.
std::unique_ptr<Match> CrowdedStart(uint32_t& crowdedFrame) {
  SettingsBlock setup{};
  for (int s = 0; s < kPlayerSlots; ++s) {
    PlayerSetup& p = setup.players[s];
    p.controller = s == 0 ? CtrlHuman : CtrlCpuIq10;
    p.kind = kWeaponKinds[static_cast<size_t>(s) % std::size(kWeaponKinds)];
    p.team = static_cast<uint8_t>(1 + s % 4);
  }
  setup.game.bonus = 1;
  setup.game.scoreLimit = 5;  // a thousand rounds
  auto start = std::make_unique<Match>();
  BuildMatch(*start, 9, setup, 0);
  auto m = std::make_unique<Match>(*start);
  std::vector<HazardPoint> points;
  size_t most = 0;
  crowdedFrame = 0;
  for (uint32_t f = 0; f < 6000 && m->match.Scored.empty(); ++f) {
    const double t = start->LastFrameTime + static_cast<double>(f + 1) * kNetStep;
    StepMatchFrame(*m, t, t, nullptr);
    points.clear();
    GatherHazards(*m, points);
    if (points.size() > most) {
      most = points.size();
      crowdedFrame = f;
    }
  }
  return start;
}

void BM_RollbackTenFrames(benchmark::State& state) {
  uint32_t crowded = 0;
  std::unique_ptr<Match> start = CrowdedStart(crowded);
  auto r = std::make_unique<RollbackMatch>();
  r->Begin(*start, 0);
  // Up to ten frames before the crowded one, the remote person's controls heard in time.
  uint8_t bits = 1;
  while (r->Frame() + 10 < crowded) {
    r->Confirm(r->Frame(), 0, bits);
    r->Advance();
  }
  while (r->Frame() < crowded) r->Advance();
  double again = 0, worst = 0;
  for (auto _ : state) {
    bits = bits == 1 ? 2 : 1;  // never what was assumed
    r->Confirm(r->Frame() - 10, 0, bits);
    const auto t0 = std::chrono::steady_clock::now();
    r->CatchUp();
    worst = std::max(
        worst,
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    again += r->LastRollback();
    state.PauseTiming();
    r->Advance();
    state.ResumeTiming();
  }
  state.counters["frames_again"] = benchmark::Counter(again, benchmark::Counter::kAvgIterations);
  state.counters["worst_ms"] = worst;
  state.counters["match_bytes"] = static_cast<double>(sizeof(Match));
}
BENCHMARK(BM_RollbackTenFrames)->Unit(benchmark::kMillisecond)->Iterations(200);

// What saving the match before every frame costs: one copy into a kept slot.
void BM_RollbackSaveOneFrame(benchmark::State& state) {
  uint32_t crowded = 0;
  std::unique_ptr<Match> start = CrowdedStart(crowded);
  auto saved = std::make_unique<Match>(*start);
  auto m = std::make_unique<Match>(*start);
  for (uint32_t f = 0; f < crowded; ++f) {
    const double t = start->LastFrameTime + static_cast<double>(f + 1) * kNetStep;
    StepMatchFrame(*m, t, t, nullptr);
  }
  for (auto _ : state) {
    *saved = *m;
    benchmark::DoNotOptimize(saved->frameNumber);
  }
}
BENCHMARK(BM_RollbackSaveOneFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tdx::net
