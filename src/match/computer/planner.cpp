#include "match/computer/planner.h"

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

void BuildRandomPlan(Match& m, TCerv& w) {
  int n = m.Random(14) + 1;
  for (int i = 0; i < n; ++i) {
    PlanStep& p = w.plan[static_cast<size_t>(i)];
    p.action = static_cast<uint8_t>(m.Random(3));
    int span = p.action == kStraight ? 80 : 40;
    p.duration = (m.Random(span) + 1) / 100.0;
  }
  w.planCount = static_cast<uint8_t>(n);
}

const HazardIndex& PrepareHazards(Match& m, const TCerv& w) {
  m.cpu.hazardPoints.clear();
  GatherHazards(m, w, m.cpu.hazardPoints);
  m.cpu.hazards.Build(m.cpu.hazardPoints);
  return m.cpu.hazards;
}

bool SimulatePlan(Match& m, TCerv& w, double lookAhead) {
  return SimulatePlan(m, w, lookAhead, PrepareHazards(m, w));
}

bool SimulatePlan(Match& m, TCerv& w, double lookAhead, const HazardIndex& hazards) {
  ComputerState& c = m.cpu;
  bool result = false;
  c.PlanScore = 0;
  c.BonusOnPath = false;
  double x = w.nextX, y = w.nextY, h = w.heading;
  const double speed = w.speed;
  const double now = m.Now;
  const double end = now + lookAhead;
  double t = now;
  const ArenaGrid& a = m.ArenaMap;
  // The step covering t, found as RunPlan walks the steps; t only grows, so the walk
  // goes on from where the last tick left it.
  size_t step = w.planStep;
  double stepStart = w.planStart;
  const size_t count = w.planCount;
  for (;;) {
    while (step < count && t >= stepStart + w.plan[step].duration) {
      stepStart += w.plan[step].duration;
      ++step;
    }
    if (step >= count) {
      if (t < end) result = false;
      break;
    }
    uint8_t action = w.plan[step].action;
    if (action == kLeft) h -= kTickTurn;
    if (action == kRight) h += kTickTurn;
    if (h < 0) h += 360;
    if (h > 360) h -= 360;
    double cs, sn;
    CosSin(c.headings, h, cs, sn);
    x += cs * kPlanTick * speed;
    y += sn * kPlanTick * speed;
    if (!(x >= 1 && x <= 606 && y >= 1 && y <= 406)) break;  // NaN stops too
    if (t - now > kBlindTime) {
      int rx = RoundCell(x), ry = RoundCell(y), rx1 = RoundCell(x + 1), ry1 = RoundCell(y + 1);
      if (a.At(rx, ry) != EmptyCell || a.At(rx1, ry) != EmptyCell || a.At(rx, ry1) != EmptyCell ||
          a.At(rx1, ry1) != EmptyCell)
        break;
    }
    int seen = hazards.Test(x, y);
    if (seen & kHazardStop) break;
    t += kPlanTick;
    c.PlanScore += kPlanTick;
    if (t >= end) result = true;
    if (seen & kHazardBonus) c.BonusOnPath = true;
    if (!(t < end + 10)) break;
  }
  return result;
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
    SimulatePlan(m, w, 35 / s, hazards);
    if (c.PlanScore > c.BestScore || c.BonusOnPath) {
      c.BestScore = c.PlanScore;
      w.bestPlan = w.plan;
      w.bestPlanCount = w.planCount;
      if (c.BonusOnPath) c.SearchLocked = true;
    }
  }
  w.plan = w.bestPlan;
  w.planCount = w.bestPlanCount;
  w.planState = 2;
}

}  // namespace tdx
