// The computer players: what they see, cpuiq0's random steering, cpuiq10's plan search,
// its running check and waiting, and the ability rules by kind.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "app/game.h"
#include "match/arena/arena.h"
#include "match/arena/worm.h"
#include "match/computer/computer.h"
#include "match/computer/hazards.h"
#include "match/computer/planner.h"
#include "menu/settings.h"

namespace tdx {
namespace {

// A fresh game at speed 50 in the playing phase; every slot off until a test starts one.
class ComputerTest : public ::testing::Test {
 protected:
  ComputerTest() {
    CreateWorms(g);
    for (auto& p : g.settings.players) p.controller = CtrlOff;
    g.GlobalSpeed = 50;
    g.phase = GamePhase::Playing;
    g.matchRng.Seed(11);
  }

  TCerv& Start(int slot, double x, double y, double heading, WormKind kind = WormKind::None,
               uint8_t controller = CtrlCpuIq10) {
    g.settings.players[slot].controller = controller;
    TCerv& w = g.Worm(slot);
    w.alive = 1;
    w.slot = static_cast<uint8_t>(slot);
    w.kind = kind;
    w.headX = w.nextX = x;
    w.headY = w.nextY = y;
    w.heading = heading;
    w.speed = g.GlobalSpeed;
    w.energy = kStartEnergy;
    return w;
  }

  void SetPlan(TCerv& w, std::vector<PlanStep> steps) {
    for (size_t i = 0; i < steps.size(); ++i) w.plan[i] = steps[i];
    w.planCount = static_cast<uint8_t>(steps.size());
    w.planStep = 0;
    w.planStart = g.Now;
  }

  // A wall of slot 12 across column x, rows y0..y1.
  void Wall(int x, int y0, int y1) {
    for (int y = y0; y <= y1; ++y) g.ArenaMap.At(x, y) = WallCell;
  }

  Game g;
};

// ------------------------------------------------------------ what the worm sees

TEST_F(ComputerTest, RayClearLooksAlongTheHeadingFromTheHeadBlockCorner) {
  // The ray of a head at (100, 100) heading 0 runs along the cells (99 + r, 99).
  struct Case {
    const char* what;
    double heading;
    int wallX, wallY;  // -1: no wall
    double from, to;
    bool clear;
  };
  const Case cases[] = {
      {"open arena", 0, -1, -1, 3, 16, true},
      {"cell at r = 5", 0, 104, 99, 3, 6, false},
      {"cell beyond the range", 0, 104, 99, 3, 4, true},
      {"cell before the range", 0, 104, 99, 6, 9, true},
      {"range of one cell on it", 0, 104, 99, 5, 5, false},
      {"from rounds half to even (4.5 -> 4)", 0, 103, 99, 4.5, 6, false},
      {"empty range", 0, 104, 99, 6, 3, true},
      {"cell one row off the ray", 0, 104, 100, 3, 6, true},
      {"downwards", 90, 99, 104, 3, 6, false},
      {"upwards", 270, 99, 94, 3, 6, false},
  };
  for (const Case& c : cases) {
    g.ArenaMap.Clear();
    TCerv& w = Start(0, 100, 100, c.heading);
    if (c.wallX >= 0) g.ArenaMap.At(c.wallX, c.wallY) = 3;
    EXPECT_EQ(RayClear(g, w, c.from, c.to), c.clear) << c.what;
  }
  // The arena's edge blocks the ray like a trail.
  TCerv& w = Start(0, 604, 100, 0);
  g.ArenaMap.Clear();
  EXPECT_TRUE(RayClear(g, w, 3, 4));   // cells 606 and 607
  EXPECT_FALSE(RayClear(g, w, 3, 5));  // 608 is outside
  TCerv& up = Start(1, 50, 3, 270);
  EXPECT_TRUE(RayClear(g, up, 1, 2));  // rows 1 and 0
  EXPECT_FALSE(RayClear(g, up, 1, 3));
}

TEST_F(ComputerTest, NearBorderMeasuresFromEveryEdge) {
  struct Case {
    double x, y, m;
    bool near;
  };
  const Case cases[] = {
      {300, 200, 3, false},  {2.9, 200, 3, true},  {3, 200, 3, false},
      {605.1, 200, 3, true}, {605, 200, 3, false}, {300, 2.5, 3, true},
      {300, 405.5, 3, true}, {300, 405, 3, false}, {300, 200, 205, true},
  };
  for (const Case& c : cases) {
    TCerv& w = Start(0, c.x, c.y, 0);
    EXPECT_EQ(NearBorder(w, c.m), c.near) << c.x << "," << c.y << " m " << c.m;
  }
}

TEST_F(ComputerTest, EnemiesAreOtherAliveWormsOfAnotherTeam) {
  Start(0, 100, 100, 0);
  TCerv& other = Start(1, 120, 100, 0);
  EXPECT_TRUE(EnemyInRange(g, 0, 1, 20));  // inclusive bounds
  EXPECT_TRUE(EnemyInRange(g, 0, 20, 30));
  EXPECT_FALSE(EnemyInRange(g, 0, 21, 30));
  EXPECT_FALSE(EnemyInRange(g, 0, 1, 19.9));
  g.match.TeamMode = 1;
  g.settings.players[0].team = g.settings.players[1].team = 2;
  EXPECT_FALSE(EnemyInRange(g, 0, 1, 20)) << "a team mate";
  g.settings.players[1].team = 3;
  EXPECT_TRUE(EnemyInRange(g, 0, 1, 20));
  other.alive = 0;
  EXPECT_FALSE(EnemyInRange(g, 0, 1, 20)) << "dead";
  EXPECT_FALSE(IsEnemy(g, 0, 0));
  EXPECT_FALSE(IsEnemy(g, 0, 12));
}

TEST_F(ComputerTest, EnemyInConeFoldsTheAngleAcrossZero) {
  struct Case {
    double heading;
    double ex, ey;  // enemy relative to the worm at (300, 200)
    bool inCone;    // EnemyInCone(1, 50, 10)
  };
  const Case cases[] = {
      {0, 30, 0, true},     {0, 30, 5, true},  // 9.46 degrees off
      {0, 30, 6, false},                       // 11.3 degrees off
      {0, -30, 0, false},                      // behind
      {355, 30, 1, true},                      // 355 against 1.9: 6.9 off across zero
      {5, 30, -3.6, false},                    // 5 against -6.8: 11.8 off
      {5, 30, -2, true},    {90, 0, 40, true}, {270, 0, 40, false}, {0, 60, 0, false},  // too far
      {0, 0.5, 0, false},                                                               // too near
  };
  for (const Case& c : cases) {
    Start(0, 300, 200, c.heading);
    Start(1, 300 + c.ex, 200 + c.ey, 0);
    EXPECT_EQ(EnemyInCone(g, 0, 1, 50, 10), c.inCone)
        << "heading " << c.heading << " enemy " << c.ex << "," << c.ey;
  }
}

TEST_F(ComputerTest, EnemyAlignedTakesTwoNarrowCrossArms) {
  struct Case {
    double dx, dy;
    bool aligned;
  };
  const Case cases[] = {{0, 19.9, true}, {4.9, -19, true}, {5, 10, false},
                        {19.9, 0, true}, {-19, 4.9, true}, {10, 5, false},
                        {0, 20, false},  {20, 0, false},   {10, 10, false}};
  for (const Case& c : cases) {
    Start(0, 300, 200, 0);
    Start(1, 300 + c.dx, 200 + c.dy, 0);
    EXPECT_EQ(EnemyAligned(g, 0), c.aligned) << c.dx << "," << c.dy;
  }
}

// ------------------------------------------------------------ cpuiq0

TEST_F(ComputerTest, RandomSteeringAlternatesShortTurnsAndStraightStretches) {
  TCerv& w = Start(0, 300, 200, 0, WormKind::None, CtrlCpuIq0);
  ResetComputerRound(g, w);
  // Runs of each control state, timed with a 1/128 s frame over 30 s at speed 50.
  const double dt = 1.0 / 128;
  std::vector<double> turns, straights, fires;
  double turnFrom = 0, fireFrom = 0;
  bool turning = false, firing = false;
  for (int k = 1; k < 30 * 128; ++k) {
    g.Now = k * dt;
    CpuRandomSteer(g, 0);
    ASSERT_FALSE(w.cpuKeys[0] && w.cpuKeys[1]);
    bool t = w.cpuKeys[0] || w.cpuKeys[1];
    if (t != turning) {
      (turning ? turns : straights).push_back(g.Now - turnFrom);
      turning = t;
      turnFrom = g.Now;
    }
    bool f = w.cpuKeys[2];
    if (f != firing) {
      if (firing) fires.push_back(g.Now - fireFrom);
      firing = f;
      fireFrom = g.Now;
    }
  }
  ASSERT_GT(turns.size(), 20u);
  ASSERT_GT(fires.size(), 20u);
  for (double d : turns) EXPECT_LE(d, 0.09 + 2 * dt);
  for (size_t i = 1; i < straights.size(); ++i) {
    EXPECT_GE(straights[i], 0.1);
    EXPECT_LE(straights[i], 0.99 + 2 * dt);
  }
  for (double d : fires) {
    EXPECT_GE(d, 0.1);
    EXPECT_LE(d, 0.29 + 2 * dt);
  }
}

// ------------------------------------------------------------ the simulation

TEST_F(ComputerTest, SimulationScoresTheTimeAPlanSurvives) {
  struct Case {
    const char* what;
    std::vector<PlanStep> plan;
    double lookAhead;
    double speed;
    bool wallAt340;
    bool survives;
    int ticks;  // PlanScore / 0.04
  };
  const Case cases[] = {
      {"ends after the look-ahead", {{0, 1.0}}, 0.7, 50, false, true, 25},
      {"ends before the look-ahead", {{0, 0.5}}, 0.7, 50, false, false, 13},
      {"meets a wall 40 ahead", {{0, 2.0}}, 1.0, 50, true, false, 19},
      {"wall after the look-ahead still ends the score", {{0, 2.0}}, 0.2, 50, true, true, 19},
      {"long plans score at most look-ahead + 10 s and a tick",
       {{0, 11}, {0, 1}},
       0.5,
       1,
       false,
       true,
       263},
      {"turning away from the wall", {{1, 0.24}, {0, 2.0}}, 0.7, 50, true, true, 56},
  };
  for (const Case& c : cases) {
    g.ArenaMap.Clear();
    if (c.wallAt340) Wall(340, 0, 250);
    TCerv& w = Start(0, 300, 200, 0);
    w.speed = c.speed;
    SetPlan(w, c.plan);
    EXPECT_EQ(SimulatePlan(g, w, c.lookAhead), c.survives) << c.what;
    EXPECT_NEAR(g.cpu.PlanScore, c.ticks * 0.04, 1e-9) << c.what;
    EXPECT_FALSE(g.cpu.BonusOnPath);
    // The running check of a plan answers the same, however far it looks.
    EXPECT_EQ(PlanHolds(g, w, c.lookAhead, PrepareHazards(g)), c.survives) << c.what;
  }
}

TEST_F(ComputerTest, SimulationIgnoresTheCellsOfTheFirstThreeTicks) {
  TCerv& w = Start(0, 300, 200, 0);
  SetPlan(w, {{0, 2.0}});
  Wall(302, 190, 210);  // reached on tick 1, under the fresh trail's cover
  Wall(303, 190, 210);
  SimulatePlan(g, w, 0.7);
  EXPECT_NEAR(g.cpu.PlanScore, 2.0, 1e-9);
  Wall(308, 190, 210);  // reached on tick 3
  SimulatePlan(g, w, 0.7);
  EXPECT_NEAR(g.cpu.PlanScore, 0.12, 1e-9);
}

TEST_F(ComputerTest, SimulationStopsAtHazardsTheWormIsNotProtectedFrom) {
  // The worm runs straight right from (300, 200) for 2 s at speed 50 (to x = 400).
  enum Kind { kVirus, kRocket, kExploding, kAtomic };
  struct Case {
    const char* what;
    Kind kind;
    int owner;
    bool ownerAlive;
    bool immune;
    bool stops;
  };
  const Case cases[] = {
      {"another worm's virus", kVirus, 1, true, false, true},
      {"own virus", kVirus, 0, true, false, false},
      {"a dead worm's virus", kVirus, 1, false, false, false},
      {"virus protection", kVirus, 1, true, true, false},
      {"another worm's rocket", kRocket, 1, true, false, true},
      {"own rocket", kRocket, 0, true, false, false},
      {"rocket protection", kRocket, 1, true, true, false},
      {"an exploding rocket", kExploding, 1, true, false, false},
      {"another worm's atomic bomb", kAtomic, 1, true, false, true},
      {"own atomic bomb", kAtomic, 0, true, false, true},
      {"a dead worm's atomic bomb", kAtomic, 1, false, false, false},
  };
  for (const Case& c : cases) {
    for (int s = 0; s < kPlayerSlots; ++s) g.Worm(s).alive = 0;
    TCerv& w = Start(0, 300, 200, 0);
    TCerv& other = Start(1, 100, 100, 0);
    TCerv& owner = g.Worm(c.owner);
    for (auto& a : owner.virusActive) a = 0;
    owner.rocketActive = owner.rocketFlying = owner.atomicActive = 0;
    switch (c.kind) {
      case kVirus:
        owner.virusActive[7] = 1;
        owner.virusX[7] = 360;
        owner.virusY[7] = 209;  // 9 off the path
        w.virusImmune = c.immune;
        break;
      case kRocket:
      case kExploding:
        owner.rocketActive = 1;
        owner.rocketFlying = c.kind == kRocket;
        owner.missileX = 360;
        owner.missileY = 239;
        w.rocketImmune = c.immune;
        break;
      case kAtomic:
        owner.atomicActive = 1;
        owner.missileX = 360;
        owner.missileY = 259;
        break;
    }
    if (!c.ownerAlive) other.alive = 0;
    SetPlan(w, {{0, 2.0}});
    SimulatePlan(g, w, 0.7);
    if (c.stops) {
      EXPECT_LT(g.cpu.PlanScore, 2.0) << c.what;
    } else {
      EXPECT_NEAR(g.cpu.PlanScore, 2.0, 1e-9) << c.what;
    }
    w.virusImmune = w.rocketImmune = 0;
    owner.virusActive[7] = owner.rocketActive = owner.atomicActive = 0;
  }
}

TEST_F(ComputerTest, BonusObjectsStopTheSimulationUnlessTheyAreTheWormsOwn) {
  // The worm runs straight right from (300, 200) for 2 s at speed 50 (to x = 400); each
  // object lies beside the path, inside its reach. Objects keep view pixels.
  enum Kind { kFireBall, kDigger, kBomb };
  struct Case {
    const char* what;
    Kind kind;
    int owner;
    double offPath;
    bool stops;
  } cases[] = {
      {"another worm's fire ball", kFireBall, 1, 11, true},
      {"own fire ball", kFireBall, 0, 11, false},
      {"a fire ball out of reach", kFireBall, 1, 13, false},
      {"another worm's digger", kDigger, 1, 11, true},
      {"own digger", kDigger, 0, 11, false},
      {"a bomb, whoever laid it", kBomb, -1, 23, true},
      {"a bomb out of reach", kBomb, -1, 25, false},
  };
  for (const Case& c : cases) {
    TCerv& w = Start(0, 300, 200, 0);
    Start(1, 100, 100, 0);
    BonusObject o;
    o.look.x = static_cast<float>(360 + kArenaViewX);
    o.look.y = static_cast<float>(200 + c.offPath + kArenaViewY);
    o.owner = c.owner;
    auto& lists = g.bonus.objects;
    (c.kind == kFireBall ? lists.BonusShots
     : c.kind == kDigger ? lists.Diggers
                         : lists.Bombs)
        .push_back(o);
    SetPlan(w, {{0, 2.0}});
    SimulatePlan(g, w, 0.7);
    if (c.stops) {
      EXPECT_LT(g.cpu.PlanScore, 2.0) << c.what;
    } else {
      EXPECT_NEAR(g.cpu.PlanScore, 2.0, 1e-9) << c.what;
    }
    lists.BonusShots.clear();
    lists.Diggers.clear();
    lists.Bombs.clear();
  }
}

TEST_F(ComputerTest, OnlyVisibleWantedBonusesOfPlacesInUseAreSought) {
  struct Case {
    const char* what;
    BonusKind kind;
    BonusState state;
    int slot;
    bool optionOn;
    bool sought;
  } cases[] = {
      {"a shown cherry", BonusKind::Cherry, BonusState::Shown, 0, true, true},
      {"a blinking heart", BonusKind::Heart, BonusState::Blinking9, 1, true, true},
      {"a lasting protection", BonusKind::NoVirus, BonusState::Lasting, 0, true, true},
      {"poison", BonusKind::Poison, BonusState::Shown, 0, true, false},
      {"faster", BonusKind::Up, BonusState::Shown, 0, true, false},
      {"slower", BonusKind::Down, BonusState::Shown, 0, true, false},
      {"still appearing", BonusKind::Cherry, BonusState::Appearing, 0, true, false},
      {"its last showing", BonusKind::Cherry, BonusState::LastShow, 0, true, false},
      {"a place not in use", BonusKind::Cherry, BonusState::Shown, 2, true, false},
      {"bonuses off", BonusKind::Cherry, BonusState::Shown, 0, false, false},
  };
  for (const Case& c : cases) {
    g.settings.game.bonus = c.optionOn;
    g.match.BonusSlotCount = 2;
    for (auto& b : g.bonus.slots) b.state = BonusState::Start;
    BonusSlot& b = g.bonus.slots[static_cast<size_t>(c.slot)];
    b.kind = c.kind;
    b.state = c.state;
    b.x = 123;
    b.y = 45;
    std::vector<HazardPoint> points;
    GatherWantedBonuses(g, points);
    ASSERT_EQ(points.size(), c.sought ? 1u : 0u) << c.what;
    if (c.sought) {
      EXPECT_TRUE(points[0].bonus) << c.what;
      EXPECT_EQ(points[0].x, 123);
      EXPECT_EQ(points[0].y, 45);
    }
  }
}

TEST_F(ComputerTest, ABonusOnThePathWinsTheSearchOverAnyScore) {
  TCerv& w = Start(0, 300, 200, 0);
  // A wanted bonus to the right of the start, reached only by plans that turn right.
  HazardIndex index;
  index.Build({{290, 228, kBonusReach, true}});
  SetPlan(w, {{0, 2.0}});
  SimulatePlan(g, w, 0.7, index);
  EXPECT_FALSE(g.cpu.BonusOnPath);
  SetPlan(w, {{2, 0.3}, {0, 1.0}});
  SimulatePlan(g, w, 0.7, index);
  EXPECT_TRUE(g.cpu.BonusOnPath);
  PlanSearch(g, w, index);
  EXPECT_TRUE(g.cpu.SearchLocked);
  SimulatePlan(g, w, 0.7, index);
  EXPECT_TRUE(g.cpu.BonusOnPath) << "the plan taken passes the bonus";
  // The first fixed plan past it is taken: right 0.3, then 0.8 straight (plan 2).
  ASSERT_EQ(w.planCount, 2);
  EXPECT_EQ(w.plan[0].action, 2);
  EXPECT_EQ(w.plan[0].duration, 0.3);
}

// ------------------------------------------------------------ the planner's states

TEST_F(ComputerTest, APlanEndingBeforeTheLookAheadIsReplacedInTheNextFrame) {
  TCerv& w = Start(0, 300, 200, 0);
  w.planState = 2;
  SetPlan(w, {{1, 0.3}});  // left for 0.3 s: shorter than 25 / S = 0.5 s
  w.cpuKeys = {1, 0, 0};
  w.cpuTurning = 1;
  CpuPlanner(g, 0);
  EXPECT_EQ(w.planState, 0);
  EXPECT_EQ(w.cpuKeys, (std::array<uint8_t, 3>{0, 0, 0}));
  EXPECT_FALSE(w.cpuTurning);
  EXPECT_STREQ(CpuDebugText(g), "RUNNING PROGRAM");
  // The next frame searches, runs the new plan and keeps it.
  g.Now += 0.02;
  ++g.frameNumber;
  CpuPlanner(g, 0);
  EXPECT_EQ(w.planState, 2);
  EXPECT_EQ(w.planStart, g.Now);
  EXPECT_GT(g.cpu.BestScore, 0.5);
  // A plan that still runs 0.6 s keeps running.
  SetPlan(w, {{0, 0.6}});
  CpuPlanner(g, 0);
  EXPECT_EQ(w.planState, 2);
  ++g.frameNumber;
  EXPECT_STREQ(CpuDebugText(g), "");
}

TEST_F(ComputerTest, ABoxedInWormFollowsItsLastBestPlanAndSearchesAgain) {
  TCerv& w = Start(0, 300, 200, 0);
  // Its own atomic bomb under it: every candidate stops on its first tick.
  w.atomicActive = 1;
  w.missileX = 300;
  w.missileY = 200;
  w.bestPlan[0] = {2, 0.77};
  w.bestPlanCount = 1;
  CpuPlanner(g, 0);
  EXPECT_EQ(g.cpu.BestScore, 0);
  EXPECT_EQ(w.planCount, 1);
  EXPECT_EQ(w.plan[0].action, 2);
  EXPECT_EQ(w.plan[0].duration, 0.77);
  EXPECT_EQ(w.planState, 0) << "the running check fails at once";
  EXPECT_EQ(w.cpuKeys, (std::array<uint8_t, 3>{0, 0, 0}));
}

TEST_F(ComputerTest, AKillerOrShooterDrivesStraightAfterFiring) {
  for (WormKind kind : {WormKind::Killer, WormKind::Shooter}) {
    g.Now = 0;
    TCerv& w = Start(0, 300, 200, 0, kind);
    TCerv& enemy = Start(1, 330, 200, 0);  // in the cone
    w.planState = 0;
    w.cpuPressed = 0;
    CpuPlanner(g, 0);
    EXPECT_EQ(w.cpuKeys, (std::array<uint8_t, 3>{0, 0, 1}));
    EXPECT_EQ(w.planState, 3);
    enemy.alive = 0;
    // 20 / S = 0.4 s of straight driving, fire released after one frame.
    for (int k = 1; k <= 25; ++k) {
      g.Now = k / 64.0;
      CpuPlanner(g, 0);
      ASSERT_EQ(w.planState, 3) << k;
      ASSERT_EQ(w.cpuKeys, (std::array<uint8_t, 3>{0, 0, 0})) << k;
    }
    g.Now = 26 / 64.0;  // past 0.4 s
    CpuPlanner(g, 0);
    EXPECT_EQ(w.planState, 0);
    g.Now = 27 / 64.0;
    CpuPlanner(g, 0);
    EXPECT_EQ(w.planState, 2);
  }
}

TEST_F(ComputerTest, AKillerFiringAtTheArenaEdgeKeepsSteering) {
  // No shot burns the edge: 20 units of straight driving from 12 units before it would
  // leave the arena, so the worm fires but goes on with its plan.
  // A trail ahead instead, 20 units of room behind it: the worm waits.
  struct Case {
    double x;
    int wall;  // column of a trail ahead, or 0
    int planState;
  };
  for (const Case& c : {Case{594, 0, 2}, Case{570, 580, 3}}) {
    g.Now = 0;
    g.ArenaMap.Clear();
    if (c.wall) Wall(c.wall, 150, 250);
    TCerv& w = Start(0, c.x, 200, 0, WormKind::Killer);
    w.planState = 0;
    w.cpuPressed = 0;
    CpuPlanner(g, 0);
    EXPECT_TRUE(w.cpuKeys[2]) << c.x;
    EXPECT_EQ(w.planState, c.planState) << c.x;
  }
}

TEST_F(ComputerTest, ProtectionsMakeThePlannerIgnoreRocketsAndViruses) {
  // A wall of other worms' viruses, or a rocket, straight ahead; free turns both ways.
  for (bool rocket : {false, true}) {
    for (bool immune : {false, true}) {
      g.matchRng.Seed(5);
      TCerv& w = Start(0, 300, 200, 0);
      TCerv& o = Start(1, 100, 100, 0);
      o.virusActive.fill(0);
      o.rocketActive = o.rocketFlying = 0;
      if (rocket) {
        o.rocketActive = o.rocketFlying = 1;
        o.missileX = 345;
        o.missileY = 200;
        w.rocketImmune = immune;
      } else {
        for (size_t v = 0; v < 30; ++v) {
          o.virusActive[v] = 1;
          o.virusX[v] = 330;
          o.virusY[v] = 140 + 4.0 * static_cast<double>(v);
        }
        w.virusImmune = immune;
      }
      w.planState = 0;
      ++g.frameNumber;  // each search in a frame of its own
      CpuPlanner(g, 0);
      double withHazard = g.cpu.BestScore;
      std::array<PlanStep, kPlanSteps> chosen = w.plan;
      // The same search with the hazard gone, in the next frame.
      o.virusActive.fill(0);
      o.rocketActive = 0;
      ++g.frameNumber;
      g.matchRng.Seed(5);
      w.planState = 0;
      CpuPlanner(g, 0);
      const char* what = rocket ? "rocket" : "viruses";
      if (immune) {
        EXPECT_EQ(withHazard, g.cpu.BestScore) << what;
        EXPECT_EQ(chosen[0].action, w.plan[0].action) << what;
        EXPECT_EQ(chosen[0].duration, w.plan[0].duration) << what;
      } else {
        EXPECT_LT(withHazard, g.cpu.BestScore) << what;
      }
      w.rocketImmune = w.virusImmune = 0;
    }
  }
}

// ------------------------------------------------------------ the ability rules

TEST_F(ComputerTest, AbilityRulesPressByKind) {
  // Frames of 1/64 s at speed 50; the worm at (300, 200) heading right, an enemy
  // `enemy` units straight ahead (0: none), a wall 5 ahead when `wall`.
  struct Case {
    WormKind kind;
    double enemy;
    bool wall;
    std::string fire;  // fire control per frame, from the first
  };
  auto ones = [](int n) { return std::string(static_cast<size_t>(n), '1'); };
  auto zeros = [](int n) { return std::string(static_cast<size_t>(n), '0'); };
  const Case cases[] = {
      {WormKind::None, 10, true, zeros(8)},
      {WormKind::Traveller, 10, true, zeros(8)},
      {WormKind::Warper, 10, true, zeros(8)},
      {WormKind::Multiplier, 0, false, "10101010"},
      {WormKind::Reproducer, 0, false, "10101010"},
      {WormKind::RocketLauncher, 0, false, "10101010"},
      {WormKind::Reverser, 0, true, "10101010"},
      {WormKind::Reverser, 10, false, zeros(8)},
      {WormKind::Killer, 30, false, "10101010"},
      {WormKind::Killer, 0, true, "10101010"},
      {WormKind::Killer, 60, false, zeros(8)},
      {WormKind::Shooter, 30, false, "10101010"},
      {WormKind::LaserShooter, 15, false, "10101010"},
      {WormKind::LaserShooter, 30, false, zeros(8)},
      {WormKind::LaserShooter, 0, true, "10101010"},
      {WormKind::VirusInfester, 20, false, "10101010"},
      {WormKind::VirusInfester, 10, true, zeros(8)},  // the wall lies inside the ray's gap
      {WormKind::VirusController, 30, false, "10101010"},
      {WormKind::VirusController, 20, false, zeros(8)},
      // Timed holds: fire stays down until the hold has passed, is up for one frame,
      // then goes down again while the enemy is still near.
      {WormKind::Speeder, 20, false, ones(33) + "01"},  // 25 / S = 0.5 s
      {WormKind::Speeder, 31, false, zeros(8)},
      {WormKind::Stopper, 15, false, ones(26) + "01"},    // 20 / S = 0.4 s
      {WormKind::WThicker, 20, false, ones(65) + "01"},   // 50 / S = 1 s
      {WormKind::WInfernal, 20, false, ones(52) + "01"},  // 40 / S = 0.8 s
      {WormKind::WInfernal, 0, true, ones(7) + "01"},     // 5 / S = 0.1 s
      {WormKind::WInfernal, 20, true, ones(7) + "01"},    // the wall's time replaces
      {WormKind::Pauser, 0, true, ones(100)},             // 400 / S = 8 s
      // No new press during a hold-off: one press, released, then nothing until it ends.
      {WormKind::AtomicBomber, 20, false, "1" + zeros(192) + "1"},  // 150 / S = 3 s
      {WormKind::AtomicBomber, 40, false, zeros(8)},
      {WormKind::Erector, 10, false, "1" + zeros(64) + "1"},  // 50 / S = 1 s
      {WormKind::Erector, 0, true, "1" + zeros(64) + "1"},
      {WormKind::Teleporter, 5, false, "1" + zeros(64) + "1"},
      {WormKind::Teleporter, 15, false, zeros(8)},
  };
  for (const Case& c : cases) {
    g.ArenaMap.Clear();
    for (int s = 0; s < kPlayerSlots; ++s) g.Worm(s).alive = 0;
    TCerv& w = Start(0, 300, 200, 0, c.kind);
    g.Now = 0;
    ResetComputerRound(g, w);
    if (c.enemy > 0) Start(1, 300 + c.enemy, 200, 180);
    if (c.wall) Wall(304, 180, 220);
    std::string fire;
    for (size_t k = 0; k < c.fire.size(); ++k) {
      g.Now = static_cast<double>(k) / 64;
      CpuAbilityRule(g, 0);
      fire += w.cpuKeys[2] ? '1' : '0';
    }
    EXPECT_EQ(fire, c.fire) << "kind " << static_cast<int>(c.kind) << " enemy " << c.enemy
                            << (c.wall ? " wall" : "");
  }
}

TEST_F(ComputerTest, AStopperHoldsWhenAnEnemyHasJustLaunchedAnAtomicBomb) {
  TCerv& w = Start(0, 300, 200, 0, WormKind::Stopper);
  TCerv& bomber = Start(1, 500, 300, 0);
  CpuAbilityRule(g, 0);
  EXPECT_FALSE(w.cpuKeys[2]);
  bomber.atomicLaunchedNow = 1;
  CpuAbilityRule(g, 0);
  EXPECT_TRUE(w.cpuKeys[2]);
  EXPECT_TRUE(w.cpuBusy);
  EXPECT_DOUBLE_EQ(w.cpuBusyUntil, g.Now + 0.4);
}

TEST_F(ComputerTest, TheRepellerHoldsThroughItsPhasesAndLetsGo) {
  TCerv& w = Start(0, 300, 200, 0, WormKind::Repeller);
  TCerv& enemy = Start(1, 330, 200, 0);
  CpuAbilityRule(g, 0);
  EXPECT_TRUE(w.cpuRepelBusy);
  EXPECT_EQ(w.cpuRepelPhase, 1);
  EXPECT_TRUE(w.cpuKeys[2]);
  enemy.alive = 0;
  // Phases 1 to 3 last at most 0.99 + 0.39 + 0.19 s at speed 50; fire stays down.
  int k = 1;
  for (; w.cpuRepelBusy && k < 200; ++k) {
    ASSERT_TRUE(w.cpuKeys[2]);
    g.Now = k / 64.0;
    CpuAbilityRule(g, 0);
  }
  EXPECT_FALSE(w.cpuRepelBusy);
  EXPECT_FALSE(w.cpuKeys[2]);
  EXPECT_LE(g.Now, 0.99 + 0.39 + 0.19 + 4 / 64.0);
}

// ------------------------------------------------------------ round reset

TEST_F(ComputerTest, RoundResetReleasesTheControlsAndStartsWithASearch) {
  TCerv& w = Start(0, 300, 200, 0, WormKind::Killer);
  w.planState = 3;
  w.cpuKeys = {1, 0, 1};
  w.cpuPressed = w.cpuHold = w.cpuBusy = w.cpuRepelBusy = w.atomicLaunchedNow = 1;
  g.Now = 4;
  ResetComputerRound(g, w);
  EXPECT_EQ(w.planState, 0);
  EXPECT_EQ(w.cpuKeys, (std::array<uint8_t, 3>{0, 0, 0}));
  EXPECT_FALSE(w.cpuPressed || w.cpuHold || w.cpuBusy || w.cpuRepelBusy || w.atomicLaunchedNow);
  EXPECT_EQ(w.cpuTurnChanged, 4);
  EXPECT_GE(w.cpuTurnInterval, 0.1);
  EXPECT_LE(w.cpuTurnInterval, 0.29 + 1e-9);
}

}  // namespace
}  // namespace tdx
