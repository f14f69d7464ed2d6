// A match written down whole: everything it is at one frame, as bytes that read back into
// the same match, which then plays on exactly as the original. A recording starts from
// one; seeking in a replay and rolling back a network frame can keep them too. What is
// only working storage (the planner's scratch lists) or already heard (events) is left
// out.
//
// The worms, bonus places and objects are stored as their records lie in memory, so the
// bytes read back only into a build with the same rule records: the layout figure in the
// bytes says which, and another build refuses them with a clear message.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tdx {

struct Match;

// The rules a match is played under: recordings and machines of a network match with other
// rules are refused.
inline constexpr uint32_t kRulesVersion = 1;
// A figure of the rule records' layout: two builds that give the same one read each other's
// snapshots and step matches alike.
uint32_t SnapshotLayout();

std::vector<uint8_t> SaveSnapshot(const Match& m);
// False with `error` saying what is wrong (not naming a file) when the bytes are cut
// short, damaged or from another build of the rules; `m` is then unchanged.
bool LoadSnapshot(const std::vector<uint8_t>& bytes, Match& m, std::string& error);

}  // namespace tdx
