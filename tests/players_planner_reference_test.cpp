// The plan search as the game runs it (hazards indexed by place, headings looked up,
// cells rounded without a library call) against a plain reading of the rules, on random
// arenas full of trails, viruses, rockets and atomic bombs: both must choose the same plan
// with the same score and draw the same chances.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "app/game.h"
#include "match/arena/arena.h"
#include "match/arena/worm.h"
#include "match/computer/hazards.h"
#include "match/computer/planner.h"

namespace tdx {
namespace {

struct RefPlan {
  int count = 0;
  PlanStep steps[kPlanSteps];
};

// The fixed candidates, written out again from the table.
RefPlan Fixed(int k) {
  static const std::vector<std::vector<PlanStep>> table = {
      {},
      {{1, 0.3}},
      {{2, 0.3}},
      {{1, 0.5}},
      {{2, 0.5}},
      {{0, 0.2}, {1, 0.3}},
      {{0, 0.2}, {2, 0.3}},
      {{0, 0.2}, {1, 0.7}},
      {{0, 0.2}, {2, 0.7}},
      {{2, 0.3}, {1, 0.7}},
      {{1, 0.3}, {2, 0.7}},
      {{0, 0.3}},
      {{0, 0.5}},
      {{1, 0.4}},
      {{2, 0.4}},
      {{1, 0.8}},
      {{2, 0.8}},
      {{1, 0.6}},
      {{2, 0.6}},
      {{1, 0.15}},
      {{2, 0.15}},
  };
  RefPlan p;
  for (const PlanStep& s : table[static_cast<size_t>(k)]) p.steps[p.count++] = s;
  p.steps[p.count++] = {0, 0.8};
  return p;
}

struct RefOutcome {
  double score = 0;
  bool bonus = false;
};

double Dist(double ax, double ay, double bx, double by) {
  return std::sqrt((ax - bx) * (ax - bx) + (ay - by) * (ay - by));
}

bool Occupied(const Game& g, double x, double y) {
  return g.ArenaMap.At(static_cast<int>(RoundEven(x)), static_cast<int>(RoundEven(y))) != EmptyCell;
}

bool HazardNear(const Game& g, const TCerv& w, double x, double y) {
  for (int s = 0; s < kPlayerSlots; ++s) {
    const TCerv& o = g.worms[static_cast<size_t>(s)];
    if (!o.alive) continue;
    if (s != w.slot && !w.virusImmune) {
      for (size_t v = 0; v < kVirusCount; ++v) {
        if (o.virusActive[v] && Dist(x, y, o.virusX[v], o.virusY[v]) < 10) return true;
      }
    }
    if (s != w.slot && !w.rocketImmune && o.rocketActive && o.rocketFlying &&
        Dist(x, y, o.missileX, o.missileY) < 40)
      return true;
    if (o.atomicActive && Dist(x, y, o.missileX, o.missileY) < 60) return true;
  }
  return false;
}

RefOutcome RefSimulate(const Game& g, const TCerv& w, const RefPlan& p, double lookAhead,
                       const std::vector<HazardPoint>& bonuses) {
  RefOutcome out;
  double x = w.nextX, y = w.nextY, h = w.heading, now = g.Now, t = now, end = now + lookAhead;
  for (;;) {
    int i = 0;
    double acc = now;
    while (i < p.count && t >= acc + p.steps[i].duration) acc += p.steps[i++].duration;
    if (i >= p.count) break;
    if (p.steps[i].action == 1) h -= 16;
    if (p.steps[i].action == 2) h += 16;
    if (h < 0) h += 360;
    if (h > 360) h -= 360;
    x += std::cos(h * std::numbers::pi / 180.0) * 0.04 * w.speed;
    y += std::sin(h * std::numbers::pi / 180.0) * 0.04 * w.speed;
    if (x < 1 || x > 606 || y < 1 || y > 406) break;
    if ((Occupied(g, x, y) || Occupied(g, x + 1, y) || Occupied(g, x, y + 1) ||
         Occupied(g, x + 1, y + 1)) &&
        t - now > 0.1)
      break;
    if (HazardNear(g, w, x, y)) break;
    t += 0.04;
    out.score += 0.04;
    for (const HazardPoint& b : bonuses) {
      if (Dist(x, y, b.x, b.y) <= 6) out.bonus = true;
    }
    if (!(t < end + 10)) break;
  }
  return out;
}

struct RefChoice {
  RefPlan plan;
  double best = 0;
};

RefChoice RefSearch(const Game& g, const TCerv& w, Rng rng, RefPlan previousBest,
                    const std::vector<HazardPoint>& bonuses, uint64_t& nextDraw) {
  RefChoice c;
  c.plan = previousBest;
  bool locked = false;
  for (int k = 0; k < 221; ++k) {
    RefPlan p;
    if (k < 21) {
      p = Fixed(k);
    } else {
      p.count = rng.Random(14) + 1;
      for (int i = 0; i < p.count; ++i) {
        p.steps[i].action = static_cast<uint8_t>(rng.Random(3));
        p.steps[i].duration = (rng.Random(p.steps[i].action == 0 ? 80 : 40) + 1) / 100.0;
      }
    }
    RefOutcome o = RefSimulate(g, w, p, 35 / g.GlobalSpeed, bonuses);
    if (!locked && (o.score > c.best || o.bonus)) {
      c.best = o.score;
      c.plan = p;
      locked = o.bonus;
    }
  }
  nextDraw = rng.Next();
  return c;
}

TEST(PlannerReference, TheIndexAnswersAsALoopOverEveryPoint) {
  for (size_t count : {3, 40, 900}) {
    Rng rng(count);
    auto real = [&](double lo, double hi) { return lo + (hi - lo) * rng.Unit(); };
    std::vector<HazardPoint> points;
    const double reaches[] = {kVirusReach, kRocketReach, kAtomicReach, kBombReach, kBonusReach};
    for (size_t i = 0; i < count; ++i) {
      size_t kind = static_cast<size_t>(rng.Random(5));
      points.push_back({real(-70, 680), real(-70, 480), reaches[kind], kind == 4});
    }
    HazardIndex index;
    index.Build(points);
    int stops = 0;
    for (int q = 0; q < 20000; ++q) {
      // Heads near the points' edges, where a block too few would show.
      const HazardPoint& p = points[static_cast<size_t>(rng.Random(static_cast<int>(count)))];
      double a = real(0, 2 * std::numbers::pi), r = p.radius + real(-0.5, 0.5);
      double x = std::clamp(p.x + r * std::cos(a), 1.0, 606.0);
      double y = std::clamp(p.y + r * std::sin(a), 1.0, 406.0);
      int expected = 0;
      for (const HazardPoint& h : points) {
        double d = Dist(x, y, h.x, h.y);
        if (h.bonus ? d <= h.radius : d < h.radius)
          expected |= h.bonus ? kHazardBonus : kHazardStop;
      }
      int got = index.Test(x, y);
      stops += (expected & kHazardStop) != 0;
      ASSERT_EQ(got & kHazardStop, expected & kHazardStop) << x << "," << y;
      if (!(expected & kHazardStop)) {
        ASSERT_EQ(got, expected) << x << "," << y;
      }
    }
    EXPECT_GT(stops, 100);
  }
}

TEST(PlannerReference, TheIndexedSearchChoosesThePlanOfThePlainRules) {
  int bonusChoices = 0, hazardStops = 0;
  for (int fixture = 0; fixture < 16; ++fixture) {
    Game g;
    CreateWorms(g);
    Rng setup(1000 + static_cast<uint64_t>(fixture));
    auto real = [&](double lo, double hi) { return lo + (hi - lo) * setup.Unit(); };
    g.GlobalSpeed = std::vector<double>{30, 50, 80, 150}[static_cast<size_t>(fixture % 4)];
    g.Now = real(0, 100);
    // Trails: random wandering lines of several owners.
    for (int line = 0; line < 40; ++line) {
      double x = real(0, 608), y = real(0, 408), h = real(0, 360);
      uint8_t owner = static_cast<uint8_t>(setup.Random(13));
      for (int k = 0; k < 120; ++k) {
        h += real(-20, 20);
        double nx = x + 2 * std::cos(h * std::numbers::pi / 180);
        double ny = y + 2 * std::sin(h * std::numbers::pi / 180);
        PaintMove(g.ArenaMap, owner, x, y, nx, ny);
        x = nx;
        y = ny;
      }
    }
    TCerv& w = g.Worm(0);
    w.slot = 0;
    w.alive = 1;
    w.nextX = real(40, 568);
    w.nextY = real(40, 368);
    w.heading = real(0, 360);
    w.speed = g.GlobalSpeed * (fixture % 3 == 0 ? 2 : 1);
    w.virusImmune = fixture % 5 == 1;
    w.rocketImmune = fixture % 5 == 2;
    // Twelve worms' viruses: up to 780, many near the searching worm.
    for (int s = 0; s < kPlayerSlots; ++s) {
      TCerv& o = g.Worm(s);
      o.slot = static_cast<uint8_t>(s);
      if (s > 0) o.alive = setup.Random(6) != 0;
      for (size_t v = 0; v < kVirusCount; ++v) {
        o.virusActive[v] = setup.Random(3) != 0;
        bool near = setup.Random(2) == 0;
        o.virusX[v] = near ? w.nextX + real(-90, 90) : real(-10, 618);
        o.virusY[v] = near ? w.nextY + real(-90, 90) : real(-10, 418);
      }
      o.rocketActive = setup.Random(2);
      o.rocketFlying = setup.Random(3) != 0;
      o.atomicActive = setup.Random(8) == 0;
      // Other worms' protections hide points from them only, not from the searching worm.
      if (s > 0) {
        o.virusImmune = setup.Random(3) == 0;
        o.rocketImmune = setup.Random(3) == 0;
      }
      o.missileX = w.nextX + real(-150, 150);
      o.missileY = w.nextY + real(-150, 150);
    }
    std::vector<HazardPoint> bonuses;
    if (fixture % 2 == 1) {
      for (int b = 0; b < 6; ++b)
        bonuses.push_back({w.nextX + real(-60, 60), w.nextY + real(-60, 60), kBonusReach, true});
    }
    RefPlan previous;
    previous.count = 1;
    previous.steps[0] = {2, 0.45};
    w.bestPlan[0] = previous.steps[0];
    w.bestPlanCount = 1;
    g.matchRng.Seed(77 + static_cast<uint64_t>(fixture));

    uint64_t refNext = 0;
    RefChoice ref = RefSearch(g, w, g.matchRng, previous, bonuses, refNext);

    // One index of the frame's points, shared with every other planner.
    std::vector<HazardPoint> points;
    GatherHazards(g, points);
    hazardStops += points.size() > 100;
    points.insert(points.end(), bonuses.begin(), bonuses.end());
    HazardIndex index;
    index.Build(points);
    PlanSearch(g, w, index);
    bonusChoices += g.cpu.SearchLocked;

    SCOPED_TRACE(::testing::Message() << "fixture " << fixture);
    EXPECT_EQ(g.cpu.BestScore, ref.best);
    ASSERT_EQ(w.planCount, ref.plan.count);
    for (int i = 0; i < ref.plan.count; ++i) {
      EXPECT_EQ(w.plan[static_cast<size_t>(i)].action, ref.plan.steps[i].action) << i;
      EXPECT_EQ(w.plan[static_cast<size_t>(i)].duration, ref.plan.steps[i].duration) << i;
    }
    EXPECT_EQ(g.matchRng.Next(), refNext) << "the same chances drawn";

    // The running check of a plan gives the full simulation's answer, for plans of every
    // length and look-aheads short and long.
    for (int k = 0; k < 40; ++k) {
      BuildRandomPlan(g, w);
      w.planStart = g.Now;
      w.planStep = 0;
      const double lookAhead = (k % 4 + 1) * 0.3;
      const bool holds = PlanHolds(g, w, lookAhead, index);
      EXPECT_EQ(holds, SimulatePlan(g, w, lookAhead, index)) << "plan " << k;
    }
  }
  // The fixtures reach both ways of choosing.
  EXPECT_GT(bonusChoices, 0);
  EXPECT_GT(hazardStops, 0);
}

}  // namespace
}  // namespace tdx
