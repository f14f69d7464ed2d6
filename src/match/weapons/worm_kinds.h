// One place per worm kind: how its fire control acts, what a press, a hold and a release
// do, what runs in its step, its passive rules, its round reset and its computer-player
// rule. The worm step, the controls and the round reset all ask this table.
#pragma once

#include "match/setup.h"

namespace tdx {

struct Match;
class TCerv;

// How the fire control acts: not at all, once on the press frame, or every frame it is held.
enum class FireControl : uint8_t { None, Press, Held };

// When a cpuiq10 worm switches its own ability on, without the planner asking.
enum class CpuSelfTrigger : uint8_t { Never, OnTrailHit, AtEdge };

struct WormKindRules {
  FireControl control = FireControl::Press;
  // On a fresh press, after fireHeld is set (null: nothing more).
  void (*press)(Match& m, int slot, TCerv& w) = nullptr;
  // Every further frame the control is held (held kinds), after fireHeld is set.
  void (*hold)(Match& m, int slot, TCerv& w) = nullptr;
  // The frame the control is let go.
  void (*release)(Match& m, TCerv& w) = nullptr;
  // Step 4 of the worm step, while fireHeld.
  void (*action)(Match& m, TCerv& w, double dt) = nullptr;
  // Step 5 of the worm step, every step.
  void (*continuous)(Match& m, TCerv& w, double dt) = nullptr;
  // What the kind clears at every round start, after the common round reset.
  void (*roundReset)(Match& m, TCerv& w) = nullptr;
  // Passive rules while the ability is on (fireHeld with energy above 1).
  bool passesTrails = false;
  bool wrapsAtEdges = false;
  bool standsStill = false;
  CpuSelfTrigger cpuSelfTrigger = CpuSelfTrigger::Never;
  // What a computer player of this kind does with its fire control each frame (null:
  // never presses).
  void (*cpuRule)(Match& m, int slot) = nullptr;
};

const WormKindRules& RulesOf(WormKind kind);

// The ability is on this frame: fire held with energy to spend.
bool AbilityOn(const TCerv& w);
bool PassesTrails(const TCerv& w);
bool WrapsAtEdges(const TCerv& w);
bool StandsStill(const TCerv& w);

// In play, once a frame after the controls were read: every alive worm's turn flags,
// and the press, hold or release of its fire control as its kind says. Unfreezes
// everybody first, so a stopper freezes the others only while it holds fire.
void ApplyControls(Match& m);

}  // namespace tdx
