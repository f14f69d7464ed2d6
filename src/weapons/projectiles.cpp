#include "weapons/projectiles.h"

namespace tdx {

void nastavsprity(Game&) {}
void ProjectileUpdate(Game&) {}
void AnimateTeleports(Game&) {}
void UpdateFireBalls(Game&) {}
void UpdateDiggers(Game&) {}
void UpdateWallWalkers(Game&) {}
void UpdateBombs(Game&) {}

}  // namespace tdx
