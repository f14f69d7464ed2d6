#include "menu/setup_menu.h"

#include <string>

#include "app/game.h"
#include "audio/sound.h"
#include "display/hud.h"
#include "players/key_names.h"

namespace tdx {

namespace {

constexpr int kTagBack = 1;

const char* ControllerWord(uint8_t c) {
  switch (c) {
    case CtrlOff: return "off";
    case CtrlHuman: return "human";
    case CtrlCpuIq0: return "cpuiq0";
    case CtrlCpuIq10: return "cpuiq10";
    default: return nullptr;
  }
}

const char* KindWord(uint8_t k) {
  static const char* const kWords[21] = {
      nullptr,           "traveller",       "speeder",       "stopper",    "warper",
      "reverser",        "killer",          "laser_shooter", "multiplier", "virus_infester",
      "repeller",        "rocket_launcher", "atomic_bomber", "reproducer", "erector",
      "teleporter",      "shooter",         "w_infernal",    "w_thicker",  "pauser",
      "virus_controller"};
  if (k == kKindRandomByte) return "w_random";
  return k <= 20 ? kWords[k] : nullptr;
}

}  // namespace

// The players' table as it stands in tandrix.cfg; "back" returns to the main menu.
void BuildSetupMenu(Game& g) {
  TMenuZoznam& list = g.menu.MainList();
  list.Clear();
  list.AddItem(g, 574, 454, kTagBack, "back", true, 1.1, kOrdinaryWord);
  list.AddItem(g, 7, 78, 0, "player", false, 1.0, kOrdinaryWord);
  list.AddItem(g, 84, 78, 1, "team", false, 1.1, kOrdinaryWord);
  list.AddItem(g, 158, 78, 99, "active", false, 1.1, kOrdinaryWord);
  list.AddItem(g, 256, 78, 1, "left", false, 1.1, kOrdinaryWord);
  list.AddItem(g, 329, 78, 1, "right", false, 1.1, kOrdinaryWord);
  list.AddItem(g, 402, 78, 1, "fire", false, 1.1, kOrdinaryWord);
  list.AddItem(g, 476, 78, 199, "job", false, 1.1, kOrdinaryWord);
  for (int i = 0; i < kPlayerSlots; ++i) {
    const PlayerSetup& p = g.settings.players[i];
    int top = 98 + 16 * i;
    list.AddItem(g, 26, 101 + 16 * i, 0, std::to_string(i + 1), false, 1.0, kOrdinaryWord);
    if (p.team >= 1 && p.team <= 4) {
      list.AddItem(g, 84, top, 2000 + i, std::to_string(p.team) + "c", false, 1.0, kOrdinaryWord);
    }
    if (const char* c = ControllerWord(p.controller)) {
      list.AddItem(g, 158, top, 100 + i, c, false, 1.0, kOrdinaryWord);
    }
    list.AddItem(g, 7, 100 + 16 * i, 1, ColourName(i), false, 0.9, kOrdinaryWord);
    list.AddItem(g, 256, top, 300 + i, KeyName(g, p.leftKey), false, 1.0, kOrdinaryWord);
    list.AddItem(g, 329, top, 400 + i, KeyName(g, p.rightKey), false, 1.0, kOrdinaryWord);
    list.AddItem(g, 402, top, 500 + i, KeyName(g, p.fireKey), false, 1.0, kOrdinaryWord);
    if (const char* k = KindWord(p.kind))
      list.AddItem(g, 476, top, 200 + i, k, false, 1.0, kOrdinaryWord);
  }
}

void SetupMenuStep(Game& g) {
  UpdateHover(g);
  if (TakeClick(g) && g.menu.HoverTag == kTagBack) {
    g.menu.MainList().Clear();
    g.phase = GamePhase::MainMenuBuild;
    g.menu.MenuMusicRunning = true;
    PlaySound(g, "menuclick.mp3", 0);
  }
}

}  // namespace tdx
