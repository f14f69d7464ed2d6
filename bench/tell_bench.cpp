// What the match tells over the view costs a frame: the owners' rings round every shot and
// virus at their most, the notices and markers, and the countdown labels' layout (once a
// round, at twelve players).
#include <benchmark/benchmark.h>

#include "app/game.h"
#include "display/tell.h"
#include "match/arena/worm.h"
#include "match/round.h"

namespace tdx {
namespace {

void Twelve(Game& g, StartPositionRule rule) {
  CreateWorms(g);
  g.matchRng.Seed(1);
  for (int s = 0; s < 12; ++s) {
    PlayerSetup& p = g.settings.players[s];
    p.controller = s % 3 == 0 ? CtrlHuman : CtrlCpuIq10;
    p.kind = static_cast<uint8_t>(1 + (s * 7) % 20);
    p.team = static_cast<uint8_t>(1 + s % 4);
  }
  g.settings.game.startPosition = static_cast<uint8_t>(rule);
  g.settings.game.positions = 1;
  BeginMatch(g, 0);
  g.phase = GamePhase::RoundStart;
  StepMatchPhase(g);
  g.events.Clear();
}

void BM_LabelLayout(benchmark::State& state) {
  Game g;
  Twelve(g, static_cast<StartPositionRule>(state.range(0)));
  const LabelArea area = MatchLabelArea();
  for (auto _ : state) benchmark::DoNotOptimize(RoundLabels(g, SlotNames{}, area));
}
BENCHMARK(BM_LabelLayout)
    ->ArgName("rule")
    ->Arg(static_cast<int>(StartPositionRule::IntoTheMiddle))
    ->Arg(static_cast<int>(StartPositionRule::AwayFromTheMiddle))
    ->Arg(static_cast<int>(StartPositionRule::ProportionalRandom))
    ->Unit(benchmark::kMillisecond);

// Every worm's viruses, bullets, beams and fireball in flight, four notices and twelve
// markers: the most a playing frame ever draws of what is told.
void BM_TellPlayingFrame(benchmark::State& state) {
  Game g;
  Twelve(g, StartPositionRule::IntoTheMiddle);
  g.phase = GamePhase::Playing;
  g.Now = 30;
  for (int s = 0; s < 12; ++s) {
    TCerv& w = g.Worm(s);
    auto show = [&](Look& l, int i) {
      l.visible = 1;
      l.x = static_cast<float>(40 + (s * 47 + i * 13) % 560);
      l.y = static_cast<float>(70 + (s * 31 + i * 7) % 380);
      l.width = l.height = 8;
    };
    int i = 0;
    for (Look& l : w.virusLook) show(l, i++);
    for (Look& l : w.bulletLook) show(l, i++);
    for (Look& l : w.laserBeam) show(l, i++);
    show(w.fireballLook, i++);
    MatchEvent death;
    death.kind = MatchEvent::Kind::Death;
    death.value = s;
    death.blame = {DeathCause::Laser, (s + 1) % 12};
    g.events.raised.push_back(death);
  }
  TellMatchEvents(g);
  for (auto _ : state) {
    g.afterCanvas.Begin();
    DrawTellings(g, g.afterCanvas);
    benchmark::DoNotOptimize(g.afterCanvas.Data());
  }
}
BENCHMARK(BM_TellPlayingFrame)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tdx
