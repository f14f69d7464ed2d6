// The worm operations every weapon and the game flow use: the step of one frame,
// death of a head or an extra head, and the erector's line.
#pragma once

#include <cstdint>

#include "arena/worm.h"
#include "weapons/worm_kinds.h"

namespace tdx {

struct Game;

// One frame of one alive worm: speed, ability, steering, movement, edge, wrap, probes
// and trail, in that order. dt is the unclamped frame delta.
void StepWorm(Game& g, TCerv& w, double dt);

// A cpuiq10 worm switching its ability on by itself when its kind says so for `when`
// (a traveller about to hit a trail, a warper at the edge): fire is set and 50 * dt
// energy is paid (never below 1). Does nothing if fire is already held.
void AutoTrigger(Game& g, TCerv& w, CpuSelfTrigger when, double dt);

// A fatal hit: a multiplier or reproducer with an extra head continues from the lowest
// one; anything else dies with its marker and sound (repeated for every hit).
void KillWorm(Game& g, TCerv& w);
// Extra head k (0..4) is gone; nothing else happens.
void KillClone(TCerv& w, int k);

// The erector's line from the worm's next head position back to its start point.
void PaintLine(Game& g, int slot);

// Whether the slot's controller is the planning computer player (cpuiq10).
bool IsCpuIq10(const Game& g, int slot);

}  // namespace tdx
