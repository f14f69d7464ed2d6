// The abilities by worm kind, as the worm step calls them. Each kind's ability is one
// function with its own energy rule: held kinds drain per second and act only above 1;
// one-shot kinds pay their cost unless their projectile or effect is already out, and a
// press that cannot be paid still drops the energy to 1.
#pragma once

#include "match/setup.h"

namespace tdx {

struct Match;
class TCerv;

// Step 4 of the worm step: what the worm's kind does while its fire control is active,
// as its row of the kind table (weapons/worm_kinds.h) says.
void AbilityAction(Match& m, TCerv& w, double dt);
// Step 5: the effect that runs without the fire control (shooter burst, infernal fires,
// thick blob), from the same row.
void ContinuousEffects(Match& m, TCerv& w, double dt);

// ---- The energy rules shared by every kind. ----
// Held kinds: pays rate * dt (never below 1); true when the ability may act.
bool DrainEnergy(TCerv& w, double rate, double dt);
// One-shot kinds: pays the cost unless `alreadyActive`; true when the ability acts.
bool PayEnergy(TCerv& w, double cost, bool alreadyActive);

// ---- One function per kind (step 4). ----
void TravellerAction(Match& m, TCerv& w, double dt);
void SpeederAction(Match& m, TCerv& w, double dt);
void StopperAction(Match& m, TCerv& w, double dt);
void WarperAction(Match& m, TCerv& w, double dt);
void ReverserAction(Match& m, TCerv& w, double dt);
void KillerAction(Match& m, TCerv& w, double dt);
void LaserShooterAction(Match& m, TCerv& w, double dt);
void MultiplierAction(Match& m, TCerv& w, double dt);
void VirusInfesterAction(Match& m, TCerv& w, double dt);
void RepellerAction(Match& m, TCerv& w, double dt);
void RocketLauncherAction(Match& m, TCerv& w, double dt);
void AtomicBomberAction(Match& m, TCerv& w, double dt);
void ReproducerAction(Match& m, TCerv& w, double dt);
void ErectorAction(Match& m, TCerv& w, double dt);
void TeleporterAction(Match& m, TCerv& w, double dt);
void ShooterAction(Match& m, TCerv& w, double dt);
void InfernalAction(Match& m, TCerv& w, double dt);
void ThickerAction(Match& m, TCerv& w, double dt);
void PauserAction(Match& m, TCerv& w, double dt);
void VirusControllerAction(Match& m, TCerv& w, double dt);

// ---- The continuous effects (step 5). ----
// The shooter's next bullet of a running burst.
void ShooterBurst(Match& m, TCerv& w);
// The two fires circling a w_infernal's head: they burn the arena and kill other heads.
void InfernalFires(Match& m, TCerv& w);
// The w_thicker's blob growing or shrinking behind the head.
void ThickBlob(Match& m, TCerv& w);

// Whether any of the worm's seven bullets is still flying.
bool AnyBulletActive(const TCerv& w);
bool AnyBulletActive(const Match& m, int slot);

// Round start: the weapon state of one worm that the general round reset does not cover.
void ResetWeaponsRound(Match& m, TCerv& w);

}  // namespace tdx
