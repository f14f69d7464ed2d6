// How well the planner plays: whole headless rounds at a fixed frame time, the planner
// (cpuiq10) against the random driver (cpuiq0), and two planners against each other.
// Reports the share of rounds each side wins and the mean length of a round.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "app/frame_clock.h"
#include "app/frame_loop.h"
#include "app/game.h"
#include "app/round_cycle.h"
#include "match/arena/worm.h"
#include "menu/settings.h"

namespace fs = std::filesystem;

namespace tdx {
namespace {

struct Tally {
  int rounds = 0;
  int wins[2] = {0, 0};
  double playSeconds = 0;
};

// Plays `rounds` rounds of slot 0 against slot 1 (both of `kind`) at speed 50, starting
// places into the middle, 50 frames a second.
Tally PlayRounds(uint8_t first, uint8_t second, WormKind kind, int rounds, uint64_t seed) {
  fs::path dir = fs::temp_directory_path() / ("tdx_strength_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  Game g;
  g.folders = GameFolderAt(dir.string());
  g.matchRng.Seed(seed);
  CreateWorms(g);
  for (int i = 0; i < kPlayerSlots; ++i) {
    PlayerSetup& p = g.settings.players[i];
    p.controller = i == 0 ? first : i == 1 ? second : static_cast<uint8_t>(CtrlOff);
    p.kind = static_cast<uint8_t>(kind);
    p.team = static_cast<uint8_t>(i + 1);
  }
  GameSetup& s = g.settings.game;
  s.speedMode = 1;
  s.constantSpeed = 2;  // 50
  s.scoreLimit = 5;     // 1000 rounds: more than we play
  s.startPosition = static_cast<uint8_t>(StartPositionRule::IntoTheMiddle);
  std::string error;
  SaveSettings(g.SetupPath(), g.settings, error);
  FrameClock clock;
  clock.SetFixedStep(1.0 / 50);
  clock.Enable();
  StartMatch(g, 0);
  Tally t;
  double playStart = 0;
  while (t.rounds < rounds && g.phase != GamePhase::GameOver) {
    GamePhase before = g.phase;
    clock.BeginFrame();
    FrameStep(g, clock);
    if (g.phase == before) continue;
    if (g.phase == GamePhase::Playing) playStart = g.Now;
    if (before == GamePhase::Playing) {
      t.playSeconds += g.Now - playStart;
      ++t.rounds;
    }
  }
  t.wins[0] = g.match.RoundWins[0];
  t.wins[1] = g.match.RoundWins[1];
  fs::remove_all(dir);
  return t;
}

void Report(benchmark::State& state, const Tally& t) {
  state.counters["rounds"] = t.rounds;
  state.counters["first_wins_pct"] = 100.0 * t.wins[0] / t.rounds;
  state.counters["second_wins_pct"] = 100.0 * t.wins[1] / t.rounds;
  state.counters["mean_round_s"] = t.playSeconds / t.rounds;
}

// The planner against the random driver, both of the kind given, 200 rounds.
void BM_PlannerAgainstRandomDriver(benchmark::State& state) {
  Tally t;
  for (auto _ : state) {
    t = PlayRounds(CtrlCpuIq10, CtrlCpuIq0, static_cast<WormKind>(state.range(0)), 200, 21);
  }
  Report(state, t);
}
BENCHMARK(BM_PlannerAgainstRandomDriver)
    ->DenseRange(0, 20)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

// Two planners of kind none: a planner that survives long makes long rounds.
void BM_PlannerAgainstPlanner(benchmark::State& state) {
  Tally t;
  for (auto _ : state) {
    t = PlayRounds(CtrlCpuIq10, CtrlCpuIq10, WormKind::None, static_cast<int>(state.range(0)), 22);
  }
  Report(state, t);
}
BENCHMARK(BM_PlannerAgainstPlanner)->Arg(200)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace tdx
