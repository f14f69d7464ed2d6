// Projectiles, rockets, atomic bombs, viruses and the bonus objects: the calls the round
// makes every frame. Their behaviour comes with the weapons; until then they do nothing.
#pragma once

namespace tdx {

struct Game;

// Resets every worm's projectile sprites (round start, round end, leaving a match).
void nastavsprity(Game& g);
void ProjectileUpdate(Game& g);
void AnimateTeleports(Game& g);

}  // namespace tdx
