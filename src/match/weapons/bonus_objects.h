// The objects that bonuses put into the arena: fire balls, diggers, wall walkers and
// bombs. They belong to no worm; each kind lives in its own ordered list, appended by the
// pick-up and updated once per playing frame.
#pragma once

#include <vector>

#include "match/look.h"

namespace tdx {

struct Match;

// One object. Its place is its look's position: view pixels for fire balls, diggers and
// bombs, arena units for wall walkers (whose look is never shown).
struct BonusObject {
  Look look;
  double dirX = 0, dirY = 0;  // fire balls: unit vector of flight
  int owner = -1;             // fire balls, diggers: the eater, never harmed by its object; bombs:
                              // the eater, harmed like anybody (kept only to say whose bomb killed)
  double startTime = 0;       // diggers: creation; bombs: start of the current stage
  int phase = 0;              // diggers, bombs: animation phase 0..3
  int stage = 0;              // bombs: 0 fuse burning, 1 exploding
};

// The four lists in creation order, and the bomb timing they share. Emptied when a round is
// prepared, when a round has been scored and when the match display is torn down:
// ClearBonusObjects.
struct BonusObjectLists {
  std::vector<BonusObject> BonusShots;
  std::vector<BonusObject> Diggers;
  std::vector<BonusObject> XonixWalkers;
  std::vector<BonusObject> Bombs;
  // Seconds a bomb's fuse burns: 100 / S, recomputed at every bomb update.
  double BombFuse = 2;
  // When the bomb sound may play again after it has sounded (its ready flag is the round's
  // sound gate BombSoundReady).
  double BombSoundNext = 0;
};

inline constexpr double kBombBlastSeconds = 0.5;
inline constexpr double kBombLead = 100;  // arena units a bomb lies ahead of its worm

// Once per playing frame each, in this order, after the bonus places.
void UpdateFireBalls(Match& m);
void UpdateDiggers(Match& m);
void UpdateWallWalkers(Match& m);
void UpdateBombs(Match& m);

// Empties the four lists.
void ClearBonusObjects(Match& m);

// The pick-up's constructors. Positions as the lists keep them (see BonusObject).
void AddFireBall(Match& m, double viewX, double viewY, double dirX, double dirY, int owner);
void AddDigger(Match& m, double viewX, double viewY, int owner);
void AddXonixWalker(Match& m, double arenaX, double arenaY);
void AddBomb(Match& m, double viewX, double viewY, int owner = -1);

}  // namespace tdx
