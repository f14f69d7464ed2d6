// The rocket launcher's homing rocket and the atomic bomber's bomb.
#pragma once

namespace tdx {

struct Match;
class TCerv;

// The rocket leaves the worm's next head position and homes on the nearest enemy head
// or extra head; with none it flies at the point 300 units ahead.
void LaunchRocket(Match& m, TCerv& w);
// The bomb lies where the head is, blinks its warning and then blasts.
void DropAtomicBomb(Match& m, TCerv& w);

// Pass 1 of the projectile update: warning, blast, burning and killing of every bomb.
void UpdateAtomicBombs(Match& m, double dt);
// Pass 2: every rocket's flight, hits and explosion.
void UpdateRockets(Match& m, double dt);

}  // namespace tdx
