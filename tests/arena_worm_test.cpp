// The worm record, the arena grid, the worm step, collisions and death.
#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

#include "app/game.h"
#include "display/match_view.h"
#include "match/arena/arena.h"
#include "match/arena/worm.h"
#include "match/arena/worm_step.h"
#include "menu/settings.h"

namespace tdx {
namespace {

using CellSet = std::set<std::pair<int, int>>;

CellSet PaintedCells(const ArenaGrid& a, uint8_t value) {
  CellSet out;
  for (int y = 0; y < kArenaHeight; ++y) {
    for (int x = 0; x < kArenaWidth; ++x) {
      if (a.At(x, y) == value) out.insert({x, y});
    }
  }
  return out;
}

// A fresh game with its thirteen worms; every slot off until a test starts a worm.
class WormTest : public ::testing::Test {
 protected:
  WormTest() {
    CreateWorms(g);
    for (auto& p : g.settings.players) p.controller = CtrlOff;
    g.GlobalSpeed = 50;
    g.phase = GamePhase::Playing;
  }

  TCerv& Start(int slot, double x, double y, double heading, WormKind kind = WormKind::None,
               uint8_t controller = CtrlHuman) {
    g.settings.players[slot].controller = controller;
    TCerv& w = g.Worm(slot);
    w.alive = 1;
    w.slot = static_cast<uint8_t>(slot);
    w.kind = kind;
    w.headX = w.nextX = w.tailX = x;
    w.headY = w.nextY = w.tailY = y;
    w.heading = heading;
    w.energy = kStartEnergy;
    return w;
  }

  // Steps the worm with a fixed frame time until it dies or the time runs out.
  double RunUntilDead(TCerv& w, double seconds, double dt = 0.01) {
    double t = 0;
    while (w.alive && t < seconds) {
      StepWorm(g, w, dt);
      t += dt;
    }
    return t;
  }

  Game g;
};

// ------------------------------------------------------------ record and screen objects

TEST_F(WormTest, StartUpGivesEveryWormItsSlotAndColours) {
  EXPECT_EQ(g.Worm(1).colour, 0x0000FFu);
  EXPECT_EQ(g.Worm(8).dimColour, 0x404040u);
  EXPECT_EQ(g.Worm(12).colour, 0xFFFFFFu);
  EXPECT_EQ(g.Worm(12).dimColour, 0x7F7F7Fu);
  EXPECT_EQ(g.Worm(12).slot, 12);
  EXPECT_EQ(g.Worm(11).virusColour, 'l');
  EXPECT_EQ(DimColour(0xFF123456u), 0x00091A2Bu);  // the top byte is dropped
}

TEST_F(WormTest, TheViewMakesEveryWormsSpritesAndFiresInDrawingOrder) {
  BuildMatchView(g);
  ASSERT_EQ(g.scene.Sprites().size(), 13u * 82u);
  ASSERT_EQ(g.scene.Fires().size(), 26u);
  const auto& sprites = g.scene.Sprites();
  // Worm 0's objects, in creation order.
  const WormSprites& w0 = g.view.worms[0];
  EXPECT_EQ(sprites[0].get(), w0.rip);
  EXPECT_EQ(sprites[1].get(), w0.fireball);
  EXPECT_EQ(sprites[2].get(), w0.carrier[0]);
  EXPECT_EQ(sprites[3].get(), w0.carrier[1]);
  EXPECT_EQ(sprites[4].get(), w0.missile);
  EXPECT_EQ(sprites[5].get(), w0.bullets[0]);
  EXPECT_EQ(sprites[12].get(), w0.laser[0]);
  EXPECT_EQ(sprites[16].get(), w0.viruses[0]);
  EXPECT_EQ(sprites[80].get(), w0.viruses[64]);
  EXPECT_EQ(sprites[81].get(), w0.teleport);
  EXPECT_EQ(sprites[82].get(), g.view.worms[1].rip);

  for (int i = 0; i < 2; ++i) {
    const FireEffect* f = w0.fires[static_cast<size_t>(i)];
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->carrier, w0.carrier[static_cast<size_t>(i)]);
    EXPECT_TRUE(f->disabled);
    EXPECT_EQ(f->maxParticles, 48);
    EXPECT_FLOAT_EQ(f->fireBurst, 8.0f);
    EXPECT_FLOAT_EQ(f->fireRadius, 5.0f);
    EXPECT_FLOAT_EQ(f->inner.g, 1.0f);
  }
  EXPECT_FLOAT_EQ(w0.fires[0]->outer.r, 1.0f);  // yellow into red
  EXPECT_FLOAT_EQ(w0.fires[1]->outer.r, 0.0f);  // yellow into green
  EXPECT_FLOAT_EQ(w0.fires[1]->outer.g, 1.0f);
}

TEST_F(WormTest, TheViewPlacesEachSpriteFromItsLookEveryFrame) {
  BuildMatchView(g);
  TCerv& w = g.Worm(3);
  w.fireballLook.SetMaterial(LibGlmlshots, "shot");
  w.fireballLook.x = 120.5f;
  w.fireballLook.y = 99;
  w.fireballLook.width = w.fireballLook.height = 18;
  w.fireballLook.visible = true;
  w.infernalOn = 1;
  w.infernalCarrier[1].x = 40;
  ShowMatch(g);
  const WormSprites& ws = g.view.worms[3];
  EXPECT_FLOAT_EQ(ws.fireball->x, 120.5f);
  EXPECT_FLOAT_EQ(ws.fireball->y, 99);
  EXPECT_FLOAT_EQ(ws.fireball->width, 18);
  EXPECT_TRUE(ws.fireball->visible);
  EXPECT_EQ(ws.fireball->MaterialName(), "shot");
  EXPECT_EQ(ws.fireball->Library(), &g.scene.Library(LibGlmlshots));
  EXPECT_FALSE(ws.fires[0]->disabled);
  EXPECT_FLOAT_EQ(ws.carrier[1]->x, 40);

  // The next frame shows what the match says now; nothing is kept from the last.
  w.fireballLook.visible = false;
  w.fireballLook.SetMaterialName("rip");
  w.infernalOn = 0;
  ShowMatch(g);
  EXPECT_FALSE(ws.fireball->visible);
  EXPECT_EQ(ws.fireball->MaterialName(), "rip");
  EXPECT_TRUE(ws.fires[0]->disabled);
  EXPECT_TRUE(ws.fires[1]->disabled);
}

TEST_F(WormTest, RoundResetHidesShotsAndRestartsTheComputerTimers) {
  g.Now = 12.5;
  TCerv& w = g.Worm(3);
  w.bulletActive.fill(1);
  for (Look& s : w.bulletLook) s.visible = true;
  w.teleportLook.visible = true;
  w.teleportAnimActive = w.rocketImmune = w.virusImmune = w.burstActive = 1;
  w.cpuKeys = {1, 1, 1};
  w.cpuPrevKeys = {1, 0, 1};
  w.cpuTurning = w.cpuFiring = w.cpuBusy = w.cpuHold = w.cpuPressed = w.cpuRepelBusy = 1;
  w.planState = 2;
  ResetWormRound(g, 3);
  for (int i = 0; i < kBulletCount; ++i) {
    EXPECT_FALSE(w.bulletActive[static_cast<size_t>(i)]);
    EXPECT_FALSE(w.bulletLook[static_cast<size_t>(i)].visible);
  }
  EXPECT_FALSE(w.teleportLook.visible);
  EXPECT_FALSE(w.teleportAnimActive || w.rocketImmune || w.virusImmune || w.burstActive);
  EXPECT_EQ(w.cpuKeys, (std::array<uint8_t, 3>{0, 0, 0}));
  EXPECT_EQ(w.cpuPrevKeys, (std::array<uint8_t, 3>{0, 0, 0}));
  EXPECT_FALSE(w.cpuTurning || w.cpuFiring || w.cpuBusy || w.cpuHold || w.cpuPressed ||
               w.cpuRepelBusy);
  EXPECT_EQ(w.planState, 0);
  EXPECT_EQ(w.cpuTurnChanged, 12.5);
  EXPECT_EQ(w.cpuFireChanged, 12.5);
  // At speed 50: Random(20) / 100 + 0.1, that is 0.1 to 0.29 s.
  for (double interval : {w.cpuTurnInterval, w.cpuFireInterval}) {
    EXPECT_GE(interval, 0.1 - 1e-12);
    EXPECT_LE(interval, 0.29 + 1e-12);
  }
}

// ------------------------------------------------------------ the grid

TEST(ArenaGrid, ClampCellRoundsHalvesToEvenAndHoldsPointsInside) {
  struct Case {
    double x, y;
    Cell want;
  } cases[] = {
      {607.6, 10.2, {607, 10}},  {-0.6, 407.5, {0, 407}},     {2.5, 3.5, {2, 4}},
      {1e300, -1e300, {607, 0}}, {std::nan(""), 5.5, {0, 6}},
  };
  for (const Case& c : cases) EXPECT_EQ(ClampCell(c.x, c.y), c.want) << c.x << ", " << c.y;
}

TEST(ArenaGrid, PenStampsAtHalfUnitStepsAndAShortMoveOnlyAtItsEnd) {
  struct Case {
    double x0, y0, x1, y1;
    std::vector<double> fractions;  // where along the move the 2 by 2 pen lands
  } cases[] = {
      {100.0, 50.0, 100.8, 50.0, {1.0}},                       // length 0.8: only the new position
      {30.0, 40.0, 30.96, 41.28, {0, 0.3125, 0.625, 0.9375}},  // length 1.6: Round(3.2) + 1 stamps
      {10.9, 50.0, 12.64, 50.0, {0, 1 / 3.48, 2 / 3.48, 3 / 3.48}},  // the last stamp falls short
  };
  for (const Case& c : cases) {
    ArenaGrid a;
    PaintMove(a, 4, c.x0, c.y0, c.x1, c.y1);
    ArenaGrid want;
    for (double f : c.fractions) Stamp(want, 4, c.x0 + (c.x1 - c.x0) * f, c.y0 + (c.y1 - c.y0) * f);
    EXPECT_EQ(PaintedCells(a, 4), PaintedCells(want, 4)) << c.x0 << " -> " << c.x1;
  }
  // The short move leaves its start block alone; the 1.74 move never reaches column 13.
  ArenaGrid a;
  PaintMove(a, 4, 100.0, 50.0, 100.8, 50.0);
  EXPECT_EQ(PaintedCells(a, 4), (CellSet{{100, 49}, {101, 49}, {100, 50}, {101, 50}}));
  a.Clear();
  PaintMove(a, 4, 10.9, 50.0, 12.64, 50.0);
  EXPECT_EQ(a.At(13, 50), EmptyCell);
  EXPECT_EQ(a.At(12, 50), 4);
}

TEST(ArenaGrid, ErectorLineWritesThreeFlatIndicesPerPoint) {
  ArenaGrid a;
  PaintLine(a, 5, 10.0, 10.0, 13.0, 10.0);
  CellSet want;
  for (int x = 9; x <= 13; ++x) want.insert({x, 10});
  for (int x = 9; x <= 12; ++x) want.insert({x, 9});
  EXPECT_EQ(PaintedCells(a, 5), want);

  a.Clear();
  PaintLine(a, 5, 20.0, 30.0, 20.0, 30.0);  // a line of no length paints nothing
  EXPECT_TRUE(PaintedCells(a, 5).empty());

  // At x = 0 the left neighbours fall on the last column of the rows above.
  a.Clear();
  PaintLine(a, 5, 0.0, 5.0, 0.0, 6.0);
  EXPECT_EQ(PaintedCells(a, 5), (CellSet{{0, 5}, {0, 6}, {607, 4}, {607, 5}, {607, 3}}));

  // Indices before the grid's start are skipped.
  a.Clear();
  PaintLine(a, 5, 0.0, 0.0, 0.0, 1.0);
  EXPECT_EQ(PaintedCells(a, 5), (CellSet{{0, 0}, {0, 1}, {607, 0}}));
}

TEST(ArenaGrid, BurnSquareEmptiesTheRoundedBlockInsideTheGridOnly) {
  struct Case {
    const char* name;
    double x, y, halfW, halfH;
    int wantX0, wantX1, wantY0, wantY1;  // -1: nothing burnt
  } cases[] = {
      {"11 by 11 block", 100, 100, 5, 5, 95, 105, 95, 105},
      {"halves round to even", 10.5, 20.5, 4, 4, 6, 14, 16, 24},
      {"rows of exactly eight", 100.5, 100, 3.5, 2, 97, 104, 98, 102},
      {"rows of seventeen", 100, 100, 8, 8, 92, 108, 92, 108},
      {"cut at the top-left corner", 1, 2, 5, 5, 0, 6, 0, 7},
      {"cut at the bottom-right corner", 606, 406, 4, 4, 602, 607, 402, 407},
      {"wholly outside", -50, 200, 5, 5, -1, -1, -1, -1},
      {"far off", 1e300, -1e300, 5, 5, -1, -1, -1, -1},
      {"not a number", std::nan(""), 10, 5, 5, -1, -1, -1, -1},
  };
  for (const Case& c : cases) {
    ArenaGrid a;
    a.cells.fill(3);
    BurnSquare(a, c.x, c.y, c.halfW, c.halfH);
    int burnt = 0, x0 = 9999, x1 = -1, y0 = 9999, y1 = -1;
    for (int y = 0; y < kArenaHeight; ++y) {
      for (int x = 0; x < kArenaWidth; ++x) {
        if (a.At(x, y) != EmptyCell) continue;
        ++burnt;
        x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
      }
    }
    if (c.wantX0 < 0) {
      EXPECT_EQ(burnt, 0) << c.name;
      continue;
    }
    EXPECT_EQ(burnt, (c.wantX1 - c.wantX0 + 1) * (c.wantY1 - c.wantY0 + 1)) << c.name;
    EXPECT_EQ(x0, c.wantX0) << c.name;
    EXPECT_EQ(x1, c.wantX1) << c.name;
    EXPECT_EQ(y0, c.wantY0) << c.name;
    EXPECT_EQ(y1, c.wantY1) << c.name;
  }
}

TEST_F(WormTest, ErectorLineRunsFromTheNextHeadToTheStartPoint) {
  TCerv& w = Start(2, 10.0, 10.0, 0);
  w.nextX = 13.0;
  w.nextY = 10.0;
  PaintLine(g, 2);
  EXPECT_EQ(PaintedCells(g.ArenaMap, 2).size(), 9u);
}

// ------------------------------------------------------------ the step

TEST_F(WormTest, HeadingWrapsOnceEachWayAndBothKeysCancel) {
  struct Case {
    double heading;
    bool left, right;
    double want;
  } cases[] = {
      {359, false, true, 2}, {1, true, false, 358}, {360, false, false, 360},
      {90, true, true, 90},  {0, false, false, 0},
  };
  g.GlobalSpeed = 0;
  for (const Case& c : cases) {
    TCerv& w = Start(0, 300, 200, c.heading);
    w.turnLeft = c.left;
    w.turnRight = c.right;
    StepWorm(g, w, 3.0 / kTurnRate);  // three degrees
    EXPECT_NEAR(w.heading, c.want, 1e-9) << c.heading;
  }
}

TEST_F(WormTest, SpeedFreezeAndPause) {
  struct Case {
    const char* name = "";
    double dt = 0;
    WormKind kind = WormKind::None;
    uint8_t stopped = 0, stoppedBy = 0, fireHeld = 0;
    double energy = kStartEnergy;
    uint8_t bonus = 0;
    double bonusStart = 0;
    double wantDistance = 0;
    bool wantBonusAfter = false;
  } cases[] = {
      {.name = "normal", .dt = 0.02, .wantDistance = 1.0},
      {.name = "a stalled frame counts as 0.01 s", .dt = 0.25, .wantDistance = 0.5},
      {.name = "frozen by another stopper",
       .dt = 0.02,
       .stopped = 1,
       .stoppedBy = 3,
       .wantDistance = 0},
      {.name = "never by its own stopper",
       .dt = 0.02,
       .stopped = 1,
       .stoppedBy = 0,
       .wantDistance = 1.0},
      {.name = "pauser holding",
       .dt = 0.02,
       .kind = WormKind::Pauser,
       .fireHeld = 1,
       .wantDistance = 0},
      {.name = "pauser out of energy",
       .dt = 0.02,
       .kind = WormKind::Pauser,
       .fireHeld = 1,
       .energy = 1,
       .wantDistance = 1.0},
      {.name = "speed bonus",
       .dt = 0.02,
       .bonus = 1,
       .bonusStart = 8,
       .wantDistance = 2.0,
       .wantBonusAfter = true},
      {.name = "speed bonus in its last frame",
       .dt = 0.02,
       .bonus = 1,
       .bonusStart = 4.9,
       .wantDistance = 2.0},
  };
  g.Now = 10;
  for (const Case& c : cases) {
    g.ArenaMap.Clear();
    TCerv& w = Start(0, 300, 200, 0, c.kind);
    w.stopped = c.stopped;
    w.stoppedBy = c.stoppedBy;
    w.fireHeld = c.fireHeld;
    w.energy = c.energy;
    w.turnLeft = 1;  // a freeze also drops the steering
    w.speedBonusActive = c.bonus;
    w.speedBonusStart = c.bonusStart;
    w.speedBonusFactor = 2;
    w.heading = 0;
    bool turns = c.wantDistance > 0;
    if (turns) w.turnLeft = 0;
    StepWorm(g, w, c.dt);
    EXPECT_NEAR(w.headX - 300, c.wantDistance, 1e-9) << c.name;
    EXPECT_EQ(w.speedBonusActive, c.wantBonusAfter) << c.name;
    if (!turns) {
      EXPECT_EQ(w.heading, 0) << c.name;
      EXPECT_FALSE(w.turnLeft) << c.name;
    }
    EXPECT_TRUE(w.alive) << c.name;
  }
}

TEST_F(WormTest, StraightRunSurvivesButATightTurnIntoItsOwnTrailKills) {
  TCerv& straight = Start(0, 50, 100, 0);
  RunUntilDead(straight, 8.0, 0.02);  // 400 units along a free row
  EXPECT_TRUE(straight.alive);
  EXPECT_GT(straight.headX, 440);

  // Turning at full lock circles back into the fresh trail within a turn: with no other
  // trail in the arena, only the look-ahead probe can see it.
  TCerv& circler = Start(1, 300, 300, 0);
  circler.turnRight = 1;
  double t = RunUntilDead(circler, 3.0, 0.02);
  EXPECT_FALSE(circler.alive);
  EXPECT_LT(t, 1.2);
  for (int y = 250; y < 350; ++y) {
    for (int x = 250; x < 350; ++x) {
      uint8_t v = g.ArenaMap.At(x, y);
      ASSERT_TRUE(v == EmptyCell || v == 1);
    }
  }
}

TEST_F(WormTest, TrailsAndWallsKillUnlessATravellerPassesThrough) {
  struct Case {
    const char* name;
    WormKind kind;
    uint8_t fireHeld;
    double energy;
    uint8_t wall;  // the value across the worm's path
    bool wantAlive;
  } cases[] = {
      {"another worm's trail", WormKind::None, 0, 81, 1, false},
      {"a neutral wall", WormKind::None, 0, 81, WallCell, false},
      {"a neutral wall, fire held by a non-traveller", WormKind::Repeller, 1, 81, WallCell, false},
      {"traveller through a wall", WormKind::Traveller, 1, 81, WallCell, true},
      {"traveller through a trail", WormKind::Traveller, 1, 81, 1, true},
      {"traveller through its own trail", WormKind::Traveller, 1, 81, 0, true},
      {"traveller without energy", WormKind::Traveller, 1, 1, WallCell, false},
      {"traveller not holding fire", WormKind::Traveller, 0, 81, 1, false},
  };
  for (const Case& c : cases) {
    g.ArenaMap.Clear();
    for (int y = 0; y < kArenaHeight; ++y) {
      g.ArenaMap.At(200, y) = c.wall;
      g.ArenaMap.At(201, y) = c.wall;
    }
    TCerv& w = Start(0, 180, 100, 0, c.kind);
    w.fireHeld = c.fireHeld;
    w.energy = c.energy;
    double lastHeadX = w.headX;
    while (w.alive && w.headX < 220) {
      lastHeadX = w.headX;
      StepWorm(g, w, 0.02);
    }
    EXPECT_EQ(w.alive != 0, c.wantAlive) << c.name;
    if (!c.wantAlive) {
      // Death keeps the head where the fatal step began and paints nothing of that move.
      EXPECT_EQ(w.headX, lastHeadX) << c.name;
      EXPECT_LT(w.headX, 200) << c.name;
      EXPECT_EQ(g.ArenaMap.At(static_cast<int>(RoundEven(w.headX)) + 1, 100), c.wall) << c.name;
      EXPECT_TRUE(w.ripLook.visible) << c.name;
    }
  }
}

TEST_F(WormTest, ComputerTravellerSwitchesItsAbilityOnWhenAProbeHits) {
  for (int y = 0; y < kArenaHeight; ++y) g.ArenaMap.At(200, y) = 1;
  TCerv& w = Start(0, 190, 100, 0, WormKind::Traveller, CtrlCpuIq10);
  while (w.alive && w.headX < 205) {
    w.fireHeld = 0;  // as if the computer released it every frame
    StepWorm(g, w, 0.02);
  }
  EXPECT_TRUE(w.alive);
  EXPECT_LT(w.energy, kStartEnergy);  // paid 50 * dt per automatic switch
}

TEST_F(WormTest, EdgeAndWarperWrapThresholds) {
  struct Case {
    const char* name;
    WormKind kind;
    uint8_t fireHeld;
    double energy;
    uint8_t controller;
    double x, y;  // where this step's move ends (the worm stands still)
    bool wantAlive;
    double wantX, wantY;
  } cases[] = {
      {"inside at x 1", WormKind::None, 0, 81, CtrlHuman, 1.4, 100, true, 1.4, 100},
      {"out at x 0", WormKind::None, 0, 81, CtrlHuman, 0.5, 100, false, 0.5, 100},
      {"inside at x 606", WormKind::None, 0, 81, CtrlHuman, 606.4, 100, true, 606.4, 100},
      {"inside at 606.5 (halves go to even)", WormKind::None, 0, 81, CtrlHuman, 606.5, 100, true,
       606.5, 100},
      {"out at x 607", WormKind::None, 0, 81, CtrlHuman, 606.6, 100, false, 606.6, 100},
      {"out at y 407", WormKind::None, 0, 81, CtrlHuman, 300, 406.6, false, 300, 406.6},
      {"warper at x 2 stays", WormKind::Warper, 1, 81, CtrlHuman, 2.5, 100, true, 2.5, 100},
      {"warper at x 1 wraps", WormKind::Warper, 1, 81, CtrlHuman, 1.45, 100, true, 605, 100},
      {"warper at x 0 wraps", WormKind::Warper, 1, 81, CtrlHuman, 0.4, 100, true, 605, 100},
      {"warper at x 605 stays", WormKind::Warper, 1, 81, CtrlHuman, 605.49, 100, true, 605.49, 100},
      {"warper at x 606 wraps", WormKind::Warper, 1, 81, CtrlHuman, 605.5, 100, true, 2, 100},
      {"warper at y 1 wraps", WormKind::Warper, 1, 81, CtrlHuman, 300, 1.2, true, 300, 405},
      {"warper at y 406 wraps", WormKind::Warper, 1, 81, CtrlHuman, 300, 406.2, true, 300, 2},
      {"warper in a corner wraps both ways", WormKind::Warper, 1, 81, CtrlHuman, 0.6, 406.7, true,
       605, 2},
      {"warper without energy", WormKind::Warper, 1, 1, CtrlHuman, 0.4, 100, false, 0.4, 100},
      {"warper not holding fire", WormKind::Warper, 0, 81, CtrlHuman, 0.4, 100, false, 0.4, 100},
      {"computer warper switches on by itself", WormKind::Warper, 0, 81, CtrlCpuIq10, 0.4, 100,
       true, 605, 100},
      {"computer warper that cannot pay", WormKind::Warper, 0, 1.2, CtrlCpuIq10, 0.4, 100, false,
       0.4, 100},
  };
  g.GlobalSpeed = 0;
  for (const Case& c : cases) {
    g.ArenaMap.Clear();
    TCerv& w = Start(0, c.x, c.y, 0, c.kind, c.controller);
    w.fireHeld = c.fireHeld;
    w.energy = c.energy;
    StepWorm(g, w, 0.01);
    EXPECT_EQ(w.alive != 0, c.wantAlive) << c.name;
    EXPECT_DOUBLE_EQ(w.headX, c.wantX) << c.name;
    EXPECT_DOUBLE_EQ(w.headY, c.wantY) << c.name;
    EXPECT_EQ(PaintedCells(g.ArenaMap, 0).empty(), !c.wantAlive) << c.name;
  }
}

// ------------------------------------------------------------ death and extra heads

TEST_F(WormTest, ExtraHeadsTakeOverLowestFirstThenTheWormDies) {
  TCerv& w = Start(4, 100, 100, 0, WormKind::Multiplier);
  w.infernalOn = 1;
  w.teleportLook.visible = true;
  w.teleportAnimActive = 1;
  w.ripLook.visible = false;
  w.cloneAlive = {0, 1, 0, 1, 0};
  w.cloneX = {0, 210, 0, 230, 0};
  w.cloneY = {0, 110, 0, 130, 0};
  w.cloneHeading = {0, 45, 0, 135, 0};

  KillWorm(g, w);
  EXPECT_TRUE(w.alive);
  EXPECT_EQ(w.headX, 210);
  EXPECT_EQ(w.nextY, 110);
  EXPECT_EQ(w.heading, 45);
  EXPECT_FALSE(w.cloneAlive[1]);
  EXPECT_FALSE(w.ripLook.visible);

  KillWorm(g, w);
  EXPECT_TRUE(w.alive);
  EXPECT_EQ(w.headX, 230);
  EXPECT_EQ(w.headY, 130);
  EXPECT_EQ(w.heading, 135);

  w.ripTime = 0.7;
  KillWorm(g, w);
  EXPECT_FALSE(w.alive);
  EXPECT_TRUE(w.ripLook.visible);
  EXPECT_FLOAT_EQ(w.ripLook.x, 246);
  EXPECT_FLOAT_EQ(w.ripLook.y, 186);
  EXPECT_EQ(w.ripTime, 0);
  EXPECT_FALSE(w.infernalOn);
  EXPECT_FALSE(w.teleportLook.visible);
  EXPECT_FALSE(w.teleportAnimActive);

  // Other kinds never take over, whatever their extra-head flags say.
  TCerv& t = Start(5, 100, 100, 0, WormKind::Traveller);
  t.cloneAlive[0] = 1;
  KillWorm(g, t);
  EXPECT_FALSE(t.alive);
}

TEST_F(WormTest, ExtraHeadsVanishAtTheEdgeButPaintTheirLastPieceIntoATrail) {
  TCerv& w = Start(6, 300, 200, 0, WormKind::Reproducer);
  for (int y = 0; y < kArenaHeight; ++y) g.ArenaMap.At(150, y) = 1;
  // Extra head 0 runs off the top edge, extra head 1 into worm 1's trail.
  w.cloneAlive = {1, 1, 0, 0, 0};
  w.cloneX = {400, 149.2, 0, 0, 0};
  w.cloneY = {1.2, 100, 0, 0, 0};
  w.cloneHeading = {270, 0, 0, 0, 0};
  w.clonePrevX = w.cloneX;
  w.clonePrevY = w.cloneY;
  StepWorm(g, w, 0.02);
  EXPECT_TRUE(w.alive);
  EXPECT_FALSE(w.cloneAlive[0]);
  EXPECT_FALSE(w.cloneAlive[1]);
  EXPECT_EQ(g.ArenaMap.At(400, 0), EmptyCell);  // no last piece at the edge
  EXPECT_EQ(g.ArenaMap.At(149, 99), 6);         // the crashed one's last piece
  EXPECT_DOUBLE_EQ(w.clonePrevX[1], w.cloneX[1]);

  // A head that dies in the same frame does not stop its extra heads.
  g.ArenaMap.Clear();
  TCerv& m = Start(7, 0.4, 200, 180, WormKind::None);
  m.cloneAlive = {1, 0, 0, 0, 0};
  m.cloneX = {300, 0, 0, 0, 0};
  m.cloneY = {300, 0, 0, 0, 0};
  m.clonePrevX = m.cloneX;
  m.clonePrevY = m.cloneY;
  StepWorm(g, m, 0.02);
  EXPECT_FALSE(m.alive);
  EXPECT_TRUE(m.cloneAlive[0]);
  EXPECT_EQ(g.ArenaMap.At(300, 300), 7);
}

}  // namespace
}  // namespace tdx
