// What the replays screen lists: every recording of the replays folder, newest first, with
// what a player picks one by (when, who played as what, the mode, the score, how long),
// read from the file without playing it. A damaged file is listed as damaged, and one
// recorded under other rules says so: neither is played.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "match/match.h"

namespace tdx {

struct ReplayPlayer {
  int slot = 0;         // its colour
  uint8_t kind = 0;     // as set up: 1..20, or the random kind's byte
  bool person = false;  // a person, not a computer player
  int team = 1;         // 1..4
};

struct ReplayListing {
  std::string path;
  std::string name;      // the file's name
  bool kept = false;     // kept by the player: pruning leaves it
  std::time_t when = 0;  // when it was written
  int format = 0;        // 1: keys and mouse from the program's start; 2: a match
  std::string version;   // the game version that recorded it (format 2)
  bool otherRules = false;
  std::string damage;  // why it cannot be played; empty when it can
  int teamMode = 0;
  std::vector<ReplayPlayer> players;
  // Rounds won by each slot (deathmatch) or team 1..4 at index 0..3 (team deathmatch).
  std::array<int, kPlayerSlots> wins{};
  int rounds = 0;
  double seconds = 0;  // the match's length on its own clock

  bool Playable() const { return damage.empty() && !otherRules; }
};

// The recordings of `playerData`/replays ("match-…" and "kept-…" .tdxr files), newest first.
std::vector<ReplayListing> ListReplays(const std::string& playerData);
// One recording, as listed.
ReplayListing ReadReplayListing(const std::string& path);

}  // namespace tdx
