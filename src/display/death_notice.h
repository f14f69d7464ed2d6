// The line that tells the players who killed whom, made from a Death event alone.
#pragma once

#include <array>
#include <string>

#include "match/arena/worm.h"
#include "match/events.h"

namespace tdx {

// The players' names by slot; an empty name is told as "player N" (N counting from 1).
using SlotNames = std::array<std::string, kPlayerSlots>;

// The name a slot is told by.
std::string SlotName(const SlotNames& names, int slot);

// What a Death event says, e.g. "player 3 was cut down by player 5's laser",
// "player 2 hit the wall", "player 4 ran into its own trail".
std::string DeathNotice(const MatchEvent& death, const SlotNames& names);

}  // namespace tdx
