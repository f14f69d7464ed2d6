#include "players/input.h"

#include "app/game.h"

namespace tdx {

bool KeyDown(const Game& g, uint8_t code) { return code != 0 && g.input.Keys[code] != 0; }

void processkeyboard(Game& g) {
  InputState& in = g.input;
  in.PrevKeys = in.Keys;
  in.Keys = in.Polled;
  in.Keys[0] = 0;  // code 0 is never down
  if (in.ForgetHeldKeys) {
    in.PrevKeys.fill(0);
    in.ForgetHeldKeys = false;
  }
}

}  // namespace tdx
