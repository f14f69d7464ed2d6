// Projectiles, rockets, atomic bombs, viruses and the bonus objects: the calls the round
// makes every frame, and the launches the abilities make.
#pragma once

namespace tdx {

struct Match;
class TCerv;

// Resets every worm's projectile sprites (round start, round end, leaving a match).
void nastavsprity(Match& m);
// Once a playing frame, after the worms: bombs, rockets, fireballs, bullets, viruses,
// lasers and death markers, each kind moved for every worm before any of it hits.
void ProjectileUpdate(Match& m);
// Once a playing frame: the teleport flashes of the worms that landed.
void AnimateTeleports(Match& m);

// ---- Launches (the abilities decide when; these set the projectile going). ----
// The killer's fireball, 7 units ahead of the head.
void LaunchFireball(Match& m, TCerv& w);
// Bullet `index` (0..6) of the shooter's burst, from the head along the present heading.
void LaunchBullet(Match& m, TCerv& w, int index);
// The four laser beams around the head, flying right, left, down and up.
void LaunchLaser(Match& m, TCerv& w);
// The teleporter's jump to a random place, on a cleared disc, with its flash.
void TeleportWorm(Match& m, TCerv& w);

// The single passes of ProjectileUpdate, for tests and benchmarks.
void UpdateFireballFlight(Match& m, double dt);
void UpdateFireballHits(Match& m);
void UpdateBulletFlight(Match& m, double dt);
void UpdateBulletHits(Match& m);
void UpdateLaserFlight(Match& m, double dt);
void UpdateLaserHits(Match& m);
void UpdateDeathMarkers(Match& m, double dt);

}  // namespace tdx
