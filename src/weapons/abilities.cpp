#include "weapons/abilities.h"

#include "app/game.h"

namespace tdx {

// The kinds' actions arrive with the weapons; until then fire does nothing here (the
// traveller, warper, stopper and pauser rules live in the step and the collisions).
void AbilityAction(Game&, TCerv&, double) {}

void ContinuousEffects(Game&, TCerv&, double) {}

}  // namespace tdx
