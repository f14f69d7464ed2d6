// The objects bonuses put into the arena: how they move, burn, kill and leave.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/bonus_fixture.h"

namespace tdx {
namespace {

using testing::BonusGame;

class BonusObjects : public BonusGame {
 protected:
  void SetUp() override {
    BonusGame::SetUp();
    // Every cell holds a trail of slot 3, so burning shows.
    g.ArenaMap.cells.fill(3);
  }
  bool Empty(int x, int y) const { return g.ArenaMap.At(x, y) == EmptyCell; }
  void Frame(void (*update)(Match&)) {
    Tick();
    update(g);
  }
  BonusObjectLists& Lists() { return g.bonus.objects; }
};

TEST_F(BonusObjects, FireBallBurnsKillsOthersAndSparesItsOwner) {
  TCerv& owner = Place(0, 201, 200);
  TCerv& near = Place(1, 206, 200);
  TCerv& far = Place(2, 200, 207.5);
  TCerv& cloned = Place(3, 400, 300);
  AddClone(cloned, 1, 199, 203);
  AddClone(cloned, 2, 199, 215);
  AddClone(owner, 0, 199, 199);
  AddFireBall(g, 216, 256, 1, 0, 0);
  Frame(UpdateFireBalls);
  const BonusObject& ball = Lists().BonusShots.at(0);
  EXPECT_NEAR(ball.look.x, 216.7, 1e-4) << "1.4 * S view pixels a second";
  EXPECT_EQ(ball.look.y, 256);
  EXPECT_TRUE(owner.alive);
  EXPECT_TRUE(owner.cloneAlive[0]);
  EXPECT_FALSE(near.alive);
  EXPECT_TRUE(far.alive);
  EXPECT_TRUE(cloned.alive);
  EXPECT_FALSE(cloned.cloneAlive[1]);
  EXPECT_TRUE(cloned.cloneAlive[2]);
  EXPECT_EQ(CountSound("death.mp3"), 1);
  // An 11 by 11 block around (200.7, 200): x 196..206, y 195..205.
  EXPECT_TRUE(Empty(196, 195));
  EXPECT_TRUE(Empty(206, 205));
  EXPECT_FALSE(Empty(195, 200));
  EXPECT_FALSE(Empty(207, 200));
  EXPECT_FALSE(Empty(200, 194));
  EXPECT_FALSE(Empty(200, 206));
  Frame(UpdateFireBalls);
  EXPECT_EQ(Lists().BonusShots.size(), 1u) << "the ball flies on after a hit";
}

TEST_F(BonusObjects, FireBallLeavesPastTheScreenEdge) {
  struct Case {
    float x, y;
    double dx, dy;
    bool removed;
  };
  const Case cases[] = {
      {-15.0f, 100, -1, 0, false}, {-15.9f, 100, -1, 0, true}, {655.9f, 100, 1, 0, true},
      {655.0f, 100, 1, 0, false},  {300, -15.9f, 0, -1, true}, {300, 495.9f, 0, 1, true},
      {300, 495.0f, 0, 1, false},
  };
  for (const Case& c : cases) {
    ClearBonusObjects(g);
    AddFireBall(g, c.x, c.y, c.dx, c.dy, 0);
    Frame(UpdateFireBalls);
    EXPECT_EQ(Lists().BonusShots.empty(), c.removed) << c.x << ", " << c.y;
  }
}

TEST_F(BonusObjects, ARemovalInTheListKeepsEveryOtherObjectUpdatedOnceInOrder) {
  AddFireBall(g, 300, 100, 1, 0, 0);
  AddFireBall(g, 655.9, 100, 1, 0, 0);  // leaves this frame
  AddFireBall(g, 655.9, 120, 1, 0, 0);  // and so does this one
  AddFireBall(g, 300, 300, 0, 1, 0);
  Frame(UpdateFireBalls);
  const auto& shots = Lists().BonusShots;
  ASSERT_EQ(shots.size(), 2u);
  EXPECT_NEAR(shots[0].look.x, 300.7, 1e-4);
  EXPECT_EQ(shots[0].look.y, 100);
  EXPECT_EQ(shots[1].look.x, 300);
  EXPECT_NEAR(shots[1].look.y, 300.7, 1e-4);
}

TEST_F(BonusObjects, DiggerCutsItsTunnelAndKillsAllButItsOwner) {
  TCerv& owner = Place(0, 85, 200);
  TCerv& hit = Place(1, 92.2, 200);
  TCerv& missed = Place(2, 84.3, 208.1);
  TCerv& cloned = Place(3, 400, 300);
  AddClone(cloned, 0, 80, 195);
  AddDigger(g, 100, 256, 0);
  Frame(UpdateDiggers);
  ASSERT_NEAR(Lists().Diggers.at(0).look.x, 100.3, 1e-4) << "0.6 * S view pixels a second";
  EXPECT_TRUE(owner.alive);
  EXPECT_FALSE(hit.alive);
  EXPECT_TRUE(missed.alive);
  EXPECT_FALSE(cloned.cloneAlive[0]);
  // x from round(74.3) to round(89.3), y from 189 to 206.
  EXPECT_TRUE(Empty(74, 189));
  EXPECT_TRUE(Empty(89, 206));
  EXPECT_FALSE(Empty(73, 200));
  EXPECT_FALSE(Empty(90, 200));
  EXPECT_FALSE(Empty(80, 188));
  EXPECT_FALSE(Empty(80, 207));
}

TEST_F(BonusObjects, DiggerTurnsItsDrillAndLeavesPastTheRightEdge) {
  AddDigger(g, 100, 256, 0);
  double start = g.Now;
  const char* expected[] = {"digger1", "digger2", "digger3", "digger2", "digger1"};
  for (int step = 0; step < 5; ++step) {
    g.Now = start + step * 0.125 - g.FrameDelta;
    Frame(UpdateDiggers);
    EXPECT_EQ(Lists().Diggers[0].look.MaterialName(), expected[step]) << step;
  }
  Lists().Diggers[0].look.x = 659.5f;
  Frame(UpdateDiggers);
  EXPECT_EQ(Lists().Diggers.size(), 1u);
  Frame(UpdateDiggers);
  EXPECT_TRUE(Lists().Diggers.empty());
}

TEST_F(BonusObjects, WallWalkerBuildsANeutralWallAlongItsRowOnly) {
  g.ArenaMap.Clear();
  AddXonixWalker(g, 0, 100);
  int frames = 0;
  while (!Lists().XonixWalkers.empty() && frames < 10000) Frame(UpdateWallWalkers), ++frames;
  EXPECT_NEAR(frames, 640 / 0.3, 2);
  for (int x = 0; x < kArenaWidth; ++x) {
    ASSERT_EQ(g.ArenaMap.At(x, 100), WallCell) << x;
    ASSERT_EQ(g.ArenaMap.At(x, 99), EmptyCell) << x;
    ASSERT_EQ(g.ArenaMap.At(x, 101), EmptyCell) << x;
  }
}

TEST_F(BonusObjects, WallWalkerNeverWritesPastTheLastColumn) {
  g.ArenaMap.Clear();
  g.FrameDelta = 0.5;  // a long frame: 15 columns in one step
  AddXonixWalker(g, 600, 200);
  Frame(UpdateWallWalkers);
  for (int x = 600; x < kArenaWidth; ++x) EXPECT_EQ(g.ArenaMap.At(x, 200), WallCell);
  // The cells just after the row's end are the start of the next row.
  for (int x = 0; x < 20; ++x) EXPECT_EQ(g.ArenaMap.At(x, 201), EmptyCell) << x;
  AddXonixWalker(g, 100, 407.6f);  // rounds to row 408: outside the grid, nothing written
  Frame(UpdateWallWalkers);
  for (int x = 0; x < kArenaWidth; ++x) ASSERT_EQ(g.ArenaMap.At(x, 407), EmptyCell);
}

// Fuse 100 / S seconds, then half a second of blast, whatever the speed.
TEST_F(BonusObjects, FuseAndExplosionTimingAtTwoSpeeds) {
  struct Case {
    double speed;
    double fuse;
  };
  for (const Case& c : {Case{50, 2.0}, Case{100, 1.0}}) {
    ClearBonusObjects(g);
    g.GlobalSpeed = c.speed;
    g.gates.BombSoundReady = true;
    size_t soundsBefore = Sounds().size();
    AddBomb(g, 316, 256);
    const double laid = g.Now;
    double exploded = -1, gone = -1;
    for (int f = 0; f < 1000 && gone < 0; ++f) {
      Frame(UpdateBombs);
      if (Lists().Bombs.empty()) {
        gone = g.Now;
      } else if (Lists().Bombs[0].stage == 1 && exploded < 0) {
        exploded = g.Now;
      }
    }
    SCOPED_TRACE(c.speed);
    EXPECT_DOUBLE_EQ(Lists().BombFuse, c.fuse);
    EXPECT_GT(exploded - laid, c.fuse);
    EXPECT_LE(exploded - laid, c.fuse + g.FrameDelta + 1e-9);
    EXPECT_GT(gone - exploded, kBombBlastSeconds);
    EXPECT_LE(gone - exploded, kBombBlastSeconds + g.FrameDelta + 1e-9);
    ASSERT_EQ(Sounds().size(), soundsBefore + 1);
    EXPECT_EQ(Sounds().back(), "bomb.mp3");
    EXPECT_EQ(g.events.raised.back().kind, MatchEvent::Kind::SoundPanned);
    EXPECT_EQ(g.events.raised.back().value, 0) << "the bomb sounds from the middle";
  }
}

TEST_F(BonusObjects, BombsGoingOffTogetherSoundOnce) {
  AddBomb(g, 100, 100);
  AddBomb(g, 200, 100);
  g.Now += 2.5;
  UpdateBombs(g);
  EXPECT_EQ(CountSound("bomb.mp3"), 1);
  AddBomb(g, 300, 100);
  g.Now += 2.1;  // the third one 2.1 s later: the gate has opened again
  UpdateBombs(g);
  EXPECT_EQ(CountSound("bomb.mp3"), 2);
}

TEST_F(BonusObjects, BurningBombIsAMineForEverybody) {
  TCerv& eater = Place(0, 205, 200);
  TCerv& outside = Place(1, 207.1, 200);
  TCerv& cloned = Place(2, 400, 300);
  AddClone(cloned, 4, 200, 194);
  AddBomb(g, 216, 256);  // centre (200, 200)
  Frame(UpdateBombs);
  EXPECT_FALSE(eater.alive);
  EXPECT_TRUE(outside.alive);
  EXPECT_FALSE(cloned.cloneAlive[4]);
  EXPECT_FALSE(Empty(200, 200)) << "the fuse burns nothing";
}

TEST_F(BonusObjects, BlastIsACrossOfFivePoints) {
  struct Case {
    double x, y;  // head relative to the centre
    bool dies;
  };
  const Case cases[] = {
      {0, 0, true},        {16 + 6.9, 0, true}, {-16 - 6.9, 0, true},
      {0, 16 + 6.9, true}, {0, -22.9, true},    {8, 8, false},
      {23.1, 0, false},    {-16, 7.1, false},   {-16, 6.9, true},
  };
  const double cx = 300, cy = 200;
  for (const Case& c : cases) {
    ClearBonusObjects(g);
    TCerv& w = Place(5, cx + c.x, cy + c.y);
    TCerv& m = Place(6, 50, 50);
    m.cloneAlive.fill(0);
    AddClone(m, 0, cx + c.x, cy + c.y);
    AddBomb(g, cx + 16, cy + 56);
    Lists().Bombs[0].stage = 1;
    Lists().Bombs[0].startTime = g.Now;
    Frame(UpdateBombs);
    EXPECT_EQ(!w.alive, c.dies) << c.x << ", " << c.y;
    EXPECT_EQ(!m.cloneAlive[0], c.dies) << c.x << ", " << c.y;
  }
  // Five 17 by 17 squares: 49 cells from end to end along each arm.
  for (int d = -24; d <= 24; ++d) {
    EXPECT_TRUE(Empty(300 + d, 200)) << d;
    EXPECT_TRUE(Empty(300, 200 + d)) << d;
  }
  EXPECT_FALSE(Empty(275, 200));
  EXPECT_FALSE(Empty(325, 200));
  EXPECT_FALSE(Empty(300, 175));
  EXPECT_FALSE(Empty(300, 225));
  EXPECT_FALSE(Empty(310, 210)) << "between the arms";
}

TEST_F(BonusObjects, ClearingTheListsEmptiesThemAll) {
  AddFireBall(g, 1, 2, 1, 0, 0);
  AddDigger(g, 1, 2, 0);
  AddXonixWalker(g, 1, 2);
  AddBomb(g, 1, 2);
  ClearBonusObjects(g);
  EXPECT_TRUE(Lists().BonusShots.empty());
  EXPECT_TRUE(Lists().Diggers.empty());
  EXPECT_TRUE(Lists().XonixWalkers.empty());
  EXPECT_TRUE(Lists().Bombs.empty());
}

}  // namespace
}  // namespace tdx
