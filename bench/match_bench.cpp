// The match as a value: what one copy of it costs (a snapshot for rollback or seeking), and
// what writing it down and reading it back costs. The match is taken mid-round, twelve
// computer players of every kind with bonuses on.
#include <benchmark/benchmark.h>

#include "match/arena/worm.h"
#include "match/match.h"
#include "match/round.h"
#include "match/snapshot.h"

namespace tdx {
namespace {

Match MidRound() {
  Match m;
  m.matchRng.Seed(9);
  CreateWorms(m);
  for (int s = 0; s < kPlayerSlots; ++s) {
    PlayerSetup& p = m.settings.players[s];
    p.controller = CtrlCpuIq10;
    p.kind = static_cast<uint8_t>(1 + s);
    p.team = static_cast<uint8_t>(1 + s % 4);
  }
  m.settings.game.bonus = 1;
  m.settings.game.scoreLimit = 5;
  BeginMatch(m, 0);
  for (int f = 0; f < 1200; ++f) {
    double now = m.LastFrameTime + 1.0 / 60;
    StepMatchFrame(m, now, now, nullptr);
  }
  return m;
}

void BM_MatchCopy(benchmark::State& state) {
  const Match m = MidRound();
  for (auto _ : state) {
    Match copy = m;
    benchmark::DoNotOptimize(copy);
  }
  state.counters["bytes"] = static_cast<double>(sizeof(Match));
}
BENCHMARK(BM_MatchCopy);

void BM_MatchSnapshotWriteAndRead(benchmark::State& state) {
  const Match m = MidRound();
  Match back;
  std::string error;
  size_t size = 0;
  for (auto _ : state) {
    std::vector<uint8_t> bytes = SaveSnapshot(m);
    size = bytes.size();
    benchmark::DoNotOptimize(LoadSnapshot(bytes, back, error));
  }
  state.counters["snapshot_bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_MatchSnapshotWriteAndRead);

}  // namespace
}  // namespace tdx
