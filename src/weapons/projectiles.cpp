#include "weapons/projectiles.h"

namespace tdx {

void nastavsprity(Game&) {}
void ProjectileUpdate(Game&) {}
void AnimateTeleports(Game&) {}

}  // namespace tdx
