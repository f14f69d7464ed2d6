#include "match/arena/worm_step.h"

#include <cmath>
#include <numbers>

#include "match/arena/arena.h"
#include "match/match.h"
#include "match/setup.h"
#include "match/weapons/worm_kinds.h"

namespace tdx {

namespace {

constexpr double kDegToRad = std::numbers::pi / 180.0;
constexpr double kSpeedBonusSeconds = 5;

}  // namespace

// ---------------------------------------------------------------- the step

bool IsCpuIq10(const Match& m, int slot) {
  return slot >= 0 && slot < kPlayerSlots && ControllerOf(m.settings.players[slot]) == CtrlCpuIq10;
}

void AutoTrigger(Match& m, TCerv& w, CpuSelfTrigger when, double dt) {
  if (w.fireHeld || !IsCpuIq10(m, w.slot) || RulesOf(w.kind).cpuSelfTrigger != when) return;
  w.fireHeld = 1;
  w.energy -= 50 * dt;
  if (w.energy < 1) w.energy = 1;
}

namespace {

// A head outside the interior 1..606 by 1..406 (after rounding) has left the arena.
bool OutOfArena(double x, double y) {
  double rx = RoundEven(x), ry = RoundEven(y);
  return rx < 1 || rx >= kArenaWidth - 1 || ry < 1 || ry >= kArenaHeight - 1;
}

double Steer(double h, bool left, bool right, double dt) {
  if (left) h -= kTurnRate * dt;
  if (right) h += kTurnRate * dt;
  if (h < 0) h += 360;
  if (h > 360) h -= 360;
  return h;
}

// The five probes of a head at (x, y) with heading h. Probe 0 looks three units ahead
// for the worm's own trail (a turn back into itself); probes 1..4 cover the 2 by 2 head
// block, where the own fresh trail is ignored and anything else but empty is fatal.
Cell ProbeCell(int probe, double x, double y, double h) {
  switch (probe) {
    case 0: {
      double r = h * kDegToRad;
      return ClampCell(x - 1 + 3 * std::cos(r), y - 1 + 3 * std::sin(r));
    }
    case 1: return ClampCell(x, y);
    case 2: return ClampCell(x - 1, y);
    case 3: return ClampCell(x, y - 1);
    default: return ClampCell(x - 1, y - 1);
  }
}

bool ProbeHits(const ArenaGrid& a, int probe, double x, double y, double h, uint8_t own) {
  Cell c = ProbeCell(probe, x, y, h);
  uint8_t v = a.At(c.x, c.y);
  if (probe == 0) return v == own;
  return v != EmptyCell && v != own;
}

// Whose trail a probe that hit found: the grid keeps the slot that drew each cell.
DeathBlame TrailBlame(const ArenaGrid& a, int probe, double x, double y, double h, int own) {
  Cell c = ProbeCell(probe, x, y, h);
  int v = a.At(c.x, c.y);
  if (v == own) return {DeathCause::OwnTrail, own};
  if (v == WallCell) return {DeathCause::Wall, -1};
  if (v < kPlayerSlots) return {DeathCause::Trail, v};
  return {};
}

void WarpIfAtEdge(Match& m, TCerv& w) {
  if (RoundEven(w.nextX) < 2) {
    w.headX = w.nextX = kArenaWidth - 3;
    m.events.Sound("teleport.mp3", w.headX);
  }
  if (RoundEven(w.nextX) >= kArenaWidth - 2) {
    w.headX = w.nextX = 2;
    m.events.Sound("teleport.mp3", w.headX);
  }
  if (RoundEven(w.nextY) < 2) {
    w.headY = w.nextY = kArenaHeight - 3;
    m.events.Sound("teleport.mp3", w.headX);
  }
  if (RoundEven(w.nextY) >= kArenaHeight - 2) {
    w.headY = w.nextY = 2;
    m.events.Sound("teleport.mp3", w.headX);
  }
}

// Extra heads: edge (never wrapped), probes, then their piece of trail.
void StepClones(Match& m, TCerv& w) {
  for (int k = 0; k < kCloneCount; ++k) {
    size_t i = static_cast<size_t>(k);
    if (!w.cloneAlive[i]) continue;
    if (OutOfArena(w.cloneX[i], w.cloneY[i]) && !WrapsAtEdges(w)) {
      KillClone(w, k);  // gone without a sound and without its last piece
      continue;
    }
    for (int p = 0; p < 5; ++p) {
      if (ProbeHits(m.ArenaMap, p, w.cloneX[i], w.cloneY[i], w.cloneHeading[i], w.slot) &&
          !PassesTrails(w)) {
        KillClone(w, k);
      }
    }
    // An extra head that crashed still leaves its last piece.
    PaintMove(m.ArenaMap, w.slot, w.clonePrevX[i], w.clonePrevY[i], w.cloneX[i], w.cloneY[i]);
    w.clonePrevX[i] = w.cloneX[i];
    w.clonePrevY[i] = w.cloneY[i];
  }
}

}  // namespace

void StepWorm(Match& m, TCerv& w, double dt) {
  // 1. A stalled frame (loading, a dragged window) must not throw the worm across the arena.
  if (dt > 0.1) dt = 0.01;

  // 2. Speed, with a running speed bonus counted once more in the frame it runs out.
  w.speed = m.GlobalSpeed;
  if (w.speedBonusActive) {
    w.speed *= w.speedBonusFactor;
    if (m.Now - w.speedBonusStart > kSpeedBonusSeconds) w.speedBonusActive = 0;
  }

  // 3.-5. The ability.
  w.atomicLaunchedNow = 0;
  const WormKindRules& rules = RulesOf(w.kind);
  if (w.fireHeld && rules.action) rules.action(m, w, dt);
  if (rules.continuous) rules.continuous(m, w, dt);

  // 6. Frozen by somebody else's stopper.
  if (w.stopped && w.stoppedBy != w.slot) {
    w.speed = 0;
    w.turnLeft = w.turnRight = 0;
  }
  // 7. A pauser holding its ability stands still.
  if (StandsStill(w)) {
    w.speed = 0;
    w.turnLeft = w.turnRight = 0;
  }

  // 8.-10. Steering and movement of the head and the extra heads.
  w.heading = Steer(w.heading, w.turnLeft, w.turnRight, dt);
  double rad = w.heading * kDegToRad;
  w.nextX = w.headX + std::cos(rad) * dt * w.speed;
  w.nextY = w.headY + std::sin(rad) * dt * w.speed;
  for (int k = 0; k < kCloneCount; ++k) {
    size_t i = static_cast<size_t>(k);
    if (!w.cloneAlive[i]) continue;
    w.cloneHeading[i] = Steer(w.cloneHeading[i], w.turnLeft, w.turnRight, dt);
    double cr = w.cloneHeading[i] * kDegToRad;
    w.cloneX[i] += std::cos(cr) * dt * w.speed;
    w.cloneY[i] += std::sin(cr) * dt * w.speed;
  }

  // 11. The edge.
  bool diedAtEdge = false;
  if (OutOfArena(w.nextX, w.nextY)) {
    AutoTrigger(m, w, CpuSelfTrigger::AtEdge, dt);
    if (!WrapsAtEdges(w)) {
      KillWorm(m, w, {DeathCause::Edge, -1});
      diedAtEdge = true;
    }
  }

  if (!diedAtEdge) {
    // 12. A warper jumps to the far side one unit before the edge; head and next jump
    // together, so no trail is drawn across the arena.
    if (WrapsAtEdges(w)) WarpIfAtEdge(m, w);

    // 13. The probes, each on the position current at that moment (a takeover moves it).
    for (int p = 0; p < 5; ++p) {
      if (!ProbeHits(m.ArenaMap, p, w.nextX, w.nextY, w.heading, w.slot)) continue;
      AutoTrigger(m, w, CpuSelfTrigger::OnTrailHit, dt);
      if (!PassesTrails(w)) {
        KillWorm(m, w, TrailBlame(m.ArenaMap, p, w.nextX, w.nextY, w.heading, w.slot));
      }
    }

    // 14. The trail; a worm that died keeps its head one move short of the obstacle.
    if (w.alive) {
      PaintMove(m.ArenaMap, w.slot, w.headX, w.headY, w.nextX, w.nextY);
      w.headX = w.nextX;
      w.headY = w.nextY;
    }
  }

  // 15. Extra heads, even when the main head died in this frame.
  StepClones(m, w);
}

// ---------------------------------------------------------------- death

void KillWorm(Match& m, TCerv& w, DeathBlame blame) {
  if (w.kind == WormKind::Multiplier || w.kind == WormKind::Reproducer) {
    for (int k = 0; k < kCloneCount; ++k) {
      size_t i = static_cast<size_t>(k);
      if (!w.cloneAlive[i]) continue;
      // The lowest extra head becomes the head; the worm plays on.
      w.headX = w.nextX = w.cloneX[i];
      w.headY = w.nextY = w.cloneY[i];
      w.heading = w.cloneHeading[i];
      w.cloneAlive[i] = 0;
      return;
    }
  }
  w.alive = 0;
  w.teleportLook.visible = false;
  w.teleportAnimActive = 0;
  w.infernalOn = 0;
  w.ripLook.x = static_cast<float>(w.headX + kArenaViewX);
  w.ripLook.y = static_cast<float>(w.headY + kArenaViewY);
  w.ripLook.visible = true;
  w.ripTime = 0;
  m.events.Raise(MatchEvent::Kind::Death, w.slot);
  m.events.raised.back().x = w.headX;
  m.events.raised.back().blame = blame;
  m.events.Sound("death.mp3", w.headX);
}

void KillClone(TCerv& w, int k) {
  if (k >= 0 && k < kCloneCount) w.cloneAlive[static_cast<size_t>(k)] = 0;
}

void PaintLine(Match& m, int slot) {
  if (slot < 0 || slot >= kWormCount) return;
  const TCerv& w = m.Worm(slot);
  PaintLine(m.ArenaMap, static_cast<uint8_t>(slot), w.nextX, w.nextY, w.tailX, w.tailY);
}

}  // namespace tdx
