// Who a weapon can hit: the alive heads of slots 0..11 and their alive extra heads.
#pragma once

#include <cmath>
#include <numbers>

#include "match/arena/worm.h"
#include "match/arena/worm_step.h"
#include "match/match.h"

namespace tdx {

inline constexpr double kDegToRad = std::numbers::pi / 180.0;
inline constexpr double kRadToDeg = 180.0 / std::numbers::pi;

// The screen rectangle outside which a projectile is gone (view pixels).
inline bool OffScreen(double viewX, double viewY) {
  return viewX > 650 || viewX < -10 || viewY > 490 || viewY < -10;
}

inline bool Closer(double ax, double ay, double bx, double by, double radius) {
  double dx = ax - bx, dy = ay - by;
  return dx * dx + dy * dy < radius * radius;
}

// Kills every victim for which `hits(x, y)` holds: a head by KillWorm, an extra head by
// KillClone. The worm in slot `spared` (the owner, or -1 for nobody) is never a victim,
// nor its extra heads; with `spareVirusImmune` neither are worms protected from viruses.
// A worm killed here is no longer alive for the next weapon; its death carries `blame`.
// Returns the number of hits.
template <class Hits>
int HitVictims(Match& m, DeathBlame blame, int spared, bool spareVirusImmune, Hits hits) {
  int n = 0;
  for (int s = 0; s < kPlayerSlots; ++s) {
    if (s == spared) continue;
    TCerv& v = m.Worm(s);
    if (!v.alive || (spareVirusImmune && v.virusImmune)) continue;
    if (hits(v.headX, v.headY)) {
      KillWorm(m, v, blame);
      ++n;
    }
    for (int k = 0; k < kCloneCount; ++k) {
      size_t i = static_cast<size_t>(k);
      if (v.cloneAlive[i] && hits(v.cloneX[i], v.cloneY[i])) {
        KillClone(v, k);
        ++n;
      }
    }
  }
  return n;
}

// Every victim closer than `radius` to (px, py).
inline int HitVictimsNear(Match& m, DeathBlame blame, int spared, double px, double py,
                          double radius, bool spareVirusImmune = false) {
  return HitVictims(m, blame, spared, spareVirusImmune,
                    [=](double x, double y) { return Closer(x, y, px, py, radius); });
}

inline void PlaceAtArena(Look& l, double x, double y) {
  l.x = static_cast<float>(x + kArenaViewX);
  l.y = static_cast<float>(y + kArenaViewY);
}

}  // namespace tdx
