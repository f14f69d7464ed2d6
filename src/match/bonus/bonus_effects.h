// What a bonus does to the worm that takes it, or to the others on its behalf.
#pragma once

#include "match/bonus/bonus_places.h"

namespace tdx {

struct Match;

inline constexpr int kMainHead = -1;
inline constexpr double kSpeedBonusSeconds = 5;

// Slot `taker` took a bonus of `kind` with its main head (kMainHead) or with extra head
// 0..4. The sound is placed at the main head also when an extra head took it.
void PickUpBonus(Match& m, int taker, BonusKind kind, int extraHead);

// Another alive worm of slots 0..11 that, in a team match, plays for another team.
bool IsEnemyOf(const Match& m, int taker, int other);

}  // namespace tdx
