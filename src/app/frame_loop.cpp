#include "app/frame_loop.h"

#include "app/frame_clock.h"
#include "app/game.h"
#include "app/game_flow.h"
#include "app/round_cycle.h"
#include "audio/sound.h"
#include "match/computer/computer.h"
#include "players/input.h"

namespace tdx {

void FrameStep(Game& g, const FrameClock& clock, const std::array<Controls, 12>* people) {
  g.Now = clock.Current();
  g.FrameDelta = g.Now - g.LastFrameTime;  // not clamped: a slow frame moves everything further
  GameFlowStep(g);
  processkeyboard(g);
  if (people) {
    for (int s = 0; s < kPlayerSlots; ++s) {
      if (IsHumanSlot(g.settings.players[s])) g.controls[static_cast<size_t>(s)] = (*people)[s];
    }
  }
  if (g.phase == GamePhase::Playing) PlayControls(g);
  // What the rules raised is heard after the step, in the order raised.
  PlayMatchEvents(g);
  g.PlannerText = CpuDebugText(g);
  g.AudioActivityText = AudioActivityText(g);
  ServiceMusic(g);
  g.LastFrameTime = clock.Current();
  ++g.frameNumber;
}

}  // namespace tdx
