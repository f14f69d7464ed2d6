#include "match/arena/worm.h"

#include "match/arena/arena.h"
#include "match/computer/computer.h"
#include "match/match.h"
#include "match/weapons/abilities.h"
#include "match/weapons/worm_kinds.h"

namespace tdx {

uint32_t DimColour(uint32_t colour) {
  uint32_t r = (colour & 0xFF) >> 1;
  uint32_t m = ((colour >> 8) & 0xFF) >> 1;
  uint32_t b = ((colour >> 16) & 0xFF) >> 1;
  return r | (m << 8) | (b << 16);
}

void SetDimColours(Match& m) {
  for (TCerv& w : m.worms) w.dimColour = DimColour(w.colour);
}

void CreateWorms(Match& m) {
  for (int s = 0; s < kWormCount; ++s) {
    TCerv& w = m.Worm(s);
    w = TCerv{};
    // A worm that never plays still knows its own slot (walls of slot 12, slots off).
    w.slot = static_cast<uint8_t>(s);
    if (s < kPlayerSlots) w.virusColour = static_cast<char>('a' + s);
    w.colour = kSlotColours[s];
  }
  SetDimColours(m);
}

// ---------------------------------------------------------------- round reset

void ResetWormRound(Match& m, int slot) {
  if (slot < 0 || slot >= kWormCount) return;
  TCerv& w = m.Worm(slot);
  w.rocketImmune = 0;
  w.virusImmune = 0;
  w.teleportAnimActive = 0;
  w.teleportLook.visible = false;
  for (size_t i = 0; i < kBulletCount; ++i) {
    w.bulletLook[i].visible = false;
    w.bulletActive[i] = 0;
  }
  w.burstActive = 0;
  w.atomicLaunchedNow = 0;

  // The computer player starts the round with its controls released and two reaction
  // timers of its own.
  ResetComputerRound(m, w);
  if (slot < kPlayerSlots) m.controls[static_cast<size_t>(slot)] = Controls{};

  // Nothing of the last round flies on, and nothing is held.
  w.fireHeld = 0;
  w.fireballActive = 0;
  w.laserActive = 0;
  w.rocketActive = 0;
  w.atomicActive = 0;
  w.speedBonusActive = 0;
  w.tailCloneUsed = 0;
  w.cloneAlive.fill(0);
  w.virusActive.fill(0);
  w.turnLeft = 0;
  w.turnRight = 0;

  // Who plays this round, with which keys, and as what.
  if (slot < kPlayerSlots) {
    const PlayerSetup& p = m.settings.players[slot];
    w.leftKey = p.leftKey;
    w.rightKey = p.rightKey;
    w.fireKey = p.fireKey;
    w.alive = TakesPart(p) ? 1 : 0;
    w.kind = PlayedKind(p.kind);
  } else {
    w.alive = 0;
  }
  ResetWeaponsRound(m, w);
  const WormKindRules& rules = RulesOf(w.kind);
  if (rules.roundReset) rules.roundReset(m, w);
}

}  // namespace tdx
