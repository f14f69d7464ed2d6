// The match as the players see it: a sprite for every look of the match, placed from the
// match each drawn frame. Nothing here is read back by a rule.
#pragma once

#include <array>
#include <vector>

#include "match/arena/worm.h"
#include "match/bonus/bonus_places.h"

namespace tdx {

struct Game;
struct Sprite;
struct FireEffect;

struct WormSprites {
  Sprite* rip = nullptr;
  Sprite* fireball = nullptr;
  std::array<Sprite*, 2> carrier{};
  Sprite* missile = nullptr;
  std::array<Sprite*, kBulletCount> bullets{};
  std::array<Sprite*, kLaserBeamCount> laser{};
  std::array<Sprite*, kVirusCount> viruses{};
  Sprite* teleport = nullptr;
  std::array<FireEffect*, 2> fires{};
};

struct MatchView {
  bool built = false;
  std::array<WormSprites, kWormCount> worms{};
  // The bonus places' swirls and pictures, from a match's start until it is left.
  std::array<Sprite*, kBonusSlots> swirl{}, picture{};
  // One sprite per fire ball, digger and bomb, in list order (wall walkers are unseen).
  std::vector<Sprite*> shots, diggers, bombs;
};

// Start-up: every worm's sprites and its two fires, in drawing order.
void BuildMatchView(Game& g);
// A match starts: the bonus places' sprites (drawn over the worms', under what follows).
void ShowBonusPlaces(Game& g);
// The match is left: the places' and the bonus objects' sprites go.
void HideBonusPlaces(Game& g);
// Each drawn frame, before the fires tick: every sprite from its look.
void ShowMatch(Game& g);

}  // namespace tdx
