#include "players/input.h"

#include "app/game.h"

namespace tdx {

namespace {

uint8_t ControlKey(const TCerv& w, int control) {
  return control == kControlLeft ? w.leftKey : control == kControlRight ? w.rightKey : w.fireKey;
}

bool IsHumanSlot(const Game& g, int slot) { return tdx::IsHumanSlot(g.settings.players[slot]); }

// A person's controls are their keys, in every phase (the waiting screen reads fire too).
void FillFromKeys(Game& g, int slot) {
  const TCerv& w = g.Worm(slot);
  Controls& c = g.controls[static_cast<size_t>(slot)];
  for (int k = 0; k < 3; ++k) {
    uint8_t key = ControlKey(w, k);
    c.now[k] = key != 0 && g.input.Keys[key] != 0;
    c.before[k] = key != 0 && g.input.PrevKeys[key] != 0;
  }
}

}  // namespace

bool KeyDown(const Game& g, uint8_t code) { return code != 0 && g.input.Keys[code] != 0; }

bool ControlNow(const Game& g, int slot, int control) {
  return g.controls[static_cast<size_t>(slot)].now[control];
}

bool ControlBefore(const Game& g, int slot, int control) {
  return g.controls[static_cast<size_t>(slot)].before[control];
}

bool AnyHumanPlayer(const Game& g) {
  for (int s = 0; s < kPlayerSlots; ++s) {
    if (IsHumanSlot(g, s)) return true;
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
  // People's controls are their keys, in every phase (the waiting screen reads fire too);
  // the computer players decide theirs in the match's own step.
  for (int s = 0; s < kPlayerSlots; ++s) {
    if (IsHumanSlot(g, s)) FillFromKeys(g, s);
  }
}

}  // namespace tdx
