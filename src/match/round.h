// The match's rounds: each is prepared, counted down, played until at most one worm (or
// team) stands, and scored; the players then say they are ready for the next. The steps
// change only the match and tell the program what to show and play as events.
#pragma once

#include <array>
#include <cstdint>

#include "match/controls.h"

namespace tdx {

struct Match;

int AliveCount(const Match& m);
int AliveTeamCount(const Match& m);
int LastAliveSlot(const Match& m);
int LastAliveTeam(const Match& m);
// Speed of a speed option index, in arena units per second.
double SpeedValue(int index);

// A match begins (deathmatch 0, team deathmatch 1): the wins, the rounds to play, the
// bonus places and the arena start afresh.
void BeginMatch(Match& m, int teamMode);

// The step of the match's phase, once a frame, before the players' controls are read.
// RoundStart reads m.settings as the program has just read it.
void StepMatchPhase(Match& m);
// Once a frame in play, after the people's controls were read: the computer players
// choose theirs, then everybody's controls act (steering, abilities).
void StepMatchControls(Match& m);

// One whole frame of a match on its own, as the program runs it with its own work in
// between: the clock readings (`now` when the frame begins, `end` when it ends: the next
// frame's delta is measured from it), the phase's step, the people's controls as given
// (slots of people only; null leaves them as they are), then StepMatchControls. The
// events of the frame before are dropped first; this frame's are left for the caller.
void StepMatchFrame(Match& m, double now, double end, const std::array<Controls, 12>* people);

// The phases one by one, as StepMatchPhase runs them.
void RoundStart(Match& m);
void RoundIntro(Match& m);
void Countdown(Match& m);
void Playing(Match& m);
void RoundOver(Match& m);
void WaitReady(Match& m);

// Whether a phase belongs to a match being played (the rounds, their scoring and the
// wait between them; the final screen is the program's).
bool IsMatchPhase(uint8_t phase);

}  // namespace tdx
