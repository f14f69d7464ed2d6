// The worm operations every weapon and the game flow use: the step of one frame,
// death of a head or an extra head, and the erector's line.
#pragma once

#include <cstdint>

#include "match/arena/worm.h"
#include "match/events.h"
#include "match/weapons/worm_kinds.h"

namespace tdx {

struct Match;

// One frame of one alive worm: speed, ability, steering, movement, edge, wrap, probes
// and trail, in that order. dt is the unclamped frame delta.
void StepWorm(Match& m, TCerv& w, double dt);

// A cpuiq10 worm switching its ability on by itself when its kind says so for `when`
// (a traveller about to hit a trail, a warper at the edge): fire is set and 50 * dt
// energy is paid (never below 1). Does nothing if fire is already held.
void AutoTrigger(Match& m, TCerv& w, CpuSelfTrigger when, double dt);

// A fatal hit: a multiplier or reproducer with an extra head continues from the lowest
// one; anything else dies with its marker and sound (repeated for every hit). The blame
// goes on the Death event only.
void KillWorm(Match& m, TCerv& w, DeathBlame blame = {});
// Extra head k (0..4) is gone; nothing else happens.
void KillClone(TCerv& w, int k);

// The erector's line from the worm's next head position back to its start point.
void PaintLine(Match& m, int slot);

// Whether the slot's controller is the planning computer player (cpuiq10).
bool IsCpuIq10(const Match& m, int slot);

}  // namespace tdx
