// The abilities by worm kind, as the worm step calls them.
#pragma once

namespace tdx {

struct Game;
class TCerv;

// Step 4 of the worm step: what the worm's kind does while its fire control is active.
void AbilityAction(Game& g, TCerv& w, double dt);
// Step 5: the effects that run without the fire control (shooter burst, infernal
// fires, thick blob), in that order.
void ContinuousEffects(Game& g, TCerv& w, double dt);

}  // namespace tdx
