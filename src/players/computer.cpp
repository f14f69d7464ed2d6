#include "players/computer.h"

#include <cmath>
#include <numbers>

#include "app/game.h"
#include "arena/arena.h"
#include "arena/start_positions.h"
#include "players/hazards.h"
#include "players/planner.h"
#include "weapons/worm_kinds.h"

namespace tdx {

namespace {

constexpr double kDegToRad = std::numbers::pi / 180.0;
constexpr size_t kLeft = 0, kRight = 1, kFire = 2;
enum PlanState : uint8_t { kPlanNeeded = 0, kPlanRunning = 2, kPlanWaiting = 3 };

double Speed(const Game& g) { return g.GlobalSpeed > 0 ? g.GlobalSpeed : 50; }
int RoundInt(double v) { return static_cast<int>(RoundEven(v)); }

}  // namespace

// ---------------------------------------------------------------- what the worm sees

bool RayClear(const Game& g, const TCerv& w, double from, double to) {
  double c = std::cos(w.heading * kDegToRad), s = std::sin(w.heading * kDegToRad);
  for (int r = RoundInt(from), last = RoundInt(to); r <= last; ++r) {
    double cx = RoundEven(w.nextX + c * r - 1), cy = RoundEven(w.nextY + s * r - 1);
    if (!(cx >= 0 && cx <= kArenaWidth - 1 && cy >= 0 && cy <= kArenaHeight - 1)) return false;
    if (g.ArenaMap.At(static_cast<int>(cx), static_cast<int>(cy)) != EmptyCell) return false;
  }
  return true;
}

bool IsEnemy(const Game& g, int slot, int other) {
  if (other == slot || other < 0 || other >= kPlayerSlots) return false;
  if (!g.worms[static_cast<size_t>(other)]->alive) return false;
  if (!g.match.TeamMode) return true;
  return TeamNumber(g.settings.players[slot]) != TeamNumber(g.settings.players[other]);
}

namespace {

double EnemyDistance(const Game& g, const TCerv& w, int other) {
  const TCerv& e = *g.worms[static_cast<size_t>(other)];
  return PlanDistance(w.nextX, w.nextY, e.nextX, e.nextY);
}

// Some enemy is closer than d (the "first enemy closer than" of the ability rules).
bool EnemyCloser(const Game& g, int slot, double d) {
  const TCerv& w = *g.worms[static_cast<size_t>(slot)];
  for (int o = 0; o < kPlayerSlots; ++o) {
    if (IsEnemy(g, slot, o) && EnemyDistance(g, w, o) < d) return true;
  }
  return false;
}

}  // namespace

bool EnemyInRange(const Game& g, int slot, double dmin, double dmax) {
  const TCerv& w = *g.worms[static_cast<size_t>(slot)];
  for (int o = 0; o < kPlayerSlots; ++o) {
    if (!IsEnemy(g, slot, o)) continue;
    double d = EnemyDistance(g, w, o);
    if (dmin <= d && d <= dmax) return true;
  }
  return false;
}

bool EnemyInCone(const Game& g, int slot, double dmin, double dmax, double angle) {
  const TCerv& w = *g.worms[static_cast<size_t>(slot)];
  for (int o = 0; o < kPlayerSlots; ++o) {
    if (!IsEnemy(g, slot, o)) continue;
    double d = EnemyDistance(g, w, o);
    if (!(dmin <= d && d <= dmax)) continue;
    const TCerv& e = *g.worms[static_cast<size_t>(o)];
    double off = std::fmod(HeadingTowards(w.nextX, w.nextY, e.nextX, e.nextY) - w.heading, 360);
    if (off < 0) off += 360;
    if (off > 180) off = 360 - off;
    if (off < angle) return true;
  }
  return false;
}

bool EnemyAligned(const Game& g, int slot) {
  const TCerv& w = *g.worms[static_cast<size_t>(slot)];
  for (int o = 0; o < kPlayerSlots; ++o) {
    if (!IsEnemy(g, slot, o)) continue;
    const TCerv& e = *g.worms[static_cast<size_t>(o)];
    double dx = std::fabs(e.nextX - w.nextX), dy = std::fabs(e.nextY - w.nextY);
    if ((dx < 5 && dy < 20) || (dx < 20 && dy < 5)) return true;
  }
  return false;
}

bool StraightRunStaysInside(const TCerv& w, double length) {
  double x = w.nextX + std::cos(w.heading * kDegToRad) * length;
  double y = w.nextY + std::sin(w.heading * kDegToRad) * length;
  return x >= 1 && x <= kArenaWidth - 2 && y >= 1 && y <= kArenaHeight - 2;
}

bool NearBorder(const TCerv& w, double m) {
  return w.nextY > kArenaHeight - m || w.nextX > kArenaWidth - m || w.nextY < m || w.nextX < m;
}

// ---------------------------------------------------------------- cpuiq0

void CpuRandomSteer(Game& g, int slot) {
  TCerv& w = g.Worm(slot);
  const double s = Speed(g);
  if (w.cpuTurnChanged + w.cpuTurnInterval < g.Now) {
    if (w.cpuTurning) {
      // A straight stretch.
      w.cpuTurning = 0;
      w.cpuKeys[kLeft] = w.cpuKeys[kRight] = 0;
      w.cpuTurnChanged = g.Now;
      w.cpuTurnInterval = g.Random(RoundInt(4500 / s)) / 100.0 + 5 / s;
    } else {
      // A short turn to one side.
      w.cpuTurning = 1;
      bool left = g.Random(2) == 0;
      w.cpuKeys[kLeft] = left;
      w.cpuKeys[kRight] = !left;
      w.cpuTurnChanged = g.Now;
      w.cpuTurnInterval = g.Random(RoundInt(500 / s)) / 100.0;
    }
  }
  if (w.cpuFireChanged + w.cpuFireInterval < g.Now) {
    if (w.cpuFiring) {
      w.cpuFiring = 0;
      w.cpuKeys[kFire] = 0;
      w.cpuFireChanged = g.Now;
      w.cpuFireInterval = g.Random(RoundInt(4500 / s)) / 100.0 + 5 / s;
    } else {
      w.cpuFiring = 1;
      w.cpuKeys[kFire] = 1;
      w.cpuFireChanged = g.Now;
      w.cpuFireInterval = g.Random(RoundInt(1000 / s)) / 100.0 + 5 / s;
    }
  }
}

// ---------------------------------------------------------------- cpuiq10

void CpuPlanner(Game& g, int slot) {
  TCerv& w = g.Worm(slot);
  const double s = Speed(g);
  // The hazards are gathered once per worm and frame, and only when a simulation needs them.
  const HazardIndex* hazards = nullptr;
  auto seen = [&]() -> const HazardIndex& {
    if (!hazards) hazards = &PrepareHazards(g, w);
    return *hazards;
  };
  // The three states follow each other within one frame: a fresh plan is run and
  // checked at once, so a plan that fails its check is replaced in the next frame.
  if (w.planState == kPlanNeeded) PlanSearch(g, w, seen());
  if (w.planState == kPlanRunning) {
    g.cpu.planRan = true;
    g.cpu.planRanFrame = g.frameNumber;
    if (!RunPlan(g, w) || !SimulatePlan(g, w, 25 / s, seen())) {
      w.planState = kPlanNeeded;
      w.cpuTurning = 0;
      w.cpuKeys[kLeft] = w.cpuKeys[kRight] = 0;
    }
  }
  if (w.planState == kPlanWaiting && w.planWaitStart + 20 / s < g.Now) w.planState = kPlanNeeded;
  CpuAbilityRule(g, slot);
}

namespace {

void Press(TCerv& w) { w.cpuKeys[kFire] = 1; }
void Release(TCerv& w) { w.cpuKeys[kFire] = 0; }

// Fire down for a while: the busy hold ends (fire released) once its time has passed.
void HoldFor(const Game& g, TCerv& w, double seconds) {
  Press(w);
  w.cpuBusy = 1;
  w.cpuBusyUntil = g.Now + seconds;
}
// Returns true while a timed hold is on (and ends it when its time is up).
bool Busy(const Game& g, TCerv& w) {
  if (!w.cpuBusy) return false;
  if (w.cpuBusyUntil < g.Now) {
    Release(w);
    w.cpuBusy = 0;
  }
  return true;
}

// A press of one frame: fire goes down now and up in the next frame, which tests nothing.
// Returns true when it pressed.
template <class Condition>
bool PressOnceWhen(TCerv& w, Condition condition) {
  if (w.cpuPressed) {
    Release(w);
    w.cpuPressed = 0;
    return false;
  }
  if (!condition()) return false;
  Press(w);
  w.cpuPressed = 1;
  return true;
}

// Ends a no-press hold whose time is up.
void EndHold(const Game& g, TCerv& w) {
  if (w.cpuHold && w.cpuHoldStart + w.cpuHoldTime < g.Now) {
    w.cpuHold = 0;
    Release(w);
  }
}

void StartHold(const Game& g, TCerv& w, double seconds) {
  w.cpuHold = 1;
  w.cpuHoldStart = g.Now;
  w.cpuHoldTime = seconds;
}

// Erector and teleporter: press when an enemy is near or the way ahead is blocked, then
// no new press for 50 / S.
void PressNearOrBlocked(Game& g, int slot, double enemyReach) {
  TCerv& w = g.Worm(slot);
  EndHold(g, w);
  if (w.cpuKeys[kFire]) {
    Release(w);
  } else if (!w.cpuHold && (EnemyInRange(g, slot, 1, enemyReach) || !RayClear(g, w, 3, 6))) {
    Press(w);
    StartHold(g, w, 50 / Speed(g));
  }
}

}  // namespace

// ---------------------------------------------------------------- ability rules
// One rule per kind, each in its kind's row of the kind table (weapons/worm_kinds.h). A
// rule only presses, holds or releases the computer's fire control.

void CpuSpeederRule(Game& g, int slot) {
  TCerv& w = g.Worm(slot);
  const double s = Speed(g);
  if (!Busy(g, w) && EnemyCloser(g, slot, 30)) HoldFor(g, w, 25 / s);
}

void CpuStopperRule(Game& g, int slot) {
  TCerv& w = g.Worm(slot);
  const double s = Speed(g);
  if (!Busy(g, w)) {
    bool trigger = false;
    for (int o = 0; o < kPlayerSlots && !trigger; ++o) {
      trigger = IsEnemy(g, slot, o) && (g.Worm(o).atomicLaunchedNow || EnemyDistance(g, w, o) < 20);
    }
    if (trigger) HoldFor(g, w, 20 / s);
  }
}

void CpuReverserRule(Game& g, int slot) {
  TCerv& w = g.Worm(slot);
  if (w.cpuKeys[kFire]) {
    Release(w);
  } else if (!RayClear(g, w, 3, 6) || NearBorder(w, 3)) {
    Press(w);
  }
}

void CpuShotRule(Game& g, int slot) {
  TCerv& w = g.Worm(slot);
  const double s = Speed(g);
  if (PressOnceWhen(w, [&] { return !RayClear(g, w, 3, 16) || EnemyInCone(g, slot, 1, 50, 10); })) {
    // Drive straight after the shot, through the hole it burns, instead of steering
    // into it; but no shot burns the arena's edge, so a straight run that would leave
    // the arena is not taken and the plan goes on.
    if (StraightRunStaysInside(w, w.speed * 20 / s + 2)) {
      w.planState = kPlanWaiting;
      w.planWaitStart = g.Now;
      w.cpuTurning = 0;
      w.cpuKeys[kLeft] = w.cpuKeys[kRight] = 0;
    }
  }
}

void CpuLaserShooterRule(Game& g, int slot) {
  TCerv& w = g.Worm(slot);
  PressOnceWhen(w, [&] { return !RayClear(g, w, 3, 16) || EnemyAligned(g, slot); });
}

void CpuOneShotRule(Game& g, int slot) {
  TCerv& w = g.Worm(slot);
  PressOnceWhen(w, [] { return true; });
}

void CpuVirusInfesterRule(Game& g, int slot) {
  TCerv& w = g.Worm(slot);
  PressOnceWhen(w, [&] { return !RayClear(g, w, 18, 24) || EnemyInRange(g, slot, 18, 28); });
}

void CpuVirusControllerRule(Game& g, int slot) {
  TCerv& w = g.Worm(slot);
  PressOnceWhen(w, [&] { return !RayClear(g, w, 26, 32) || EnemyInRange(g, slot, 28, 36); });
}

void CpuRepellerRule(Game& g, int slot) {
  TCerv& w = g.Worm(slot);
  const double s = Speed(g);
  if (!w.cpuRepelBusy && EnemyInRange(g, slot, 1, 40)) {
    w.cpuRepelBusy = 1;
    w.cpuRepelPhase = 1;
    w.cpuRepelStart = g.Now;
    w.cpuRepelTime = g.Random(RoundInt(5000 / s)) / 100.0;
  }
  if (w.cpuRepelBusy) {
    Press(w);
    if (w.cpuRepelStart + w.cpuRepelTime < g.Now) {
      w.cpuRepelPhase += 1;
      if (w.cpuRepelPhase >= 4) {
        w.cpuRepelBusy = 0;
        Release(w);
      } else {
        w.cpuRepelStart = g.Now;
        int span = w.cpuRepelPhase % 2 == 1 ? RoundInt(2000 / s) : RoundInt(1000 / s);
        w.cpuRepelTime = g.Random(span) / 100.0;
      }
    }
  }
}

void CpuAtomicBomberRule(Game& g, int slot) {
  TCerv& w = g.Worm(slot);
  const double s = Speed(g);
  EndHold(g, w);
  if (w.cpuKeys[kFire]) {
    Release(w);
  } else if (!w.cpuHold && (EnemyInRange(g, slot, 1, 32) || !RayClear(g, w, 3, 4))) {
    Press(w);
    StartHold(g, w, 150 / s);
  }
}

void CpuErectorRule(Game& g, int slot) { PressNearOrBlocked(g, slot, 20); }

void CpuTeleporterRule(Game& g, int slot) { PressNearOrBlocked(g, slot, 10); }

void CpuInfernalRule(Game& g, int slot) {
  TCerv& w = g.Worm(slot);
  const double s = Speed(g);
  if (!Busy(g, w)) {
    if (EnemyCloser(g, slot, 30)) HoldFor(g, w, 40 / s);
    if (!RayClear(g, w, 3, 8)) HoldFor(g, w, 5 / s);
  }
}

void CpuThickerRule(Game& g, int slot) {
  TCerv& w = g.Worm(slot);
  const double s = Speed(g);
  if (!Busy(g, w) && EnemyCloser(g, slot, 30)) HoldFor(g, w, 50 / s);
}

void CpuPauserRule(Game& g, int slot) {
  TCerv& w = g.Worm(slot);
  const double s = Speed(g);
  if (!Busy(g, w)) {
    if (EnemyCloser(g, slot, 30)) HoldFor(g, w, (g.Random(30) / 10.0 + 1) * 50 / s);
    if (!RayClear(g, w, 3, 8)) HoldFor(g, w, 400 / s);
  }
}

void CpuAbilityRule(Game& g, int slot) {
  // None, traveller and warper never press (the step switches the last two on).
  if (auto rule = RulesOf(g.Worm(slot).kind).cpuRule) rule(g, slot);
}

// ---------------------------------------------------------------- dispatch and reset

void ComputerSteer(Game& g, int slot) {
  switch (ControllerOf(g.settings.players[slot])) {
    case CtrlCpuIq0: CpuRandomSteer(g, slot); break;
    case CtrlCpuIq10: CpuPlanner(g, slot); break;
    default: break;
  }
}

void ResetComputerRound(Game& g, TCerv& w) {
  w.cpuKeys.fill(0);
  w.cpuPrevKeys.fill(0);
  const double s = Speed(g);  // 50 at every round start
  int span = RoundInt(1000 / s);
  w.cpuTurnChanged = g.Now;
  w.cpuTurnInterval = g.Random(span) / 100.0 + 5 / s;
  w.cpuFireChanged = g.Now;
  w.cpuFireInterval = g.Random(span) / 100.0 + 5 / s;
  w.cpuTurning = 0;
  w.cpuFiring = 0;
  w.atomicLaunchedNow = 0;
  w.cpuBusy = 0;
  w.cpuPressed = 0;
  w.cpuRepelBusy = 0;
  w.cpuHold = 0;
  w.planState = kPlanNeeded;
}

const char* CpuDebugText(const Game& g) {
  return g.cpu.planRan && g.cpu.planRanFrame == g.frameNumber ? "RUNNING PROGRAM" : "";
}

}  // namespace tdx
