// Bonus places: created when a match starts, cycled every playing frame.
#pragma once

namespace tdx {

struct Game;

void CreateBonusSprites(Game& g);
void DestroyBonusSprites(Game& g);
void UpdateBonusSlot(Game& g, int index);

}  // namespace tdx
