// One playing frame with twelve worms: the game flow's step, the keyboard, the music
// service and the before-render hook (trails, frame, bars), as the frame loop runs them.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "app/frame_clock.h"
#include "app/frame_loop.h"
#include "app/game.h"
#include "app/round_cycle.h"
#include "display/hooks.h"
#include "match/arena/worm.h"
#include "match_frames.h"

namespace fs = std::filesystem;
using namespace tdx;

static void BM_PlayingFrameTwelveWorms(benchmark::State& state) {
  fs::path dir = fs::temp_directory_path() / "tdx_bench_playing";
  fs::create_directories(dir);
  Game g;
  g.folders = GameFolderAt(dir.string());
  g.matchRng.Seed(1);
  CreateWorms(g);
  for (int i = 0; i < 12; ++i) {
    PlayerSetup& p = g.settings.players[i];
    p.controller = CtrlCpuIq0;
    p.kind = static_cast<uint8_t>(WormKind::Traveller);
    p.team = static_cast<uint8_t>(i % 4 + 1);
  }
  GameSetup& s = g.settings.game;
  s.speedMode = 1;
  s.constantSpeed = 2;
  s.scoreLimit = 5;
  s.startPosition = static_cast<uint8_t>(
      StartPositionRule::Circle);  // everyone runs round the centre: long rounds
  s.backgroundEffect = 1;
  s.positions = 1;
  s.showGameNumber = s.showGameTime = s.showRealTime = s.showScore = 1;
  std::string error;
  SaveSettings(g.SetupPath(), g.settings, error);
  FrameClock clock;
  clock.SetFixedStep(1.0 / 60);
  clock.Enable();
  StartMatch(g, 0);
  auto frame = [&] {
    clock.BeginFrame();
    FrameStep(g, clock);
    BeforeRender(g);
  };
  long long frames = 0;
  for (auto _ : state) {
    SkipToPlay(state, g, frame);
    frame();
    ++frames;
  }
  state.counters["alive"] = AliveCount(g);
  fs::remove_all(dir);
}
BENCHMARK(BM_PlayingFrameTwelveWorms)->Unit(benchmark::kMicrosecond);
