// The planning computer player: the worst frame (twelve worms searching at once among
// every weapon the arena can hold) and a typical frame (twelve running checks).
#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include "app/frame_clock.h"
#include "app/frame_loop.h"
#include "app/game.h"
#include "app/round_cycle.h"
#include "match/arena/arena.h"
#include "match/arena/worm.h"
#include "match/computer/computer.h"
#include "match/computer/hazards.h"
#include "match/computer/planner.h"
#include "match_frames.h"
#include "menu/settings.h"

namespace tdx {
namespace {

double Real(Rng& rng, double lo, double hi) { return lo + (hi - lo) * rng.Unit(); }

// A crowded arena at speed 30: twelve cpuiq10 worms among wandering trails, every worm with
// 65 viruses (780 in all) and a flying rocket. Clustered viruses lie in rings of 16, as
// they are released; otherwise they are spread over the whole arena.
void CrowdedArena(Game& g, bool clustered, uint64_t seed, int lines = 24) {
  Rng rng(seed);
  g.phase = GamePhase::Playing;
  g.GlobalSpeed = 30;
  g.Now = 20;
  g.ArenaMap.Clear();
  for (int line = 0; line < lines; ++line) {
    double x = Real(rng, 0, 608), y = Real(rng, 0, 408), h = Real(rng, 0, 360);
    uint8_t owner = static_cast<uint8_t>(rng.Random(12));
    for (int k = 0; k < 150; ++k) {
      h += Real(rng, -15, 15);
      double nx = x + 2 * std::cos(h * std::numbers::pi / 180);
      double ny = y + 2 * std::sin(h * std::numbers::pi / 180);
      PaintMove(g.ArenaMap, owner, x, y, nx, ny);
      x = nx;
      y = ny;
    }
  }
  for (int s = 0; s < kPlayerSlots; ++s) {
    g.settings.players[s].controller = CtrlCpuIq10;
    TCerv& w = g.Worm(s);
    w.slot = static_cast<uint8_t>(s);
    w.alive = 1;
    w.kind = WormKind::None;
    // A free place away from the trails.
    do {
      w.nextX = Real(rng, 30, 578);
      w.nextY = Real(rng, 30, 378);
    } while (g.ArenaMap.At(static_cast<int>(w.nextX), static_cast<int>(w.nextY)) != EmptyCell);
    w.headX = w.nextX;
    w.headY = w.nextY;
    w.heading = Real(rng, 0, 360);
    w.speed = g.GlobalSpeed;
    for (size_t v = 0; v < kVirusCount; ++v) {
      w.virusActive[v] = 1;
      if (clustered) {
        double cx = Real(rng, 0, 608), cy = Real(rng, 0, 408);
        double a = static_cast<double>(v % 16) * 22.5 * std::numbers::pi / 180;
        w.virusX[v] = cx + 24 * std::cos(a);
        w.virusY[v] = cy + 24 * std::sin(a);
      } else {
        w.virusX[v] = Real(rng, 0, 608);
        w.virusY[v] = Real(rng, 0, 408);
      }
    }
    w.rocketActive = w.rocketFlying = 1;
    w.missileX = Real(rng, 0, 608);
    w.missileY = Real(rng, 0, 408);
    w.planState = 0;
  }
}

// 48 bombs, 12 diggers and 60 fire balls, which the arena does not hold yet, as the
// hazard points their gatherers will add.
std::vector<HazardPoint> BonusObjects(uint64_t seed) {
  Rng rng(seed);
  std::vector<HazardPoint> out;
  for (int i = 0; i < 48; ++i) out.push_back({Real(rng, 0, 608), Real(rng, 0, 408), kBombReach});
  for (int i = 0; i < 12; ++i)
    out.push_back({Real(rng, -10, 620), Real(rng, 0, 408), kDiggerReach});
  for (int i = 0; i < 60; ++i)
    out.push_back({Real(rng, 0, 608), Real(rng, 0, 408), kFireBallReach});
  return out;
}

// Every worm searches in the same frame, through the game's own entry point. Arg 0:
// viruses spread, 1: in rings, 2: an open arena with every virus and rocket packed into
// its bottom strip, where the worms' simulations run longest.
void BM_PlannerWorstFrame(benchmark::State& state) {
  Game g;
  CreateWorms(g);
  CrowdedArena(g, state.range(0) == 1, 3, state.range(0) == 2 ? 0 : 24);
  if (state.range(0) == 2) {
    Rng rng(9);
    for (int s = 0; s < kPlayerSlots; ++s) {
      TCerv& w = g.Worm(s);
      w.nextY = Real(rng, 30, 300);
      for (size_t v = 0; v < kVirusCount; ++v) {
        w.virusX[v] = Real(rng, 0, 608);
        w.virusY[v] = Real(rng, 390, 408);
      }
      w.missileX = Real(rng, 0, 608);
      w.missileY = 450;
    }
  }
  Rng start = g.matchRng;
  for (auto _ : state) {
    state.PauseTiming();
    for (int s = 0; s < kPlayerSlots; ++s) g.Worm(s).planState = 0;
    g.matchRng = start;
    g.cpu.hazardsReady = false;  // each pass is a fresh frame
    state.ResumeTiming();
    for (int s = 0; s < kPlayerSlots; ++s) ComputerSteer(g, s);
  }
  const char* labels[] = {"spread viruses", "clustered viruses", "open arena"};
  state.SetLabel(labels[state.range(0)]);
}
BENCHMARK(BM_PlannerWorstFrame)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

// The same frame with the bonus objects added: each worm's search as CpuPlanner runs it
// (the frame's hazards gathered and indexed once, 221 candidates, the running check of the
// chosen plan).
void BM_PlannerWorstFrameWithBonusObjects(benchmark::State& state) {
  Game g;
  CreateWorms(g);
  CrowdedArena(g, state.range(0) != 0, 3);
  const std::vector<HazardPoint> objects = BonusObjects(4);
  Rng start = g.matchRng;
  for (auto _ : state) {
    state.PauseTiming();
    g.matchRng = start;
    state.ResumeTiming();
    g.cpu.hazardPoints.clear();
    GatherHazards(g, g.cpu.hazardPoints);
    g.cpu.hazardPoints.insert(g.cpu.hazardPoints.end(), objects.begin(), objects.end());
    g.cpu.hazards.Build(g.cpu.hazardPoints);
    for (int s = 0; s < kPlayerSlots; ++s) {
      TCerv& w = g.Worm(s);
      PlanSearch(g, w, g.cpu.hazards);
      RunPlan(g, w);
      benchmark::DoNotOptimize(SimulatePlan(g, w, 25 / g.GlobalSpeed, g.cpu.hazards));
      CpuAbilityRule(g, s);
    }
  }
  state.SetLabel(state.range(0) ? "clustered viruses" : "spread viruses");
}
BENCHMARK(BM_PlannerWorstFrameWithBonusObjects)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// A frame of play: every worm follows the plan its search chose and checks it, with a
// few trails and weapons about (48 viruses, 2 rockets). Arg 1: the longest possible plans,
// checked for 10.5 s ahead.
void BM_PlannerRunningFrame(benchmark::State& state) {
  Game g;
  CreateWorms(g);
  CrowdedArena(g, true, 5, 6);
  for (int s = 0; s < kPlayerSlots; ++s) {
    TCerv& w = g.Worm(s);
    for (size_t v = 4; v < kVirusCount; ++v) w.virusActive[v] = 0;
    for (size_t v = 0; v < 4; ++v) w.virusY[v] = 420;  // by the bottom edge
    w.rocketActive = s < 2;
    // A place where the chosen plan passes its check (a boxed-in worm searches again).
    Rng place(static_cast<uint64_t>(s));
    for (int tries = 0; tries < 100; ++tries) {
      w.planState = 0;
      ComputerSteer(g, s);
      if (w.planState == 2) break;
      w.nextX = Real(place, 30, 578);
      w.nextY = Real(place, 30, 378);
    }
    if (state.range(0)) {
      for (auto& step : w.plan) step = {0, 0.8};
      w.planCount = kPlanSteps;
      w.nextX = 20;
      w.nextY = 8 + 32 * s;
      w.heading = 0;
      w.speed = 1;  // 10.5 s of checking stays inside the arena
    }
  }
  std::vector<std::array<PlanStep, kPlanSteps>> plans;
  std::vector<uint8_t> counts;
  for (int s = 0; s < kPlayerSlots; ++s) {
    plans.push_back(g.Worm(s).plan);
    counts.push_back(g.Worm(s).planCount);
  }
  int searches = 0;
  for (auto _ : state) {
    state.PauseTiming();
    for (int s = 0; s < kPlayerSlots; ++s) {
      TCerv& w = g.Worm(s);
      w.planState = 2;
      w.plan = plans[static_cast<size_t>(s)];
      w.planCount = counts[static_cast<size_t>(s)];
      w.planStep = 0;
      w.planStart = g.Now;
    }
    g.cpu.hazardsReady = false;  // each pass is a fresh frame
    state.ResumeTiming();
    for (int s = 0; s < kPlayerSlots; ++s) ComputerSteer(g, s);
    for (int s = 0; s < kPlayerSlots; ++s) searches += g.Worm(s).planState != 2;
  }
  state.counters["replans"] = benchmark::Counter(searches, benchmark::Counter::kAvgIterations);
  state.SetLabel(state.range(0) ? "longest plans" : "plans as searched");
}
BENCHMARK(BM_PlannerRunningFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Whole playing frames of a real match of twelve cpuiq10 worms of kind none at speed 50
// (steps, planners, round logic): plans are searched whenever one ends or fails its check.
void BM_PlayingFrameTwelvePlanners(benchmark::State& state) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("tdx_bench_planners_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  Game g;
  g.folders = GameFolderAt(dir.string());
  g.matchRng.Seed(1);
  CreateWorms(g);
  for (int i = 0; i < kPlayerSlots; ++i) {
    PlayerSetup& p = g.settings.players[i];
    p.controller = CtrlCpuIq10;
    p.kind = static_cast<uint8_t>(WormKind::None);
    p.team = static_cast<uint8_t>(i % 4 + 1);
  }
  GameSetup& gs = g.settings.game;
  gs.speedMode = 1;
  gs.constantSpeed = 2;
  gs.scoreLimit = 5;
  gs.startPosition = static_cast<uint8_t>(StartPositionRule::Circle);
  std::string error;
  SaveSettings(g.SetupPath(), g.settings, error);
  FrameClock clock;
  clock.SetFixedStep(1.0 / 60);
  clock.Enable();
  StartMatch(g, 0);
  auto frame = [&] {
    clock.BeginFrame();
    FrameStep(g, clock);
  };
  long long frames = 0, alive = 0;
  for (auto _ : state) {
    SkipToPlay(state, g, frame);
    frame();
    ++frames;
    alive += AliveCount(g);
  }
  state.counters["mean_alive"] = static_cast<double>(alive) / static_cast<double>(frames);
  fs::remove_all(dir);
}
BENCHMARK(BM_PlayingFrameTwelvePlanners)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tdx
