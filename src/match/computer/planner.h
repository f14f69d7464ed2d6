// The planning computer player (cpuiq10): candidate steering plans, their simulation
// through the arena at the worm's own speed, and the plan the worm follows.
#pragma once

#include "match/arena/worm.h"
#include "match/computer/hazards.h"

namespace tdx {

struct Match;

inline constexpr int kFixedPlans = 21;
inline constexpr int kRandomPlans = 200;
inline constexpr double kPlanTick = 0.04;  // seconds per simulated tick

// Candidate `index` (0..20) of the fixed table, each ending with 0.8 s straight on.
void BuildFixedPlan(TCerv& w, int index);
// A random candidate of 1 to 14 steps, drawn from the match's generator.
void BuildRandomPlan(Match& m, TCerv& w);

// The hazards of this frame, gathered and indexed once for every planner: nothing a
// computer player decides changes them before the frame's rules run.
const HazardIndex& PrepareHazards(Match& m);

// Runs w's plan (from planStep, started at planStart) ahead from Now in ticks of 0.04 s,
// past the hazards w does not ignore.
// Sets m.cpu.PlanScore to the time it survives (at most lookAhead + 10 s and one tick) and
// m.cpu.BonusOnPath; true when it survives lookAhead seconds and has not ended before.
bool SimulatePlan(Match& m, TCerv& w, double lookAhead, const HazardIndex& hazards);
// The same past the hazards of the match as it stands now, gathered afresh.
bool SimulatePlan(Match& m, TCerv& w, double lookAhead);

// What SimulatePlan returns, without its score: whether w's plan survives lookAhead
// seconds from Now and has not ended before.
bool PlanHolds(Match& m, const TCerv& w, double lookAhead, const HazardIndex& hazards);

// Sets the worm's turn controls by the plan step that covers Now; false once the plan
// has ended (the controls are then left as they were).
bool RunPlan(Match& m, TCerv& w);

// The whole search of one frame: 21 fixed and 200 random candidates, the best of them
// becomes the plan and the planner runs it (planState 2).
void PlanSearch(Match& m, TCerv& w, const HazardIndex& hazards);

}  // namespace tdx
