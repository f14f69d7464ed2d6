#include "app/own_screens.h"

#include "app/frame_clock.h"
#include "app/game.h"
#include "display/hooks.h"

namespace tdx {

bool ReadWindowFrame(Platform& platform, Game& g, std::vector<MouseEvent>& mouse,
                     std::array<uint8_t, 256>& keys, std::array<uint8_t, 256>& before) {
  mouse.clear();
  if (!platform.PumpEvents(mouse)) return false;
  before = keys;
  platform.ReadKeys(keys);
  g.input.Polled = keys;
  for (const MouseEvent& e : mouse) {
    MouseMove(g, e.x, e.y);
    if (e.kind == MouseEvent::Click) MouseClick(g);
  }
  return true;
}

void HandBackToMainMenu(Game& g, const FrameClock& clock, const SettingsBlock& own) {
  g.settings = own;
  g.Now = g.LastFrameTime = clock.Current();
  g.FrameDelta = 0;
  for (auto& list : g.menu.lists) list.Clear();
  g.menu.PopupFrameShown = false;
  g.phase = GamePhase::MainMenuBuild;
}

}  // namespace tdx
