#include "match/weapons/projectiles.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "match/arena/arena.h"
#include "match/bonus/bonus_places.h"
#include "match/match.h"
#include "match/weapons/rockets.h"
#include "match/weapons/victims.h"
#include "match/weapons/viruses.h"

namespace tdx {

namespace {

constexpr double kLaunchOffset = 7;  // projectiles leave this far ahead of the head
constexpr double kTeleportDisc = 40;

void ShowAt(Look& l, double x, double y) {
  PlaceAtArena(l, x, y);
  l.visible = true;
}

}  // namespace

// ---------------------------------------------------------------- launches

void LaunchFireball(Match& m, TCerv& w) {
  double r = w.heading * kDegToRad;
  w.fireballX = w.headX + kLaunchOffset * std::cos(r);
  w.fireballY = w.headY + kLaunchOffset * std::sin(r);
  w.fireballHeading = w.heading;
  ShowAt(w.fireballLook, w.fireballX, w.fireballY);
  w.fireballActive = 1;
  w.fireballPulseTime = 0;
  w.fireballPulse = 0;
  m.events.Sound("fireball.mp3", w.headX);
}

void LaunchBullet(Match&, TCerv& w, int index) {
  size_t i = static_cast<size_t>(index);
  double r = w.heading * kDegToRad;
  w.bulletX[i] = w.headX + kLaunchOffset * std::cos(r);
  w.bulletY[i] = w.headY + kLaunchOffset * std::sin(r);
  w.bulletHeading[i] = w.heading;
  ShowAt(w.bulletLook[i], w.bulletX[i], w.bulletY[i]);
  w.bulletActive[i] = 1;
}

void LaunchLaser(Match& m, TCerv& w) {
  const float cx = static_cast<float>(w.headX + kArenaViewX);
  const float cy = static_cast<float>(w.headY + kArenaViewY);
  const float at[kLaserBeamCount][2] = {{cx + 9, cy}, {cx - 9, cy}, {cx, cy + 9}, {cx, cy - 9}};
  for (size_t b = 0; b < kLaserBeamCount; ++b) {
    w.laserBeam[b].x = at[b][0];
    w.laserBeam[b].y = at[b][1];
    w.laserBeam[b].visible = true;
  }
  w.laserActive = 1;
  w.laserPulseTime = 0;
  w.laserPulse = 0;
  m.events.Sound("laser.mp3", w.headX);
}

void TeleportWorm(Match& m, TCerv& w) {
  // Never closer than 30 to an edge, and on a cleared disc: the worm cannot die landing.
  w.nextX = m.Random(548) + 30;
  w.nextY = m.Random(348) + 30;
  w.headX = w.nextX;
  w.headY = w.nextY;
  w.heading = m.Random(360);
  const int cx = static_cast<int>(RoundEven(w.nextX));
  const int cy = static_cast<int>(RoundEven(w.nextY));
  for (int x = std::max(0, cx - 40); x <= std::min(kArenaWidth - 1, cx + 40); ++x) {
    for (int y = std::max(0, cy - 40); y <= std::min(kArenaHeight - 1, cy + 40); ++y) {
      if (Closer(x, y, w.nextX, w.nextY, kTeleportDisc)) m.ArenaMap.At(x, y) = EmptyCell;
    }
  }
  Look& s = w.teleportLook;
  ShowAt(s, w.nextX, w.nextY);
  s.width = 24;
  s.height = 48;
  s.SetMaterial(LibGLMLtele, "tele00");
  w.teleportAnimActive = 1;
  w.teleportAnimStart = m.Now;
  w.teleportAnimEnd = m.Now + 50 / m.GlobalSpeed;
  m.events.Sound("teleport.mp3", w.headX);
}

// ---------------------------------------------------------------- fireballs

void UpdateFireballFlight(Match& m, double dt) {
  const double s = m.GlobalSpeed;
  for (int slot = 0; slot < kPlayerSlots; ++slot) {
    TCerv& w = m.Worm(slot);
    if (!w.fireballActive) continue;
    w.fireballPulseTime += dt;
    while (w.fireballPulseTime > 5 / s) {
      w.fireballPulseTime -= 5 / s;
      w.fireballPulse ^= 1;
    }
    Look& sp = w.fireballLook;
    sp.width = sp.height = static_cast<float>(16 + 2 * w.fireballPulse);
    double r = w.fireballHeading * kDegToRad;
    w.fireballX += std::cos(r) * 150 * dt * s / 50;
    w.fireballY += std::sin(r) * 150 * dt * s / 50;
    PlaceAtArena(sp, w.fireballX, w.fireballY);
    if (OffScreen(sp.x, sp.y)) {
      sp.visible = false;
      w.fireballActive = 0;
    }
  }
}

void UpdateFireballHits(Match& m) {
  for (int slot = 0; slot < kPlayerSlots; ++slot) {
    TCerv& w = m.Worm(slot);
    if (!w.fireballActive) continue;
    BurnSquare(m.ArenaMap, w.fireballX, w.fireballY, 5, 5);
    HitVictimsNear(m, {DeathCause::Fireball, slot}, slot, w.fireballX, w.fireballY,
                   7);  // and flies on
  }
}

// ---------------------------------------------------------------- bullets

void UpdateBulletFlight(Match& m, double dt) {
  const double step = 110 * dt * m.GlobalSpeed / 50;
  for (int slot = 0; slot < kPlayerSlots; ++slot) {
    TCerv& w = m.Worm(slot);
    for (size_t i = 0; i < kBulletCount; ++i) {
      if (!w.bulletActive[i]) continue;
      double r = w.bulletHeading[i] * kDegToRad;
      w.bulletX[i] += std::cos(r) * step;
      w.bulletY[i] += std::sin(r) * step;
      Look& sp = w.bulletLook[i];
      PlaceAtArena(sp, w.bulletX[i], w.bulletY[i]);
      if (OffScreen(sp.x, sp.y)) {
        sp.visible = false;
        w.bulletActive[i] = 0;
      }
    }
  }
}

void UpdateBulletHits(Match& m) {
  for (int slot = 0; slot < kPlayerSlots; ++slot) {
    TCerv& w = m.Worm(slot);
    for (size_t i = 0; i < kBulletCount; ++i) {
      if (!w.bulletActive[i]) continue;
      BurnSquare(m.ArenaMap, w.bulletX[i], w.bulletY[i], 4, 4);
      HitVictimsNear(m, {DeathCause::Shot, slot}, slot, w.bulletX[i], w.bulletY[i], 5);
    }
  }
}

// ---------------------------------------------------------------- lasers

void UpdateLaserFlight(Match& m, double dt) {
  const double s = m.GlobalSpeed;
  const float step = static_cast<float>(100 * dt * s / 50);
  for (int slot = 0; slot < kPlayerSlots; ++slot) {
    TCerv& w = m.Worm(slot);
    if (!w.laserActive) continue;
    w.laserPulseTime += dt;
    while (w.laserPulseTime > 0.1 * 50 / s) {
      w.laserPulseTime -= 0.1 * 50 / s;
      w.laserPulse ^= 1;
    }
    // The pulse widens each beam across its way.
    const float across = static_cast<float>(12 + 2 * w.laserPulse);
    auto& b = w.laserBeam;
    b[0].height = b[1].height = across;
    b[2].width = b[3].width = across;
    b[0].x += step;
    b[1].x -= step;
    b[2].y += step;
    b[3].y -= step;
    // Beams fly on off screen until all four are out.
    if (b[0].x > 650 && b[1].x < -10 && b[2].y > 490 && b[3].y < -10) {
      for (Look& beam : b) beam.visible = false;
      w.laserActive = 0;
    }
  }
}

void UpdateLaserHits(Match& m) {
  for (int slot = 0; slot < kPlayerSlots; ++slot) {
    TCerv& w = m.Worm(slot);
    if (!w.laserActive) continue;
    double bx[kLaserBeamCount], by[kLaserBeamCount];
    for (size_t b = 0; b < kLaserBeamCount; ++b) {
      bx[b] = static_cast<double>(w.laserBeam[b].x) - kArenaViewX;
      by[b] = static_cast<double>(w.laserBeam[b].y) - kArenaViewY;
      bool horizontal = b < 2;
      BurnSquare(m.ArenaMap, bx[b], by[b], horizontal ? 5 : 2, horizontal ? 2 : 5);
    }
    HitVictims(m, {DeathCause::Laser, slot}, slot, false, [&](double x, double y) {
      for (size_t b = 0; b < kLaserBeamCount; ++b) {
        if (std::fabs(x - bx[b]) < 4 && std::fabs(y - by[b]) < 4) return true;
      }
      return false;
    });
  }
}

// ---------------------------------------------------------------- death markers

void UpdateDeathMarkers(Match& m, double dt) {
  for (int slot = 0; slot < kPlayerSlots; ++slot) {
    TCerv& w = m.Worm(slot);
    Look& sp = w.ripLook;
    if (!sp.visible) continue;
    w.ripTime += dt;
    if (w.ripTime > 1.0) {
      sp.visible = false;
      continue;
    }
    // The marker drifts on along the dead worm's heading and shrinks to half.
    double r = w.heading * kDegToRad;
    sp.x += static_cast<float>(std::cos(r) * dt * 3);
    sp.y += static_cast<float>(std::sin(r) * dt * 3);
    sp.width = sp.height = static_cast<float>(16 - 8 * w.ripTime);
  }
}

// ---------------------------------------------------------------- the frame

void ProjectileUpdate(Match& m) {
  const double dt = m.FrameDelta;
  UpdateAtomicBombs(m, dt);
  UpdateRockets(m, dt);
  UpdateFireballFlight(m, dt);
  UpdateFireballHits(m);
  UpdateBulletFlight(m, dt);
  UpdateBulletHits(m);
  UpdateViruses(m, dt);
  UpdateLaserFlight(m, dt);
  UpdateLaserHits(m);
  UpdateDeathMarkers(m, dt);
}

void AnimateTeleports(Match& m) {
  for (int slot = 0; slot < kPlayerSlots; ++slot) {
    TCerv& w = m.Worm(slot);
    if (!w.alive || !w.teleportAnimActive) continue;
    if (m.Now > w.teleportAnimEnd) {
      w.teleportAnimActive = 0;
      w.teleportLook.visible = false;
      continue;
    }
    // The flash stays where the worm landed; only its frame changes.
    double span = w.teleportAnimEnd - w.teleportAnimStart;
    double f = span > 0 ? RoundEven((m.Now - w.teleportAnimStart) * 24 / span) : 0;
    int frame = static_cast<int>(std::clamp(f, 0.0, 23.0));
    char name[8];
    std::snprintf(name, sizeof name, "tele%02d", frame);
    w.teleportLook.SetMaterialName(name);
  }
}

void nastavsprity(Match& m) {
  // The bonus counters and the twelve bonus places start again with the shots.
  ResetBonusRound(m);
  const LibraryId shots = LibGlmlshots;
  auto set = [&](Look& l, LibraryId lib, float w, float h, const char* material) {
    l.SetMaterial(lib, material);
    l.width = w;
    l.height = h;
    l.x = l.y = 0;
    l.rotation = 0;
    l.visible = false;
  };
  for (int slot = 0; slot < kPlayerSlots; ++slot) {
    TCerv& w = m.Worm(slot);
    w.teleportAnimActive = 0;
    w.teleportLook.visible = false;
    w.infernalOn = 0;
    w.rocketActive = 0;
    w.rocketFlying = 0;
    for (size_t i = 0; i < kBulletCount; ++i) {
      w.bulletLook[i].visible = false;
      w.bulletActive[i] = 0;
    }
    w.thickness = 1.0;
    w.thickMode = 0;

    set(w.fireballLook, shots, 16, 16, "shot");
    set(w.ripLook, shots, 16, 16, "rip");
    if (w.kind == WormKind::RocketLauncher) {
      set(w.missileLook, shots, 24, 24, "rocket1");
    } else if (w.kind == WormKind::AtomicBomber) {
      set(w.missileLook, LibGLMLatomic, 96, 64, "01");
    } else {
      w.missileLook.visible = false;
    }
    set(w.laserBeam[0], shots, 12, 12, "laserh");
    set(w.laserBeam[1], shots, 12, 12, "laserh");
    set(w.laserBeam[2], shots, 12, 12, "laserv");
    set(w.laserBeam[3], shots, 12, 12, "laserv");
    for (Look& v : w.virusLook) set(v, shots, 12, 12, "virus1a");
    for (Look& b : w.bulletLook) set(b, shots, 10, 10, "tripple");
  }
}

}  // namespace tdx
