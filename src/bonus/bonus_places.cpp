#include "bonus/bonus_places.h"

namespace tdx {

void CreateBonusSprites(Game&) {}
void DestroyBonusSprites(Game&) {}
void UpdateBonusSlot(Game&, int) {}

}  // namespace tdx
