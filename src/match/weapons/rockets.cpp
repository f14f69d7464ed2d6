#include "match/weapons/rockets.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "match/arena/arena.h"
#include "match/match.h"
#include "match/weapons/victims.h"

namespace tdx {

namespace {

constexpr double kSearchLimit = 10000;
constexpr double kBlastRadius = 50;
constexpr double kRocketHitRadius = 7;

std::string Padded(int n, int digits) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%0*d", digits, n);
  return buf;
}

// The nearest alive enemy head or extra head that is not protected from rockets, within
// the search limit; ties keep the earlier one. False when none qualifies.
bool NearestTarget(Match& m, int owner, double fromX, double fromY, double& tx, double& ty) {
  double best = kSearchLimit;
  bool found = false;
  auto consider = [&](double x, double y) {
    double d = std::hypot(x - fromX, y - fromY);
    if (d < best) {
      best = d;
      tx = x;
      ty = y;
      found = true;
    }
  };
  for (int s = 0; s < kPlayerSlots; ++s) {
    if (s == owner) continue;
    const TCerv& v = m.Worm(s);
    if (!v.alive || v.rocketImmune) continue;
    consider(v.headX, v.headY);
    for (size_t k = 0; k < kCloneCount; ++k) {
      if (v.cloneAlive[k]) consider(v.cloneX[k], v.cloneY[k]);
    }
  }
  return found;
}

// Moves (x, y) towards (tx, ty) by `step`. A point already on its goal has no way to go
// and stays put.
void MoveTowards(double& x, double& y, double tx, double ty, double step) {
  double dx = tx - x, dy = ty - y;
  double d = std::sqrt(dx * dx + dy * dy);
  if (d == 0) return;
  x += dx / d * step;
  y += dy / d * step;
}

void StartExplosion(Match& m, TCerv& w) {
  w.rocketFlying = 0;
  w.missileTime = 0;
  w.missileFrame = 0;
  Look& sp = w.missileLook;
  sp.SetMaterial(LibGLMLrocket, "000");
  sp.width = sp.height = 32;
  m.events.Sound("rocketboom.mp3", w.missileX);
}

void RocketFlight(Match& m, int slot, TCerv& w, double dt) {
  const double s = m.GlobalSpeed;
  Look& sp = w.missileLook;
  w.missileTime += dt;
  while (w.missileTime > 2.5 / s) {
    w.missileTime -= 2.5 / s;
    if (++w.missileFrame >= 4) w.missileFrame = 0;
  }
  static const char* const kFrames[4] = {"rocket1", "rocket2", "rocket3", "rocket2"};
  sp.SetMaterialName(kFrames[std::clamp(w.missileFrame, 0, 3)]);

  // The target is chosen anew every frame; with nobody left it stays where it was.
  NearestTarget(m, slot, w.missileX, w.missileY, w.rocketTargetX, w.rocketTargetY);
  // The lead point chases the target at twice the rocket's speed and the rocket chases
  // the lead point: a curved homing path.
  MoveTowards(w.rocketLeadX, w.rocketLeadY, w.rocketTargetX, w.rocketTargetY, 1.6 * s * dt);
  MoveTowards(w.missileX, w.missileY, w.rocketLeadX, w.rocketLeadY, 0.8 * s * dt);

  double dx = w.rocketLeadX - w.missileX;
  if (dx == 0) dx = 0.001;
  double slope = (w.rocketLeadY - w.missileY) / dx;
  double rotation = dx > 0 ? -std::atan(slope) * kRadToDeg : std::atan(-slope) * kRadToDeg + 180;
  sp.rotation = static_cast<float>(rotation);
  PlaceAtArena(sp, w.missileX, w.missileY);
  sp.visible = true;

  // Protection from rockets only keeps a worm from being chosen, not from being hit.
  if (HitVictimsNear(m, {DeathCause::Rocket, slot}, slot, w.missileX, w.missileY,
                     kRocketHitRadius) > 0)
    StartExplosion(m, w);
  if (w.rocketFlying && Closer(w.rocketTargetX, w.rocketTargetY, w.missileX, w.missileY, 2.0))
    StartExplosion(m, w);
  if (w.rocketFlying && OffScreen(sp.x, sp.y)) {
    w.rocketActive = 0;
    sp.visible = false;
  }
}

void RocketExplosion(Match& m, TCerv& w, double dt) {
  // The explosion runs in real time, whatever the game speed, and kills nothing.
  Look& sp = w.missileLook;
  w.missileTime += dt;
  while (w.missileTime > 0.03) {
    w.missileTime -= 0.03;
    ++w.missileFrame;
  }
  if (w.missileFrame > 24) {
    w.rocketActive = 0;
    sp.visible = false;
    sp.SetLibrary(LibGlmlshots);
    sp.width = sp.height = 24;
  } else {
    sp.SetMaterialName(Padded(w.missileFrame, 3));
  }
}

void BurnDisc(ArenaGrid& a, double cx, double cy, double radius) {
  const int x0 = static_cast<int>(RoundEven(cx)), y0 = static_cast<int>(RoundEven(cy));
  const int r = static_cast<int>(radius);
  for (int x = std::max(0, x0 - r); x <= std::min(kArenaWidth - 1, x0 + r); ++x) {
    for (int y = std::max(0, y0 - r); y <= std::min(kArenaHeight - 1, y0 + r); ++y) {
      if (Closer(x, y, cx, cy, radius)) a.At(x, y) = EmptyCell;
    }
  }
}

void AtomicBomb(Match& m, TCerv& w, double dt) {
  const double s = m.GlobalSpeed;
  Look& sp = w.missileLook;
  w.missileTime += dt;
  if (w.missileFrame > 199) {
    // The warning: the sight blinks for five steps.
    while (w.missileTime > 12 / s) {
      w.missileTime -= 12 / s;
      ++w.missileFrame;
    }
    bool even = w.missileFrame % 2 == 0;
    if (even && !sp.visible) sp.visible = true;
    if (!even && sp.visible) sp.visible = false;
    if (w.missileFrame > 204) {
      // The blast: the cloud stands on the bomb, so its picture rises above it.
      w.missileFrame = 1;
      w.missileTime = 0;
      sp.y -= 32;
      sp.SetMaterial(LibGLMLatomic, "01");
      sp.width = 128;
      sp.height = 192;
      sp.visible = true;
      m.events.Sound("atomovka.mp3", static_cast<double>(sp.x) - kArenaViewX);
      BurnDisc(m.ArenaMap, w.missileX, w.missileY, kBlastRadius);
    }
    return;
  }
  if (w.missileFrame >= 100) return;
  while (w.missileTime > 2.5 / s) {
    w.missileTime -= 2.5 / s;
    w.missileFrame += 2;
  }
  if (w.missileFrame < 100) {
    sp.SetMaterialName(Padded(w.missileFrame, 2));
  } else {
    w.atomicActive = 0;
    sp.visible = false;
  }
  // Nobody is safe in the blast, the bomber included.
  HitVictimsNear(m, {DeathCause::AtomicBomb, w.slot}, -1, w.missileX, w.missileY, kBlastRadius);
}

}  // namespace

void LaunchRocket(Match& m, TCerv& w) {
  m.events.Sound("rocket.mp3", w.headX);
  w.rocketActive = 1;
  w.rocketFlying = 1;
  w.missileX = w.nextX;
  w.missileY = w.nextY;
  double r = w.heading * kDegToRad;
  w.rocketLeadX = w.headX + 5 * std::cos(r);
  w.rocketLeadY = w.headY + 5 * std::sin(r);
  w.rocketTargetX = w.headX + 300 * std::cos(r);
  w.rocketTargetY = w.headY + 300 * std::sin(r);
  NearestTarget(m, w.slot, w.nextX, w.nextY, w.rocketTargetX, w.rocketTargetY);
  Look& sp = w.missileLook;
  // The sprite may still show the last explosion's library and size.
  sp.SetMaterial(LibGlmlshots, "rocket1");
  sp.width = sp.height = 24;
  PlaceAtArena(sp, w.nextX, w.nextY);
  sp.visible = true;
  w.missileTime = 0;
  w.missileFrame = 0;
}

void DropAtomicBomb(Match& m, TCerv& w) {
  w.atomicActive = 1;
  w.missileX = w.nextX;
  w.missileY = w.nextY;
  Look& sp = w.missileLook;
  PlaceAtArena(sp, w.nextX, w.nextY);
  sp.SetMaterial(LibGlmlshots, "target");
  sp.width = sp.height = 48;
  sp.rotation = 0;
  sp.visible = true;
  w.missileTime = 0;
  w.missileFrame = 200;
  w.atomicLaunchedNow = 1;
  m.events.Sound("atomicalarm.mp3", w.headX);
}

void UpdateAtomicBombs(Match& m, double dt) {
  for (int slot = 0; slot < kPlayerSlots; ++slot) {
    TCerv& w = m.Worm(slot);
    if (w.atomicActive) AtomicBomb(m, w, dt);
  }
}

void UpdateRockets(Match& m, double dt) {
  for (int slot = 0; slot < kPlayerSlots; ++slot) {
    TCerv& w = m.Worm(slot);
    if (!w.rocketActive) continue;
    if (w.rocketFlying) {
      RocketFlight(m, slot, w, dt);
    } else {
      RocketExplosion(m, w, dt);
    }
  }
}

}  // namespace tdx
