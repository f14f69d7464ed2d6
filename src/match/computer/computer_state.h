// The computer players' share of the game object: the figures of the plan search and the
// working storage that lets a search run without allocating.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "match/computer/hazards.h"

namespace tdx {

// Sine and cosine of the exact headings a search meets. A search turns in steps of 16
// degrees from one start heading, so it meets few distinct values; keyed by the value's
// bits, the table gives exactly what std::cos and std::sin give.
struct HeadingTable {
  static constexpr size_t kSize = 256;
  std::array<uint64_t, kSize> key{};
  std::array<uint8_t, kSize> used{};
  std::array<double, kSize> cosine{}, sine{};
};

// One simulated tick of a search, reached from its parent by one action. Candidates that
// steer alike for their first ticks share those ticks: each is simulated once. What a
// candidate's walk reads is kept apart from the head's place, which only new ticks need.
struct PlanNode {
  std::array<int32_t, 3> next{-1, -1, -1};  // the tick after it, by action; -1 not yet
  bool stops = false;  // the head leaves the arena, meets a trail or a hazard in this tick
  bool bonus = false;  // a wanted bonus is in reach in this tick
};
struct PlanHead {
  double x = 0, y = 0, heading = 0;  // the head after the tick
};

struct ComputerState {
  // The plan search: the last simulated plan's survival time and whether it passes a
  // wanted bonus; the best score of the current search and whether a bonus plan ended it.
  double PlanScore = 0;
  double BestScore = 0;
  bool BonusOnPath = false;
  bool SearchLocked = false;

  // The frame in which a plan last ran (the debug output shows "RUNNING PROGRAM").
  bool planRan = false;
  uint64_t planRanFrame = 0;

  // Working storage: the hazards of the frame `hazardsFrame`, shared by its planners; a
  // frame's controls start by forgetting them.
  std::vector<HazardPoint> hazardPoints;
  HazardIndex hazards;
  bool hazardsReady = false;
  uint64_t hazardsFrame = 0;
  HeadingTable headings;
  std::vector<PlanNode> planTree;   // the ticks of the current search
  std::vector<PlanHead> planHeads;  // and where each leaves the head
};

}  // namespace tdx
