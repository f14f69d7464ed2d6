// Computer players choose the same three controls a person does (left, right, fire).
#pragma once

namespace tdx {

struct Game;

// Writes the worm's cpuKeys for this frame. Until the planner arrives, computer worms
// drive straight and never fire.
void ComputerSteer(Game& g, int slot);

}  // namespace tdx
