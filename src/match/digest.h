// A fingerprint of a round's outcome: the arena grid and every worm's round state. Two
// runs of the same match give the same digests round by round, so a replay is checked
// by comparing them.
#pragma once

#include <cstdint>

namespace tdx {

struct Match;

uint64_t RoundDigest(const Match& m);

}  // namespace tdx
