// Projectiles, rockets, atomic bombs, viruses and the bonus objects: the calls the round
// makes every frame, and the launches the abilities make.
#pragma once

namespace tdx {

struct Game;
class TCerv;

// Resets every worm's projectile sprites (round start, round end, leaving a match).
void nastavsprity(Game& g);
// Once a playing frame, after the worms: bombs, rockets, fireballs, bullets, viruses,
// lasers and death markers, each kind moved for every worm before any of it hits.
void ProjectileUpdate(Game& g);
// Once a playing frame: the teleport flashes of the worms that landed.
void AnimateTeleports(Game& g);

// ---- Launches (the abilities decide when; these set the projectile going). ----
// The killer's fireball, 7 units ahead of the head.
void LaunchFireball(Game& g, TCerv& w);
// Bullet `index` (0..6) of the shooter's burst, from the head along the present heading.
void LaunchBullet(Game& g, TCerv& w, int index);
// The four laser beams around the head, flying right, left, down and up.
void LaunchLaser(Game& g, TCerv& w);
// The teleporter's jump to a random place, on a cleared disc, with its flash.
void TeleportWorm(Game& g, TCerv& w);

// The single passes of ProjectileUpdate, for tests and benchmarks.
void UpdateFireballFlight(Game& g, double dt);
void UpdateFireballHits(Game& g);
void UpdateBulletFlight(Game& g, double dt);
void UpdateBulletHits(Game& g);
void UpdateLaserFlight(Game& g, double dt);
void UpdateLaserHits(Game& g);
void UpdateDeathMarkers(Game& g, double dt);

}  // namespace tdx
