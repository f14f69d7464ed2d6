// The abilities by worm kind, as the worm step calls them. Each kind's ability is one
// function with its own energy rule: held kinds drain per second and act only above 1;
// one-shot kinds pay their cost unless their projectile or effect is already out, and a
// press that cannot be paid still drops the energy to 1.
#pragma once

#include "menu/settings.h"

namespace tdx {

struct Game;
class TCerv;

// Step 4 of the worm step: what the worm's kind does while its fire control is active,
// as its row of the kind table (weapons/worm_kinds.h) says.
void AbilityAction(Game& g, TCerv& w, double dt);
// Step 5: the effect that runs without the fire control (shooter burst, infernal fires,
// thick blob), from the same row.
void ContinuousEffects(Game& g, TCerv& w, double dt);

// ---- The energy rules shared by every kind. ----
// Held kinds: pays rate * dt (never below 1); true when the ability may act.
bool DrainEnergy(TCerv& w, double rate, double dt);
// One-shot kinds: pays the cost unless `alreadyActive`; true when the ability acts.
bool PayEnergy(TCerv& w, double cost, bool alreadyActive);

// ---- One function per kind (step 4). ----
void TravellerAction(Game& g, TCerv& w, double dt);
void SpeederAction(Game& g, TCerv& w, double dt);
void StopperAction(Game& g, TCerv& w, double dt);
void WarperAction(Game& g, TCerv& w, double dt);
void ReverserAction(Game& g, TCerv& w, double dt);
void KillerAction(Game& g, TCerv& w, double dt);
void LaserShooterAction(Game& g, TCerv& w, double dt);
void MultiplierAction(Game& g, TCerv& w, double dt);
void VirusInfesterAction(Game& g, TCerv& w, double dt);
void RepellerAction(Game& g, TCerv& w, double dt);
void RocketLauncherAction(Game& g, TCerv& w, double dt);
void AtomicBomberAction(Game& g, TCerv& w, double dt);
void ReproducerAction(Game& g, TCerv& w, double dt);
void ErectorAction(Game& g, TCerv& w, double dt);
void TeleporterAction(Game& g, TCerv& w, double dt);
void ShooterAction(Game& g, TCerv& w, double dt);
void InfernalAction(Game& g, TCerv& w, double dt);
void ThickerAction(Game& g, TCerv& w, double dt);
void PauserAction(Game& g, TCerv& w, double dt);
void VirusControllerAction(Game& g, TCerv& w, double dt);

// ---- The continuous effects (step 5). ----
// The shooter's next bullet of a running burst.
void ShooterBurst(Game& g, TCerv& w);
// The two fires circling a w_infernal's head: they burn the arena and kill other heads.
void InfernalFires(Game& g, TCerv& w);
// The w_thicker's blob growing or shrinking behind the head.
void ThickBlob(Game& g, TCerv& w);

// Whether any of the worm's seven bullets is still flying.
bool AnyBulletActive(const TCerv& w);
bool AnyBulletActive(const Game& g, int slot);

// Round start: the weapon state of one worm that the general round reset does not cover.
void ResetWeaponsRound(Game& g, TCerv& w);

}  // namespace tdx
