#include "match/match.h"

namespace tdx {

int ActivePlayerCount(const SettingsBlock& setup) {
  int n = 0;
  for (int s = 0; s < kPlayerSlots; ++s) n += TakesPart(setup.players[s]);
  return n;
}

int ActivePlayerCount(const Match& m) { return ActivePlayerCount(m.settings); }

int NthActivePlayer(const Match& m, int n) {
  for (int s = 0; s < kPlayerSlots; ++s) {
    if (TakesPart(m.settings.players[s]) && n-- == 0) return s;
  }
  return -1;
}

int TeamCount(const SettingsBlock& setup) {
  bool used[4] = {};
  for (int s = 0; s < kPlayerSlots; ++s) {
    if (TakesPart(setup.players[s])) used[TeamNumber(setup.players[s]) - 1] = true;
  }
  return used[0] + used[1] + used[2] + used[3];
}

int TeamCount(const Match& m) { return TeamCount(m.settings); }

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
