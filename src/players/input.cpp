#include "players/input.h"

#include "app/game.h"
#include "audio/sound.h"
#include "players/computer.h"
#include "weapons/projectiles.h"

namespace tdx {

namespace {

constexpr int kLeft = 0, kRight = 1, kFire = 2;

uint8_t ControlKey(const TCerv& w, int control) {
  return control == kLeft ? w.leftKey : control == kRight ? w.rightKey : w.fireKey;
}

// Stops every other alive worm (in team play only the other teams') for this frame.
void StopOthers(Game& g, int stopper) {
  int team = TeamNumber(g.settings.players[stopper]);
  for (int s = 0; s < kPlayerSlots; ++s) {
    TCerv& w = g.Worm(s);
    if (s == stopper || !w.alive) continue;
    if (g.match.TeamMode != 0 && TeamNumber(g.settings.players[s]) == team) continue;
    w.stopped = 1;
    w.stoppedBy = static_cast<uint8_t>(stopper);
  }
}

// Keeps a repeating ability sound from playing on every quick press.
void SoundGate(Game& g, bool& ready, double& next, const char* sound, double x) {
  if (ready) {
    PlaySoundByName(g, sound, x);
    next = g.Now + 0.3;
    ready = false;
  } else if (next < g.Now) {
    ready = true;
  }
}

void FreshPress(Game& g, int slot, TCerv& w) {
  bool energy = w.energy > 1.0;
  w.fireHeld = 1;
  switch (w.kind) {
    case WormKind::None: w.fireHeld = 0; break;
    case WormKind::Traveller:
      if (energy) PlaySoundByName(g, "traveller.mp3", w.nextX);
      break;
    case WormKind::Speeder:
      if (energy) PlaySoundByName(g, "speeder.mp3", w.nextX);
      break;
    case WormKind::Stopper:
      if (energy) {
        StopOthers(g, slot);
        PlaySoundByName(g, "pause.mp3", w.nextX);
      }
      break;
    case WormKind::Repeller:
      if (energy) PlaySoundByName(g, "repeller.mp3", w.nextX);
      break;
    case WormKind::WInfernal:
      w.infernalAngle = {w.heading, w.heading};
      if (energy) {
        SoundGate(g, g.gates.InfernalSoundReady, g.gates.InfernalSoundNext, "infernal.mp3",
                  w.nextX);
        for (FireEffect* f : w.infernalFire) {
          if (f) f->disabled = false;
        }
      }
      break;
    case WormKind::WThicker:
      if (energy) {
        SoundGate(g, g.gates.ThickSoundReady, g.gates.ThickSoundNext, "thick.mp3", w.nextX);
        w.thickMode = 1;
      }
      break;
    default: break;
  }
}

void Hold(Game& g, int slot, TCerv& w) {
  switch (w.kind) {
    case WormKind::Traveller:
    case WormKind::Speeder:
    case WormKind::Warper:
    case WormKind::Repeller:
    case WormKind::WInfernal:
    case WormKind::WThicker:
    case WormKind::Pauser: w.fireHeld = 1; break;
    case WormKind::Stopper:
      if (w.energy > 1.0) StopOthers(g, slot);
      w.fireHeld = 1;
      break;
    default: break;
  }
}

void Release(TCerv& w) {
  if (w.kind == WormKind::WInfernal) {
    for (FireEffect* f : w.infernalFire) {
      if (f) f->disabled = true;
    }
  } else if (w.kind == WormKind::WThicker) {
    w.thickMode = 0;
  }
}

}  // namespace

bool KeyDown(const Game& g, uint8_t code) { return code != 0 && g.input.Keys[code] != 0; }

bool ControlNow(const Game& g, int slot, int control) {
  const TCerv& w = *g.worms[static_cast<size_t>(slot)];
  if (g.settings.players[slot].controller == CtrlHuman) return KeyDown(g, ControlKey(w, control));
  return w.cpuKeys[static_cast<size_t>(control)] != 0;
}

bool ControlBefore(const Game& g, int slot, int control) {
  const TCerv& w = *g.worms[static_cast<size_t>(slot)];
  if (g.settings.players[slot].controller == CtrlHuman) {
    uint8_t key = ControlKey(w, control);
    return key != 0 && g.input.PrevKeys[key] != 0;
  }
  return w.cpuPrevKeys[static_cast<size_t>(control)] != 0;
}

bool AnyHumanPlayer(const Game& g) {
  for (int s = 0; s < kPlayerSlots; ++s) {
    if (g.settings.players[s].controller == CtrlHuman) return true;
  }
  return false;
}

bool SingleKeyDown(const Game& g) {
  int n = 0;
  for (uint8_t k : g.input.PrevKeys) n += k != 0;
  return n == 1;
}

bool NoKeyDown(const Game& g) {
  for (int c = 0; c < 256; ++c) {
    if (g.input.Keys[static_cast<size_t>(c)]) return false;
  }
  return true;
}

uint8_t LastKeyDown(const Game& g) {
  for (int c = 255; c >= 0; --c) {
    if (g.input.PrevKeys[static_cast<size_t>(c)]) return static_cast<uint8_t>(c);
  }
  return 0;
}

void processkeyboard(Game& g) {
  InputState& in = g.input;
  in.PrevKeys = in.Keys;
  in.Keys = in.Polled;
  in.Keys[0] = 0;  // code 0 is never down
  if (in.ForgetHeldKeys) {
    in.PrevKeys.fill(0);
    in.ForgetHeldKeys = false;
  }
  if (g.phase != GamePhase::Playing) return;
  for (int s = 0; s < kPlayerSlots; ++s) g.Worm(s).cpuPrevKeys = g.Worm(s).cpuKeys;
  for (int s = 0; s < kPlayerSlots; ++s) {
    if (g.Worm(s).alive && g.settings.players[s].controller > CtrlHuman) ComputerSteer(g, s);
  }
  for (int s = 0; s < kPlayerSlots; ++s) {
    if (g.Worm(s).alive) g.Worm(s).stopped = 0;
  }
  for (int s = 0; s < kPlayerSlots; ++s) {
    TCerv& w = g.Worm(s);
    if (!w.alive) continue;
    bool left = ControlNow(g, s, kLeft), right = ControlNow(g, s, kRight);
    w.turnLeft = left && !right;
    w.turnRight = right && !left;
    w.fireHeld = 0;
    bool now = ControlNow(g, s, kFire), before = ControlBefore(g, s, kFire);
    if (now && !before) {
      FreshPress(g, s, w);
    } else if (now && before) {
      Hold(g, s, w);
    } else if (!now && before) {
      Release(w);
    }
  }
  if (!AnyHumanPlayer(g) && !in.Keys[VK_Escape] && in.PrevKeys[VK_Escape]) {
    g.phase = GamePhase::BackToMenu;
    nastavsprity(g);
  }
}

}  // namespace tdx
