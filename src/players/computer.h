// Computer players choose the same three controls a person does (left, right, fire) by
// writing the worm's cpuKeys; they never touch the worm otherwise.
#pragma once

#include "arena/worm.h"

namespace tdx {

struct Game;

// The computer player of the slot's controller: cpuiq0 steers at random, cpuiq10 plans.
void ComputerSteer(Game& g, int slot);
// cpuiq0: turns and fires at random intervals, looking at nothing.
void CpuRandomSteer(Game& g, int slot);
// cpuiq10: searches, follows and re-checks a steering plan, then presses its ability by
// the rule of its kind.
void CpuPlanner(Game& g, int slot);
// cpuiq10's fire control, by the worm's kind.
void CpuAbilityRule(Game& g, int slot);
// The computer player's ability rule of each kind (the kind table holds which is whose).
void CpuAtomicBomberRule(Game& g, int slot);
void CpuErectorRule(Game& g, int slot);
void CpuInfernalRule(Game& g, int slot);
void CpuLaserShooterRule(Game& g, int slot);
void CpuOneShotRule(Game& g, int slot);
void CpuPauserRule(Game& g, int slot);
void CpuRepellerRule(Game& g, int slot);
void CpuReverserRule(Game& g, int slot);
void CpuShotRule(Game& g, int slot);
void CpuSpeederRule(Game& g, int slot);
void CpuStopperRule(Game& g, int slot);
void CpuTeleporterRule(Game& g, int slot);
void CpuThickerRule(Game& g, int slot);
void CpuVirusControllerRule(Game& g, int slot);
void CpuVirusInfesterRule(Game& g, int slot);

// The computer player's part of the round reset: controls released, both cpuiq0 timers
// restarted at Now with their first delays, plan and hold flags cleared.
void ResetComputerRound(Game& g, TCerv& w);

// What the debug output shows for the computer players this frame: "RUNNING PROGRAM"
// when a cpuiq10 worm followed a plan in this frame, otherwise "".
const char* CpuDebugText(const Game& g);

// ---- What a computer worm sees; positions are the worms' next head positions. ----

// Every cell from round(from) to round(to) units ahead along the heading (one up and
// left, the head block's corner) is inside the arena and empty; true for an empty range.
bool RayClear(const Game& g, const TCerv& w, double from, double to);
// The other worm is alive, plays in a player slot and is an enemy (any worm in a
// deathmatch; another team's in a team deathmatch).
bool IsEnemy(const Game& g, int slot, int other);
// Some enemy is between dmin and dmax away.
bool EnemyInRange(const Game& g, int slot, double dmin, double dmax);
// Some enemy between dmin and dmax away lies less than `angle` degrees off the heading.
bool EnemyInCone(const Game& g, int slot, double dmin, double dmax, double angle);
// Some enemy stands nearly in line along x or y (inside a 5 by 20 cross arm).
bool EnemyAligned(const Game& g, int slot);
// Driving `length` units straight on from the head ends inside the arena.
bool StraightRunStaysInside(const TCerv& w, double length);
// The worm is less than m units from an arena edge.
bool NearBorder(const TCerv& w, double m);

}  // namespace tdx
