#include "players/computer.h"

#include "app/game.h"

namespace tdx {

void ComputerSteer(Game& g, int slot) { g.Worm(slot).cpuKeys = {0, 0, 0}; }

}  // namespace tdx
