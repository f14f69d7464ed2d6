// Computer players choose the same three controls a person does (left, right, fire) by
// writing the worm's cpuKeys; they never touch the worm otherwise.
#pragma once

#include "match/arena/worm.h"

namespace tdx {

struct Match;

// The computer player of the slot's controller: cpuiq0 steers at random, cpuiq10 plans.
void ComputerSteer(Match& m, int slot);
// cpuiq0: turns and fires at random intervals, looking at nothing.
void CpuRandomSteer(Match& m, int slot);
// cpuiq10: searches, follows and re-checks a steering plan, then presses its ability by
// the rule of its kind.
void CpuPlanner(Match& m, int slot);
// cpuiq10's fire control, by the worm's kind.
void CpuAbilityRule(Match& m, int slot);
// The computer player's ability rule of each kind (the kind table holds which is whose).
void CpuAtomicBomberRule(Match& m, int slot);
void CpuErectorRule(Match& m, int slot);
void CpuInfernalRule(Match& m, int slot);
void CpuLaserShooterRule(Match& m, int slot);
void CpuOneShotRule(Match& m, int slot);
void CpuPauserRule(Match& m, int slot);
void CpuRepellerRule(Match& m, int slot);
void CpuReverserRule(Match& m, int slot);
void CpuShotRule(Match& m, int slot);
void CpuSpeederRule(Match& m, int slot);
void CpuStopperRule(Match& m, int slot);
void CpuTeleporterRule(Match& m, int slot);
void CpuThickerRule(Match& m, int slot);
void CpuVirusControllerRule(Match& m, int slot);
void CpuVirusInfesterRule(Match& m, int slot);

// The computer player's part of the round reset: controls released, both cpuiq0 timers
// restarted at Now with their first delays, plan and hold flags cleared.
void ResetComputerRound(Match& m, TCerv& w);

// What the debug output shows for the computer players this frame: "RUNNING PROGRAM"
// when a cpuiq10 worm followed a plan in this frame, otherwise "".
const char* CpuDebugText(const Match& m);

// ---- What a computer worm sees; positions are the worms' next head positions. ----

// Every cell from round(from) to round(to) units ahead along the heading (one up and
// left, the head block's corner) is inside the arena and empty; true for an empty range.
bool RayClear(const Match& m, const TCerv& w, double from, double to);
// The other worm is alive, plays in a player slot and is an enemy (any worm in a
// deathmatch; another team's in a team deathmatch).
bool IsEnemy(const Match& m, int slot, int other);
// Some enemy is between dmin and dmax away.
bool EnemyInRange(const Match& m, int slot, double dmin, double dmax);
// Some enemy between dmin and dmax away lies less than `angle` degrees off the heading.
bool EnemyInCone(const Match& m, int slot, double dmin, double dmax, double angle);
// Some enemy stands nearly in line along x or y (inside a 5 by 20 cross arm).
bool EnemyAligned(const Match& m, int slot);
// Driving `length` units straight on from the head ends inside the arena.
bool StraightRunStaysInside(const TCerv& w, double length);
// The worm is less than m units from an arena edge.
bool NearBorder(const TCerv& w, double m);

}  // namespace tdx
