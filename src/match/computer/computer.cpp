#include "match/computer/computer.h"

#include <cmath>
#include <numbers>

#include "match/arena/arena.h"
#include "match/arena/start_positions.h"
#include "match/computer/hazards.h"
#include "match/computer/planner.h"
#include "match/match.h"
#include "match/weapons/worm_kinds.h"

namespace tdx {

namespace {

constexpr double kDegToRad = std::numbers::pi / 180.0;
constexpr size_t kLeft = 0, kRight = 1, kFire = 2;
enum PlanState : uint8_t { kPlanNeeded = 0, kPlanRunning = 2, kPlanWaiting = 3 };

double Speed(const Match& m) { return m.GlobalSpeed > 0 ? m.GlobalSpeed : 50; }
int RoundInt(double v) { return static_cast<int>(RoundEven(v)); }

}  // namespace

// ---------------------------------------------------------------- what the worm sees

bool RayClear(const Match& m, const TCerv& w, double from, double to) {
  double c = std::cos(w.heading * kDegToRad), s = std::sin(w.heading * kDegToRad);
  for (int r = RoundInt(from), last = RoundInt(to); r <= last; ++r) {
    double cx = RoundEven(w.nextX + c * r - 1), cy = RoundEven(w.nextY + s * r - 1);
    if (!(cx >= 0 && cx <= kArenaWidth - 1 && cy >= 0 && cy <= kArenaHeight - 1)) return false;
    if (m.ArenaMap.At(static_cast<int>(cx), static_cast<int>(cy)) != EmptyCell) return false;
  }
  return true;
}

bool IsEnemy(const Match& m, int slot, int other) {
  if (other == slot || other < 0 || other >= kPlayerSlots) return false;
  if (!m.worms[static_cast<size_t>(other)].alive) return false;
  if (!m.match.TeamMode) return true;
  return TeamNumber(m.settings.players[slot]) != TeamNumber(m.settings.players[other]);
}

namespace {

double EnemyDistance(const Match& m, const TCerv& w, int other) {
  const TCerv& e = m.worms[static_cast<size_t>(other)];
  return PlanDistance(w.nextX, w.nextY, e.nextX, e.nextY);
}

// Some enemy is closer than d (the "first enemy closer than" of the ability rules).
bool EnemyCloser(const Match& m, int slot, double d) {
  const TCerv& w = m.worms[static_cast<size_t>(slot)];
  for (int o = 0; o < kPlayerSlots; ++o) {
    if (IsEnemy(m, slot, o) && EnemyDistance(m, w, o) < d) return true;
  }
  return false;
}

}  // namespace

bool EnemyInRange(const Match& m, int slot, double dmin, double dmax) {
  const TCerv& w = m.worms[static_cast<size_t>(slot)];
  for (int o = 0; o < kPlayerSlots; ++o) {
    if (!IsEnemy(m, slot, o)) continue;
    double d = EnemyDistance(m, w, o);
    if (dmin <= d && d <= dmax) return true;
  }
  return false;
}

bool EnemyInCone(const Match& m, int slot, double dmin, double dmax, double angle) {
  const TCerv& w = m.worms[static_cast<size_t>(slot)];
  for (int o = 0; o < kPlayerSlots; ++o) {
    if (!IsEnemy(m, slot, o)) continue;
    double d = EnemyDistance(m, w, o);
    if (!(dmin <= d && d <= dmax)) continue;
    const TCerv& e = m.worms[static_cast<size_t>(o)];
    double off = std::fmod(HeadingTowards(w.nextX, w.nextY, e.nextX, e.nextY) - w.heading, 360);
    if (off < 0) off += 360;
    if (off > 180) off = 360 - off;
    if (off < angle) return true;
  }
  return false;
}

bool EnemyAligned(const Match& m, int slot) {
  const TCerv& w = m.worms[static_cast<size_t>(slot)];
  for (int o = 0; o < kPlayerSlots; ++o) {
    if (!IsEnemy(m, slot, o)) continue;
    const TCerv& e = m.worms[static_cast<size_t>(o)];
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

bool NearBorder(const TCerv& w, double margin) {
  return w.nextY > kArenaHeight - margin || w.nextX > kArenaWidth - margin || w.nextY < margin ||
         w.nextX < margin;
}

// ---------------------------------------------------------------- cpuiq0

void CpuRandomSteer(Match& m, int slot) {
  TCerv& w = m.Worm(slot);
  const double s = Speed(m);
  if (w.cpuTurnChanged + w.cpuTurnInterval < m.Now) {
    if (w.cpuTurning) {
      // A straight stretch.
      w.cpuTurning = 0;
      w.cpuKeys[kLeft] = w.cpuKeys[kRight] = 0;
      w.cpuTurnChanged = m.Now;
      w.cpuTurnInterval = m.Random(RoundInt(4500 / s)) / 100.0 + 5 / s;
    } else {
      // A short turn to one side.
      w.cpuTurning = 1;
      bool left = m.Random(2) == 0;
      w.cpuKeys[kLeft] = left;
      w.cpuKeys[kRight] = !left;
      w.cpuTurnChanged = m.Now;
      w.cpuTurnInterval = m.Random(RoundInt(500 / s)) / 100.0;
    }
  }
  if (w.cpuFireChanged + w.cpuFireInterval < m.Now) {
    if (w.cpuFiring) {
      w.cpuFiring = 0;
      w.cpuKeys[kFire] = 0;
      w.cpuFireChanged = m.Now;
      w.cpuFireInterval = m.Random(RoundInt(4500 / s)) / 100.0 + 5 / s;
    } else {
      w.cpuFiring = 1;
      w.cpuKeys[kFire] = 1;
      w.cpuFireChanged = m.Now;
      w.cpuFireInterval = m.Random(RoundInt(1000 / s)) / 100.0 + 5 / s;
    }
  }
}

// ---------------------------------------------------------------- cpuiq10

void CpuPlanner(Match& m, int slot) {
  TCerv& w = m.Worm(slot);
  const double s = Speed(m);
  // The three states follow each other within one frame: a fresh plan is run and
  // checked at once, so a plan that fails its check is replaced in the next frame.
  if (w.planState == kPlanNeeded) PlanSearch(m, w, PrepareHazards(m));
  if (w.planState == kPlanRunning) {
    m.cpu.planRan = true;
    m.cpu.planRanFrame = m.frameNumber;
    if (!RunPlan(m, w) || !PlanHolds(m, w, 25 / s, PrepareHazards(m))) {
      w.planState = kPlanNeeded;
      w.cpuTurning = 0;
      w.cpuKeys[kLeft] = w.cpuKeys[kRight] = 0;
    }
  }
  if (w.planState == kPlanWaiting && w.planWaitStart + 20 / s < m.Now) w.planState = kPlanNeeded;
  CpuAbilityRule(m, slot);
}

namespace {

void Press(TCerv& w) { w.cpuKeys[kFire] = 1; }
void Release(TCerv& w) { w.cpuKeys[kFire] = 0; }

// Fire down for a while: the busy hold ends (fire released) once its time has passed.
void HoldFor(const Match& m, TCerv& w, double seconds) {
  Press(w);
  w.cpuBusy = 1;
  w.cpuBusyUntil = m.Now + seconds;
}
// Returns true while a timed hold is on (and ends it when its time is up).
bool Busy(const Match& m, TCerv& w) {
  if (!w.cpuBusy) return false;
  if (w.cpuBusyUntil < m.Now) {
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
void EndHold(const Match& m, TCerv& w) {
  if (w.cpuHold && w.cpuHoldStart + w.cpuHoldTime < m.Now) {
    w.cpuHold = 0;
    Release(w);
  }
}

void StartHold(const Match& m, TCerv& w, double seconds) {
  w.cpuHold = 1;
  w.cpuHoldStart = m.Now;
  w.cpuHoldTime = seconds;
}

// Erector and teleporter: press when an enemy is near or the way ahead is blocked, then
// no new press for 50 / S.
void PressNearOrBlocked(Match& m, int slot, double enemyReach) {
  TCerv& w = m.Worm(slot);
  EndHold(m, w);
  if (w.cpuKeys[kFire]) {
    Release(w);
  } else if (!w.cpuHold && (EnemyInRange(m, slot, 1, enemyReach) || !RayClear(m, w, 3, 6))) {
    Press(w);
    StartHold(m, w, 50 / Speed(m));
  }
}

}  // namespace

// ---------------------------------------------------------------- ability rules
// One rule per kind, each in its kind's row of the kind table (weapons/worm_kinds.h). A
// rule only presses, holds or releases the computer's fire control.

void CpuSpeederRule(Match& m, int slot) {
  TCerv& w = m.Worm(slot);
  const double s = Speed(m);
  if (!Busy(m, w) && EnemyCloser(m, slot, 30)) HoldFor(m, w, 25 / s);
}

void CpuStopperRule(Match& m, int slot) {
  TCerv& w = m.Worm(slot);
  const double s = Speed(m);
  if (!Busy(m, w)) {
    bool trigger = false;
    for (int o = 0; o < kPlayerSlots && !trigger; ++o) {
      trigger = IsEnemy(m, slot, o) && (m.Worm(o).atomicLaunchedNow || EnemyDistance(m, w, o) < 20);
    }
    if (trigger) HoldFor(m, w, 20 / s);
  }
}

void CpuReverserRule(Match& m, int slot) {
  TCerv& w = m.Worm(slot);
  if (w.cpuKeys[kFire]) {
    Release(w);
  } else if (!RayClear(m, w, 3, 6) || NearBorder(w, 3)) {
    Press(w);
  }
}

void CpuShotRule(Match& m, int slot) {
  TCerv& w = m.Worm(slot);
  const double s = Speed(m);
  if (PressOnceWhen(w, [&] { return !RayClear(m, w, 3, 16) || EnemyInCone(m, slot, 1, 50, 10); })) {
    // Drive straight after the shot, through the hole it burns, instead of steering
    // into it; but no shot burns the arena's edge, so a straight run that would leave
    // the arena is not taken and the plan goes on.
    if (StraightRunStaysInside(w, w.speed * 20 / s + 2)) {
      w.planState = kPlanWaiting;
      w.planWaitStart = m.Now;
      w.cpuTurning = 0;
      w.cpuKeys[kLeft] = w.cpuKeys[kRight] = 0;
    }
  }
}

void CpuLaserShooterRule(Match& m, int slot) {
  TCerv& w = m.Worm(slot);
  PressOnceWhen(w, [&] { return !RayClear(m, w, 3, 16) || EnemyAligned(m, slot); });
}

void CpuOneShotRule(Match& m, int slot) {
  TCerv& w = m.Worm(slot);
  PressOnceWhen(w, [] { return true; });
}

void CpuVirusInfesterRule(Match& m, int slot) {
  TCerv& w = m.Worm(slot);
  PressOnceWhen(w, [&] { return !RayClear(m, w, 18, 24) || EnemyInRange(m, slot, 18, 28); });
}

void CpuVirusControllerRule(Match& m, int slot) {
  TCerv& w = m.Worm(slot);
  PressOnceWhen(w, [&] { return !RayClear(m, w, 26, 32) || EnemyInRange(m, slot, 28, 36); });
}

void CpuRepellerRule(Match& m, int slot) {
  TCerv& w = m.Worm(slot);
  const double s = Speed(m);
  if (!w.cpuRepelBusy && EnemyInRange(m, slot, 1, 40)) {
    w.cpuRepelBusy = 1;
    w.cpuRepelPhase = 1;
    w.cpuRepelStart = m.Now;
    w.cpuRepelTime = m.Random(RoundInt(5000 / s)) / 100.0;
  }
  if (w.cpuRepelBusy) {
    Press(w);
    if (w.cpuRepelStart + w.cpuRepelTime < m.Now) {
      w.cpuRepelPhase += 1;
      if (w.cpuRepelPhase >= 4) {
        w.cpuRepelBusy = 0;
        Release(w);
      } else {
        w.cpuRepelStart = m.Now;
        int span = w.cpuRepelPhase % 2 == 1 ? RoundInt(2000 / s) : RoundInt(1000 / s);
        w.cpuRepelTime = m.Random(span) / 100.0;
      }
    }
  }
}

void CpuAtomicBomberRule(Match& m, int slot) {
  TCerv& w = m.Worm(slot);
  const double s = Speed(m);
  EndHold(m, w);
  if (w.cpuKeys[kFire]) {
    Release(w);
  } else if (!w.cpuHold && (EnemyInRange(m, slot, 1, 32) || !RayClear(m, w, 3, 4))) {
    Press(w);
    StartHold(m, w, 150 / s);
  }
}

void CpuErectorRule(Match& m, int slot) { PressNearOrBlocked(m, slot, 20); }

void CpuTeleporterRule(Match& m, int slot) { PressNearOrBlocked(m, slot, 10); }

void CpuInfernalRule(Match& m, int slot) {
  TCerv& w = m.Worm(slot);
  const double s = Speed(m);
  if (!Busy(m, w)) {
    if (EnemyCloser(m, slot, 30)) HoldFor(m, w, 40 / s);
    if (!RayClear(m, w, 3, 8)) HoldFor(m, w, 5 / s);
  }
}

void CpuThickerRule(Match& m, int slot) {
  TCerv& w = m.Worm(slot);
  const double s = Speed(m);
  if (!Busy(m, w) && EnemyCloser(m, slot, 30)) HoldFor(m, w, 50 / s);
}

void CpuPauserRule(Match& m, int slot) {
  TCerv& w = m.Worm(slot);
  const double s = Speed(m);
  if (!Busy(m, w)) {
    if (EnemyCloser(m, slot, 30)) HoldFor(m, w, (m.Random(30) / 10.0 + 1) * 50 / s);
    if (!RayClear(m, w, 3, 8)) HoldFor(m, w, 400 / s);
  }
}

void CpuAbilityRule(Match& m, int slot) {
  // None, traveller and warper never press (the step switches the last two on).
  if (auto rule = RulesOf(m.Worm(slot).kind).cpuRule) rule(m, slot);
}

// ---------------------------------------------------------------- dispatch and reset

void ComputerSteer(Match& m, int slot) {
  switch (ControllerOf(m.settings.players[slot])) {
    case CtrlCpuIq0: CpuRandomSteer(m, slot); break;
    case CtrlCpuIq10: CpuPlanner(m, slot); break;
    default: break;
  }
}

void ResetComputerRound(Match& m, TCerv& w) {
  w.cpuKeys.fill(0);
  w.cpuPrevKeys.fill(0);
  const double s = Speed(m);  // 50 at every round start
  int span = RoundInt(1000 / s);
  w.cpuTurnChanged = m.Now;
  w.cpuTurnInterval = m.Random(span) / 100.0 + 5 / s;
  w.cpuFireChanged = m.Now;
  w.cpuFireInterval = m.Random(span) / 100.0 + 5 / s;
  w.cpuTurning = 0;
  w.cpuFiring = 0;
  w.atomicLaunchedNow = 0;
  w.cpuBusy = 0;
  w.cpuPressed = 0;
  w.cpuRepelBusy = 0;
  w.cpuHold = 0;
  w.planState = kPlanNeeded;
}

const char* CpuDebugText(const Match& m) {
  return m.cpu.planRan && m.cpu.planRanFrame == m.frameNumber ? "RUNNING PROGRAM" : "";
}

}  // namespace tdx
