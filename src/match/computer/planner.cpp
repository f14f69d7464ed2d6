#include "match/computer/planner.h"

#include <array>
#include <bit>
#include <cmath>
#include <numbers>

#include "match/arena/arena.h"
#include "match/match.h"

namespace tdx {

namespace {

constexpr double kDegToRad = std::numbers::pi / 180.0;
constexpr double kTickTurn = 16;    // degrees per tick: the worm's own 400 degrees per second
constexpr double kBlindTime = 0.1;  // the own fresh trail lies under the first ticks

enum Action : uint8_t { kStraight = 0, kLeft = 1, kRight = 2 };

struct FixedPlan {
  int count = 0;
  PlanStep steps[2];
};

// Every fixed plan continues with 0.8 s straight on.
constexpr FixedPlan kFixed[kFixedPlans] = {
    {0, {}},
    {1, {{kLeft, 0.3}}},
    {1, {{kRight, 0.3}}},
    {1, {{kLeft, 0.5}}},
    {1, {{kRight, 0.5}}},
    {2, {{kStraight, 0.2}, {kLeft, 0.3}}},
    {2, {{kStraight, 0.2}, {kRight, 0.3}}},
    {2, {{kStraight, 0.2}, {kLeft, 0.7}}},
    {2, {{kStraight, 0.2}, {kRight, 0.7}}},
    {2, {{kRight, 0.3}, {kLeft, 0.7}}},
    {2, {{kLeft, 0.3}, {kRight, 0.7}}},
    {1, {{kStraight, 0.3}}},
    {1, {{kStraight, 0.5}}},
    {1, {{kLeft, 0.4}}},
    {1, {{kRight, 0.4}}},
    {1, {{kLeft, 0.8}}},
    {1, {{kRight, 0.8}}},
    {1, {{kLeft, 0.6}}},
    {1, {{kRight, 0.6}}},
    {1, {{kLeft, 0.15}}},
    {1, {{kRight, 0.15}}},
};
constexpr double kFinalStraight = 0.8;

// Nearest integer, halves to even, for values well inside +-2^51: adding and taking away
// 1.5 * 2^52 leaves the value rounded by the default rounding mode, as RoundEven does,
// without a library call. Simulated heads are always inside the arena.
inline int RoundCell(double v) {
  constexpr double kMagic = 6755399441055744.0;
  return static_cast<int>((v + kMagic) - kMagic);
}

inline void CosSin(HeadingTable& t, double h, double& c, double& s) {
  uint64_t bits = std::bit_cast<uint64_t>(h);
  size_t i = static_cast<size_t>((bits * 0x9E3779B97F4A7C15ull) >> 56);
  if (!t.used[i] || t.key[i] != bits) {
    t.used[i] = 1;
    t.key[i] = bits;
    t.cosine[i] = std::cos(h * kDegToRad);
    t.sine[i] = std::sin(h * kDegToRad);
  }
  c = t.cosine[i];
  s = t.sine[i];
}

}  // namespace

void BuildFixedPlan(TCerv& w, int index) {
  const FixedPlan& f = kFixed[index];
  for (int i = 0; i < f.count; ++i) w.plan[static_cast<size_t>(i)] = f.steps[i];
  w.plan[static_cast<size_t>(f.count)] = {kStraight, kFinalStraight};
  w.planCount = static_cast<uint8_t>(f.count + 1);
}

namespace {

// The step lengths a random plan draws, 0.01 s to 0.80 s: the same quotients as dividing
// at run time, looked up instead (a search draws thousands).
constexpr std::array<double, 80> kDurations = [] {
  std::array<double, 80> d{};
  for (size_t k = 0; k < d.size(); ++k) d[k] = static_cast<double>(k + 1) / 100.0;
  return d;
}();

}  // namespace

void BuildRandomPlan(Match& m, TCerv& w) {
  int n = m.Random(14) + 1;
  for (int i = 0; i < n; ++i) {
    PlanStep& p = w.plan[static_cast<size_t>(i)];
    const int action = m.Random(3);
    // Straight on spans up to 0.8 s, a turn up to 0.4 s: a draw below 40 is the same draw
    // below 80 taken modulo 40, found without a branch the draws would make unforeseeable.
    const int k80 = m.Random(80);
    const int k = k80 - 40 * static_cast<int>((action != kStraight) & (k80 >= 40));
    p.action = static_cast<uint8_t>(action);
    p.duration = kDurations[static_cast<size_t>(k)];
  }
  w.planCount = static_cast<uint8_t>(n);
}

const HazardIndex& PrepareHazards(Match& m) {
  ComputerState& c = m.cpu;
  if (!c.hazardsReady || c.hazardsFrame != m.frameNumber) {
    c.hazardPoints.clear();
    GatherHazards(m, c.hazardPoints);
    c.hazards.Build(c.hazardPoints);
    c.hazardsReady = true;
    c.hazardsFrame = m.frameNumber;
  }
  return c.hazards;
}

bool SimulatePlan(Match& m, TCerv& w, double lookAhead) {
  m.cpu.hazardsReady = false;
  return SimulatePlan(m, w, lookAhead, PrepareHazards(m));
}

namespace {

// One tick of a simulated head: the turn of `action`, the move, and whether the head stops
// there (leaves the arena, meets a trail once past its own fresh one, or a hazard in reach).
// Returns kHazardStop and/or kHazardBonus.
inline int SimulateTick(Match& m, const TCerv& w, uint8_t action, bool pastBlind, uint32_t viewer,
                        const HazardIndex& hazards, double& x, double& y, double& h) {
  if (action == kLeft) h -= kTickTurn;
  if (action == kRight) h += kTickTurn;
  if (h < 0) h += 360;
  if (h > 360) h -= 360;
  double cs, sn;
  CosSin(m.cpu.headings, h, cs, sn);
  x += cs * kPlanTick * w.speed;
  y += sn * kPlanTick * w.speed;
  if (!(x >= 1 && x <= 606 && y >= 1 && y <= 406)) return kHazardStop;  // NaN stops too
  if (pastBlind) {
    const ArenaGrid& a = m.ArenaMap;
    int rx = RoundCell(x), ry = RoundCell(y), rx1 = RoundCell(x + 1), ry1 = RoundCell(y + 1);
    if (a.At(rx, ry) != EmptyCell || a.At(rx1, ry) != EmptyCell || a.At(rx, ry1) != EmptyCell ||
        a.At(rx1, ry1) != EmptyCell)
      return kHazardStop;
  }
  return hazards.Test(x, y, viewer);
}

// The action of w's plan at time t, walking on from (step, stepStart) as t grows; false
// once the plan has ended.
inline bool ActionAt(const TCerv& w, double t, size_t& step, double& stepStart, uint8_t& action) {
  const size_t count = w.planCount;
  while (step < count && t >= stepStart + w.plan[step].duration) {
    stepStart += w.plan[step].duration;
    ++step;
  }
  if (step >= count) return false;
  action = w.plan[step].action;
  return true;
}

// The walk every simulation of a plan makes: from Now in ticks of 0.04 s, the plan's
// action for each tick handed to `tick`, which moves the head and says what it met
// (kHazardStop, kHazardBonus). Sets m.cpu.PlanScore and m.cpu.BonusOnPath and returns
// SimulatePlan's answer.
template <typename Tick>
bool WalkPlan(Match& m, const TCerv& w, double lookAhead, Tick tick) {
  bool result = false;
  bool bonus = false;
  double score = 0;
  const double now = m.Now;
  const double end = now + lookAhead;
  double t = now;
  // The step covering t, found as RunPlan walks the steps; t only grows, so the walk
  // goes on from where the last tick left it.
  size_t step = w.planStep;
  double stepStart = w.planStart;
  for (;;) {
    uint8_t action = 0;
    if (!ActionAt(w, t, step, stepStart, action)) break;  // ended: `result` says if in time
    const int seen = tick(action, t - now > kBlindTime);
    if (seen & kHazardStop) break;
    t += kPlanTick;
    score += kPlanTick;
    if (t >= end) result = true;
    bonus |= (seen & kHazardBonus) != 0;
    if (!(t < end + 10)) break;
  }
  m.cpu.PlanScore = score;
  m.cpu.BonusOnPath = bonus;
  return result;
}

// SimulatePlan for the candidates of one search, which all start from the same head at the
// same time: the ticks are taken from the search's tree where another candidate already
// simulated them, so each candidate gives exactly what simulating it alone gives.
bool SimulateCandidate(Match& m, TCerv& w, double lookAhead, const HazardIndex& hazards) {
  ComputerState& c = m.cpu;
  std::vector<PlanNode>& tree = c.planTree;
  std::vector<PlanHead>& heads = c.planHeads;
  const uint32_t viewer = SlotBit(w.slot);
  size_t node = 0;  // the root: the head as it is now
  return WalkPlan(m, w, lookAhead, [&](uint8_t action, bool pastBlind) {
    int32_t next = tree[node].next[action];
    if (next < 0) {
      PlanHead h = heads[node];
      const int seen = SimulateTick(m, w, action, pastBlind, viewer, hazards, h.x, h.y, h.heading);
      PlanNode n;
      n.stops = (seen & kHazardStop) != 0;
      n.bonus = (seen & kHazardBonus) != 0;
      next = static_cast<int32_t>(tree.size());
      tree.push_back(n);  // may move the tree: `node` is an index
      heads.push_back(h);
      tree[node].next[action] = next;
    }
    node = static_cast<size_t>(next);
    const PlanNode& n = tree[node];
    return (n.stops ? kHazardStop : 0) | (n.bonus ? kHazardBonus : 0);
  });
}

}  // namespace

bool SimulatePlan(Match& m, TCerv& w, double lookAhead, const HazardIndex& hazards) {
  const uint32_t viewer = SlotBit(w.slot);
  double x = w.nextX, y = w.nextY, h = w.heading;
  return WalkPlan(m, w, lookAhead, [&](uint8_t action, bool pastBlind) {
    return SimulateTick(m, w, action, pastBlind, viewer, hazards, x, y, h);
  });
}

bool PlanHolds(Match& m, const TCerv& w, double lookAhead, const HazardIndex& hazards) {
  const double now = m.Now;
  const double end = now + lookAhead;
  const uint32_t viewer = SlotBit(w.slot);
  double x = w.nextX, y = w.nextY, h = w.heading;
  double t = now;
  size_t step = w.planStep;
  double stepStart = w.planStart;
  // SimulatePlan's answer is settled once the head has survived to `end`: nothing after it
  // can take it back, so the ticks past it are not simulated.
  for (;;) {
    uint8_t action = 0;
    if (!ActionAt(w, t, step, stepStart, action)) return false;
    int seen = SimulateTick(m, w, action, t - now > kBlindTime, viewer, hazards, x, y, h);
    if (seen & kHazardStop) return false;
    t += kPlanTick;
    if (t >= end) return true;
  }
}

bool RunPlan(Match& m, TCerv& w) {
  size_t step = w.planStep;
  double stepStart = w.planStart;
  while (step < w.planCount && m.Now >= stepStart + w.plan[step].duration) {
    stepStart += w.plan[step].duration;
    ++step;
  }
  if (step >= w.planCount) return false;
  uint8_t action = w.plan[step].action;
  w.cpuTurning = action != kStraight;
  w.cpuKeys[0] = action == kLeft;
  w.cpuKeys[1] = action == kRight;
  return true;
}

void PlanSearch(Match& m, TCerv& w, const HazardIndex& hazards) {
  ComputerState& c = m.cpu;
  const double s = m.GlobalSpeed > 0 ? m.GlobalSpeed : 50;
  c.BestScore = 0;
  c.SearchLocked = false;
  c.planTree.assign(1, PlanNode{});
  c.planHeads.assign(1, PlanHead{w.nextX, w.nextY, w.heading});
  for (int k = 0; k < kFixedPlans + kRandomPlans; ++k) {
    if (k < kFixedPlans) {
      BuildFixedPlan(w, k);
    } else {
      BuildRandomPlan(m, w);
    }
    w.planStart = m.Now;
    w.planStep = 0;
    // Once a plan past a bonus is taken the rest are still drawn (the match's chance
    // stays the same) but no longer need simulating.
    if (c.SearchLocked) continue;
    SimulateCandidate(m, w, 35 / s, hazards);
    if (c.PlanScore > c.BestScore || c.BonusOnPath) {
      c.BestScore = c.PlanScore;
      w.bestPlan = w.plan;
      w.bestPlanCount = w.planCount;
      if (c.BonusOnPath) c.SearchLocked = true;
    }
  }
  c.planTree.clear();  // a copy of the match carries no working ticks
  c.planHeads.clear();
  w.plan = w.bestPlan;
  w.planCount = w.bestPlanCount;
  w.planState = 2;
}

}  // namespace tdx
