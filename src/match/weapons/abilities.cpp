#include "match/weapons/abilities.h"

#include "match/weapons/worm_kinds.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "match/arena/arena.h"
#include "match/arena/worm_step.h"
#include "match/match.h"
#include "match/weapons/projectiles.h"
#include "match/weapons/rockets.h"
#include "match/weapons/victims.h"
#include "match/weapons/viruses.h"

namespace tdx {

namespace {

constexpr double kBurstInterval = 11.5;  // / GlobalSpeed seconds between bullets
constexpr double kRepelStrength = 1000;
constexpr double kInfernalReach = 10;
constexpr double kInfernalTurn = 300;  // degrees per second, one fire each way
constexpr double kInfernalKill = 6;
constexpr double kThickRate = 10;  // units per second
constexpr double kThickMax = 16;

bool AnyCloneAlive(const TCerv& w) {
  return std::any_of(w.cloneAlive.begin(), w.cloneAlive.end(), [](uint8_t a) { return a; });
}

// Extra head 4 appears at the tail once a round, on the first multiplication.
void SpawnTailClone(TCerv& w) {
  if (w.tailCloneUsed) return;
  w.cloneAlive[4] = 1;
  w.cloneX[4] = w.tailX;
  w.cloneY[4] = w.tailY;
  w.cloneHeading[4] = w.tailHeading;
  w.tailCloneUsed = 1;
}

void SetClone(TCerv& w, size_t k, double x, double y, double heading) {
  w.cloneAlive[k] = 1;
  w.cloneX[k] = x;
  w.cloneY[k] = y;
  w.cloneHeading[k] = heading;
}

void StartClonesFromHere(TCerv& w) {
  w.clonePrevX = w.cloneX;
  w.clonePrevY = w.cloneY;
}

void PushAway(double& x, double& y, double fromX, double fromY, double dt) {
  double dx = x - fromX, dy = y - fromY;
  double d2 = dx * dx + dy * dy;
  // Exactly on the repeller the push has no direction: the worm stays where it is.
  if (d2 == 0) return;
  x += dx * kRepelStrength * dt / d2;
  y += dy * kRepelStrength * dt / d2;
}

}  // namespace

// ---------------------------------------------------------------- energy

bool DrainEnergy(TCerv& w, double rate, double dt) {
  w.energy -= rate * dt;
  if (w.energy < 1) w.energy = 1;
  return w.energy > 1;
}

bool PayEnergy(TCerv& w, double cost, bool alreadyActive) {
  if (!alreadyActive) w.energy -= cost;
  if (w.energy < 1) {
    w.energy = 1;
    return false;
  }
  return !alreadyActive;
}

bool AnyBulletActive(const TCerv& w) {
  return std::any_of(w.bulletActive.begin(), w.bulletActive.end(), [](uint8_t a) { return a; });
}

bool AnyBulletActive(const Match& m, int slot) {
  return slot >= 0 && slot < kPlayerSlots && AnyBulletActive(m.worms[static_cast<size_t>(slot)]);
}

// ---------------------------------------------------------------- held kinds

// Passing through trails is the collision test's; here it is only paid for.
void TravellerAction(Match&, TCerv& w, double dt) { DrainEnergy(w, 50, dt); }

void SpeederAction(Match&, TCerv& w, double dt) {
  // On top of any speed bonus; a stopper's freeze later in the step still wins.
  if (DrainEnergy(w, 35, dt)) w.speed *= 2;
}

// The freeze is set while input is read and applied by the step; here it is paid for.
void StopperAction(Match&, TCerv& w, double dt) { DrainEnergy(w, 70, dt); }

// The wrap is the step's; here it is paid for.
void WarperAction(Match&, TCerv& w, double dt) { DrainEnergy(w, 50, dt); }

void RepellerAction(Match& m, TCerv& w, double dt) {
  if (!DrainEnergy(w, 20, dt)) return;
  for (int s = 0; s < kPlayerSlots; ++s) {
    if (s == w.slot) continue;
    TCerv& v = m.Worm(s);
    if (!v.alive || v.stopped) continue;
    PushAway(v.headX, v.headY, w.nextX, w.nextY, dt);
    for (size_t k = 0; k < kCloneCount; ++k) {
      if (v.cloneAlive[k]) PushAway(v.cloneX[k], v.cloneY[k], w.nextX, w.nextY, dt);
    }
  }
}

void InfernalAction(Match&, TCerv& w, double dt) {
  if (DrainEnergy(w, 40, dt)) return;
  w.infernalOn = 0;
}

void ThickerAction(Match&, TCerv& w, double dt) {
  if (!DrainEnergy(w, 10, dt)) w.thickMode = 0;
}

// Standing still is the step's; here it is paid for.
void PauserAction(Match&, TCerv& w, double dt) { DrainEnergy(w, 5, dt); }

// ---------------------------------------------------------------- one-shot kinds

void ReverserAction(Match& m, TCerv& w, double) {
  if (!PayEnergy(w, 10, false)) return;
  // The worm goes on from its tail end; its former head becomes the tail.
  std::swap(w.heading, w.tailHeading);
  std::swap(w.headX, w.tailX);
  std::swap(w.headY, w.tailY);
  m.events.Sound("reverser.mp3", w.headX);
}

void KillerAction(Match& m, TCerv& w, double) {
  if (PayEnergy(w, 20, w.fireballActive)) LaunchFireball(m, w);
}

void LaserShooterAction(Match& m, TCerv& w, double) {
  if (PayEnergy(w, 20, w.laserActive)) LaunchLaser(m, w);
}

void MultiplierAction(Match& m, TCerv& w, double) {
  if (!PayEnergy(w, 40, AnyCloneAlive(w))) return;
  double r = w.heading * kDegToRad;
  double bx = w.nextX - 5 * std::cos(r), by = w.nextY - 5 * std::sin(r);
  const double turns[4] = {60, -60, 120, -120};
  for (size_t k = 0; k < 4; ++k) SetClone(w, k, bx, by, w.heading + turns[k]);
  SpawnTailClone(w);
  StartClonesFromHere(w);
  m.events.Sound("multiplier.mp3", w.nextX);
}

void ReproducerAction(Match& m, TCerv& w, double) {
  if (!PayEnergy(w, 40, AnyCloneAlive(w))) return;
  double left = (w.heading + 90) * kDegToRad, right = (w.heading - 90) * kDegToRad;
  // Two heads on each side, running parallel to the worm.
  SetClone(w, 0, w.nextX - 25 * std::cos(left), w.nextY - 25 * std::sin(left), w.heading);
  SetClone(w, 1, w.nextX - 50 * std::cos(left), w.nextY - 50 * std::sin(left), w.heading);
  SetClone(w, 2, w.nextX - 25 * std::cos(right), w.nextY - 25 * std::sin(right), w.heading);
  SetClone(w, 3, w.nextX - 50 * std::cos(right), w.nextY - 50 * std::sin(right), w.heading);
  SpawnTailClone(w);
  StartClonesFromHere(w);
  m.events.Sound("multiplier.mp3", w.nextX);
}

void VirusInfesterAction(Match& m, TCerv& w, double) {
  // Sixteen free places are needed; without them the press costs nothing.
  if (FreeVirusPlaces(w, kVirusCount) <= 15) return;
  if (!PayEnergy(w, 80, false)) return;
  ReleaseViruses(m, w, 16, 24, 22.5, kVirusCount);
  w.virusColour = static_cast<char>('a' + w.slot);
  w.virusControl = 0;
  m.events.Sound("viruses.mp3", w.headX);
}

void VirusControllerAction(Match& m, TCerv& w, double) {
  constexpr int kRing = 24;
  bool allFree = FreeVirusPlaces(w, kRing) == kRing;
  // Releasing costs 80; switching the mode of the viruses out there costs 40.
  if (!PayEnergy(w, allFree ? 80 : 40, false)) return;
  if (allFree) {
    ReleaseViruses(m, w, kRing, 32, 15, kRing);
    w.virusColour = static_cast<char>('a' + w.slot);
    w.virusControl = 1;
    w.virusFree = 1;
    m.events.Sound("viruses.mp3", w.headX);
  } else {
    w.virusFree = w.virusFree ? 0 : 1;
  }
}

void RocketLauncherAction(Match& m, TCerv& w, double) {
  if (PayEnergy(w, 40, w.rocketActive)) LaunchRocket(m, w);
}

void AtomicBomberAction(Match& m, TCerv& w, double) {
  if (PayEnergy(w, 40, w.atomicActive)) DropAtomicBomb(m, w);
}

void ErectorAction(Match& m, TCerv& w, double) {
  if (!PayEnergy(w, 20, false)) return;
  // Everything carrying the slot goes: trail, blob and the extra heads' lines.
  for (uint8_t& c : m.ArenaMap.cells) {
    if (c == w.slot) c = EmptyCell;
  }
  PaintLine(m, w.slot);
  if (m.gates.ErectorSoundReady) {
    m.events.Sound("erekcia.mp3", w.headX);
    m.gates.ErectorSoundNext = m.Now + 0.3;
    m.gates.ErectorSoundReady = false;
  } else if (m.gates.ErectorSoundNext < m.Now) {
    m.gates.ErectorSoundReady = true;
  }
}

void TeleporterAction(Match& m, TCerv& w, double) {
  if (PayEnergy(w, 40, false)) TeleportWorm(m, w);
}

void ShooterAction(Match& m, TCerv& w, double) {
  if (!PayEnergy(w, 40, w.burstActive || AnyBulletActive(w))) return;
  LaunchBullet(m, w, 0);
  w.burstCount = 0;
  w.burstActive = 1;
  w.burstNextTime = m.Now + kBurstInterval / m.GlobalSpeed;
  m.events.Sound("gulomet.mp3", w.headX);
}

// ---------------------------------------------------------------- continuous effects

void ShooterBurst(Match& m, TCerv& w) {
  if (!w.burstActive || !(w.burstNextTime < m.Now)) return;
  // One bullet per step, each along the heading of its moment.
  w.burstCount += 1;
  if (w.burstCount < kBulletCount) LaunchBullet(m, w, w.burstCount);
  w.burstNextTime = m.Now + kBurstInterval / m.GlobalSpeed;
  if (w.burstCount >= kBulletCount - 1) w.burstActive = 0;
}

void InfernalFires(Match& m, TCerv& w) {
  const double dt = m.FrameDelta;
  w.infernalAngle[0] += kInfernalTurn * dt;
  if (w.infernalAngle[0] > 360) w.infernalAngle[0] -= 360;
  w.infernalAngle[1] -= kInfernalTurn * dt;
  if (w.infernalAngle[1] < 0) w.infernalAngle[1] += 360;
  double px[2], py[2];
  for (size_t i = 0; i < 2; ++i) {
    double r = w.infernalAngle[i] * kDegToRad;
    px[i] = w.nextX + kInfernalReach * std::cos(r);
    py[i] = w.nextY + kInfernalReach * std::sin(r);
    // Our fires are drawn where their carrier stands on the view.
    PlaceAtArena(w.infernalCarrier[i], px[i], py[i]);
  }
  for (size_t i = 0; i < 2; ++i) {
    BurnSquare(m.ArenaMap, px[i], py[i], 4, 4);
    HitVictimsNear(m, {DeathCause::InfernalFire, w.slot}, w.slot, px[i], py[i], kInfernalKill);
  }
}

void ThickBlob(Match& m, TCerv& w) {
  const double dt = m.FrameDelta;
  if (w.thickMode == 0) {
    w.thickness = std::max(1.0, w.thickness - kThickRate * dt);
  } else if (w.thickMode == 1) {
    w.thickness = std::min(kThickMax, w.thickness + kThickRate * dt);
  }
  if (RoundEven(w.thickness) <= 1) return;
  const double t = w.thickness;
  const double r = (w.heading + 180) * kDegToRad;
  const double cx = w.nextX + t * std::cos(r), cy = w.nextY + t * std::sin(r);
  // The x range is one cell narrower at its far end than the y range.
  const int x0 = static_cast<int>(RoundEven(cx - t + 1)),
            x1 = static_cast<int>(RoundEven(cx + t - 1));
  const int y0 = static_cast<int>(RoundEven(cy - t + 1)),
            y1 = static_cast<int>(RoundEven(cy + t + 1));
  for (int x = std::max(0, x0); x <= std::min(kArenaWidth - 1, x1); ++x) {
    for (int y = std::max(0, y0); y <= std::min(kArenaHeight - 1, y1); ++y) {
      if (Closer(x, y, cx, cy, t)) m.ArenaMap.At(x, y) = w.slot;
    }
  }
}

// ---------------------------------------------------------------- dispatch

void AbilityAction(Match& m, TCerv& w, double dt) {
  if (auto action = RulesOf(w.kind).action) action(m, w, dt);
}

void ContinuousEffects(Match& m, TCerv& w, double dt) {
  if (auto effect = RulesOf(w.kind).continuous) effect(m, w, dt);
}

void ResetWeaponsRound(Match&, TCerv& w) {
  // The controller's mode starts from roaming with its first ring.
  w.virusControl = 0;
  w.virusFree = 0;
  w.ripTime = 0;
}

}  // namespace tdx
