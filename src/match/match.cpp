#include "match/match.h"

namespace tdx {

int ActivePlayerCount(const Match& m) {
  int n = 0;
  for (int s = 0; s < kPlayerSlots; ++s) n += TakesPart(m.settings.players[s]);
  return n;
}

int NthActivePlayer(const Match& m, int n) {
  for (int s = 0; s < kPlayerSlots; ++s) {
    if (TakesPart(m.settings.players[s]) && n-- == 0) return s;
  }
  return -1;
}

int TeamCount(const Match& m) {
  bool used[4] = {};
  for (int s = 0; s < kPlayerSlots; ++s) {
    if (TakesPart(m.settings.players[s])) used[TeamNumber(m.settings.players[s]) - 1] = true;
  }
  return used[0] + used[1] + used[2] + used[3];
}

int NthUsedTeam(const Match& m, int n) {
  bool used[4] = {};
  for (int s = 0; s < kPlayerSlots; ++s) {
    if (TakesPart(m.settings.players[s])) used[TeamNumber(m.settings.players[s]) - 1] = true;
  }
  for (int t = 0; t < 4; ++t) {
    if (used[t] && n-- == 0) return t;
  }
  return -1;
}

}  // namespace tdx
