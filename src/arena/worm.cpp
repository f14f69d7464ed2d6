#include "arena/worm.h"

#include <memory>

#include "app/game.h"
#include "arena/arena.h"
#include "players/computer.h"
#include "weapons/abilities.h"
#include "weapons/worm_kinds.h"

namespace tdx {

// ---------------------------------------------------------------- screen objects

TCerv::TCerv(Scene& scene) : scene_(scene) {
  // Creation order is drawing order: the marker lies under the shots, the teleport
  // flash over everything the worm owns.
  ripSprite = scene_.CreateSprite();
  fireballSprite = scene_.CreateSprite();
  for (Sprite*& carrier : infernalCarrier) {
    carrier = scene_.CreateSprite();
    carrier->x = 0;
    carrier->y = 0;
    carrier->width = 0;
    carrier->height = 0;
  }
  missileSprite = scene_.CreateSprite();
  for (Sprite*& s : bulletSprite) s = scene_.CreateSprite();
  for (Sprite*& s : laserBeam) s = scene_.CreateSprite();
  for (Sprite*& s : virusSprite) s = scene_.CreateSprite();
  teleportSprite = scene_.CreateSprite();
}

TCerv::~TCerv() {
  // The fires hang on the carriers, so they go first.
  for (FireEffect*& fire : infernalFire) {
    if (fire) scene_.RemoveFire(fire);
    fire = nullptr;
  }
  for (Sprite*& carrier : infernalCarrier) scene_.RemoveSprite(carrier);
  scene_.RemoveSprite(fireballSprite);
  scene_.RemoveSprite(ripSprite);
  scene_.RemoveSprite(missileSprite);
  for (Sprite* s : bulletSprite) scene_.RemoveSprite(s);
  for (Sprite* s : laserBeam) scene_.RemoveSprite(s);
  for (Sprite* s : virusSprite) scene_.RemoveSprite(s);
  scene_.RemoveSprite(teleportSprite);
}

uint32_t DimColour(uint32_t colour) {
  uint32_t r = (colour & 0xFF) >> 1;
  uint32_t g = ((colour >> 8) & 0xFF) >> 1;
  uint32_t b = ((colour >> 16) & 0xFF) >> 1;
  return r | (g << 8) | (b << 16);
}

void SetDimColours(Game& g) {
  for (auto& w : g.worms) {
    if (w) w->dimColour = DimColour(w->colour);
  }
}

void CreateWorms(Game& g) {
  for (int s = 0; s < kWormCount; ++s) {
    auto w = std::make_unique<TCerv>(g.scene);
    // Two fires for the infernal worm: yellow into red, and yellow into green.
    for (int i = 0; i < 2; ++i) {
      FireEffect* fire = g.scene.CreateFire();
      fire->maxParticles = 48;
      fire->particleSize = 7.0f;
      fire->fireDensity = 1.0f;
      fire->fireCrown = 0.0f;
      fire->fireBurst = 8.0f;
      fire->fireRadius = 5.0f;
      fire->inner = Colour4{1, 1, 0, 1};
      fire->outer = i == 0 ? Colour4{1, 0, 0, 1} : Colour4{0, 1, 0, 1};
      fire->disabled = true;
      fire->carrier = w->infernalCarrier[static_cast<size_t>(i)];
      w->infernalFire[static_cast<size_t>(i)] = fire;
    }
    // A worm that never plays still knows its own slot (walls of slot 12, slots off).
    w->slot = static_cast<uint8_t>(s);
    if (s < kPlayerSlots) w->virusColour = std::string(1, static_cast<char>('a' + s));
    g.worms[static_cast<size_t>(s)] = std::move(w);
  }
  for (int s = 0; s < kWormCount; ++s) g.Worm(s).colour = kSlotColours[s];
  SetDimColours(g);
}

// ---------------------------------------------------------------- round reset

void ResetWormRound(Game& g, int slot) {
  if (slot < 0 || slot >= kWormCount || !g.worms[static_cast<size_t>(slot)]) return;
  TCerv& w = g.Worm(slot);
  w.rocketImmune = 0;
  w.virusImmune = 0;
  w.teleportAnimActive = 0;
  if (w.teleportSprite) w.teleportSprite->visible = false;
  for (int i = 0; i < kBulletCount; ++i) {
    if (w.bulletSprite[static_cast<size_t>(i)])
      w.bulletSprite[static_cast<size_t>(i)]->visible = false;
    w.bulletActive[static_cast<size_t>(i)] = 0;
  }
  w.burstActive = 0;
  w.atomicLaunchedNow = 0;

  // The computer player starts the round with its controls released and two reaction
  // timers of its own.
  ResetComputerRound(g, w);
  if (slot < kPlayerSlots) g.input.controls[static_cast<size_t>(slot)] = Controls{};

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
    const PlayerSetup& p = g.settings.players[slot];
    w.leftKey = p.leftKey;
    w.rightKey = p.rightKey;
    w.fireKey = p.fireKey;
    w.alive = TakesPart(p) ? 1 : 0;
    w.kind = PlayedKind(p.kind);
  } else {
    w.alive = 0;
  }
  ResetWeaponsRound(g, w);
  const WormKindRules& rules = RulesOf(w.kind);
  if (rules.roundReset) rules.roundReset(g, w);
}

}  // namespace tdx
