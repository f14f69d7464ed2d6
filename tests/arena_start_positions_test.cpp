// Start points, headings and the place shuffle.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "app/game.h"
#include "match/arena/start_positions.h"
#include "match/arena/worm.h"
#include "menu/settings.h"

namespace tdx {
namespace {

TEST(StartPositions, HeadingTowardsCoversEveryQuadrant) {
  struct Case {
    double fx, fy, tx, ty, want;
  } cases[] = {
      {5, 5, 5, 5, 0},    {0, 0, 0, 3, 90},    {0, 0, 0, -3, 270},
      {0, 0, 3, 0, 0},    {0, 0, -3, 0, 180},  {0, 0, 1, 1, 45},
      {0, 0, -1, 1, 135}, {0, 0, -1, -1, 225}, {0, 0, 1, -1, -45},
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(HeadingTowards(c.fx, c.fy, c.tx, c.ty), c.want, 1e-9)
        << "(" << c.fx << ", " << c.fy << ") -> (" << c.tx << ", " << c.ty << ")";
  }
}

TEST(StartPositions, RulesGiveTheirWorkedPlaces) {
  struct Case {
    const char* name;
    StartPositionRule rule;
    int count, place;
    double x, y, heading;  // a heading below 0 is a random one
  } cases[] = {
      {"into the middle, 4 worms, place 0", StartPositionRule::IntoTheMiddle, 4, 0, 577.6, 204,
       180},
      {"into the middle, 4 worms, place 1", StartPositionRule::IntoTheMiddle, 4, 1, 304, 387.6,
       270},
      {"away from the middle, 4 worms, place 0", StartPositionRule::AwayFromTheMiddle, 4, 0, 364.8,
       204, 0},
      {"away from the middle, 4 worms, place 3", StartPositionRule::AwayFromTheMiddle, 4, 3, 304,
       163.2, 270},
      {"circle, 4 worms, place 0", StartPositionRule::Circle, 4, 0, 547.2, 204, 270},
      {"circle, 4 worms, place 1", StartPositionRule::Circle, 4, 1, 304, 367.2, 0},
      {"proportional, 1 worm", StartPositionRule::ProportionalRandom, 1, 0, 304, 204, -1},
      {"proportional, 2 worms, place 1", StartPositionRule::ProportionalRandom, 2, 1,
       405.3333333333333, 204, -1},
      {"proportional, 3 worms, place 2", StartPositionRule::ProportionalRandom, 3, 2, 456, 204, -1},
      {"proportional, 4 worms, place 0", StartPositionRule::ProportionalRandom, 4, 0,
       202.66666666666666, 136, -1},
      {"proportional, 4 worms, place 1", StartPositionRule::ProportionalRandom, 4, 1,
       405.3333333333333, 136, -1},
      {"proportional, 4 worms, place 2", StartPositionRule::ProportionalRandom, 4, 2,
       202.66666666666666, 272, -1},
      {"proportional, 4 worms, place 3", StartPositionRule::ProportionalRandom, 4, 3,
       405.3333333333333, 272, -1},
      {"proportional, 5 worms, place 0", StartPositionRule::ProportionalRandom, 5, 0, 152, 136, -1},
      {"proportional, 5 worms, place 2", StartPositionRule::ProportionalRandom, 5, 2, 456, 136, -1},
      {"proportional, 5 worms, place 4", StartPositionRule::ProportionalRandom, 5, 4, 304, 272, -1},
      {"race, 3 worms, place 0", StartPositionRule::Race, 3, 0, 16, 102, 0},
      {"race, 3 worms, place 2", StartPositionRule::Race, 3, 2, 16, 306, 0},
      {"an unknown rule acts as into the middle", static_cast<StartPositionRule>(9), 4, 0, 577.6,
       204, 180},
  };
  for (const Case& c : cases) {
    Rng rng(7);
    StartPlace p = ComputeStartPlace(c.rule, c.place, c.count, rng, {});
    EXPECT_NEAR(p.x, c.x, 1e-9) << c.name;
    EXPECT_NEAR(p.y, c.y, 1e-9) << c.name;
    if (c.heading >= 0) {
      EXPECT_NEAR(p.heading, c.heading, 1e-9) << c.name;
    } else {
      Rng again(7);
      EXPECT_EQ(p.heading, again.Random(360)) << c.name;
    }
  }
}

TEST(StartPositions, RandomRuleDrawsPointThenHeadingAndKeepsItsDistance) {
  // The first worm takes its first draw.
  Rng rng(42);
  Rng replay = rng;
  StartPlace first = ComputeStartPlace(StartPositionRule::RandomPlaces, 0, 12, rng, {});
  double x = replay.Random(508) + 50;
  double y = replay.Random(308) + 50;
  EXPECT_EQ(first.x, x);
  EXPECT_EQ(first.y, y);
  EXPECT_EQ(first.heading, replay.Random(360));

  // Later worms keep 100 units from the start points before them.
  std::vector<StartPoint> earlier{{first.x, first.y}};
  for (int i = 1; i < 6; ++i) {
    StartPlace p = ComputeStartPlace(StartPositionRule::RandomPlaces, i, 12, rng, earlier);
    for (const StartPoint& e : earlier) EXPECT_GE(std::hypot(p.x - e.x, p.y - e.y), 100);
    earlier.push_back({p.x, p.y});
  }
}

TEST(StartPositions, RandomRuleEndsWhenNoPlaceIsFarEnough) {
  // Earlier worms every 60 units over the whole field leave no place 100 units from
  // all of them: the rule settles for the roomiest place it drew.
  std::vector<StartPoint> crowd;
  for (double y = 50; y <= 358; y += 60) {
    for (double x = 50; x <= 558; x += 60) crowd.push_back({x, y});
  }
  Rng rng(3);
  StartPlace p = ComputeStartPlace(StartPositionRule::RandomPlaces, 5, 12, rng, crowd);
  EXPECT_GE(p.x, 50);
  EXPECT_LT(p.x, 558);
  EXPECT_GE(p.y, 50);
  EXPECT_LT(p.y, 358);
  double gap = 1e9;
  for (const StartPoint& e : crowd) gap = std::min(gap, std::hypot(p.x - e.x, p.y - e.y));
  EXPECT_GT(gap, 30);  // near the middle of a gap, not wherever the last draw fell
}

class ShuffleTest : public ::testing::Test {
 protected:
  ShuffleTest() {
    CreateWorms(g);
    for (auto& p : g.settings.players) p.controller = CtrlOff;
  }
  // Round start: the playing slots are alive, then shuffled and placed.
  void StartRound(std::initializer_list<int> playing, StartPositionRule rule) {
    g.settings.game.startPosition = static_cast<uint8_t>(rule);
    for (int s = 0; s < kPlayerSlots; ++s) g.Worm(s).alive = 0;
    for (int s : playing) {
      g.settings.players[s].controller = CtrlHuman;
      g.Worm(s).alive = 1;
      g.Worm(s).energy = 3;
    }
    ShuffleAndPlace(g);
  }
  Game g;
};

TEST_F(ShuffleTest, EveryPlayingWormGetsItsOwnPlaceAsHeadAndTail) {
  TCerv& off = g.Worm(1);
  off.headX = off.tailX = 123.25;
  StartRound({0, 2, 5, 11}, StartPositionRule::Race);
  std::vector<int> places;
  for (int s : {0, 2, 5, 11}) {
    const TCerv& w = g.Worm(s);
    places.push_back(w.placeIndex);
    EXPECT_EQ(w.slot, s);
    EXPECT_EQ(w.energy, kStartEnergy);
    EXPECT_EQ(w.headX, 16);
    EXPECT_EQ(w.tailX, w.headX);
    EXPECT_EQ(w.tailY, w.headY);
    EXPECT_EQ(w.headY, (w.placeIndex + 1) * 408.0 / 5);
    EXPECT_EQ(w.tailHeading, 180);
  }
  std::sort(places.begin(), places.end());
  EXPECT_EQ(places, (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(off.headX, 123.25);  // a slot that is off is never placed

  // The tail heading is the start heading turned round, not reduced.
  StartRound({0, 2, 5, 11}, StartPositionRule::Circle);
  for (int s : {0, 2, 5, 11}) EXPECT_EQ(g.Worm(s).tailHeading, g.Worm(s).heading + 180);
}

TEST_F(ShuffleTest, TwelveScatteredWormsAlwaysGetPlaces) {
  int crowded = 0;
  for (uint64_t seed = 1; seed <= 40; ++seed) {
    g.matchRng.Seed(seed);
    StartRound({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, StartPositionRule::RandomPlaces);
    for (int s = 0; s < kPlayerSlots; ++s) {
      const TCerv& w = g.Worm(s);
      ASSERT_GE(w.headX, 50);
      ASSERT_LT(w.headX, 558);
      ASSERT_GE(w.headY, 50);
      ASSERT_LT(w.headY, 358);
      for (int j = 0; j < s; ++j) {
        const TCerv& o = g.Worm(j);
        if (std::hypot(w.headX - o.tailX, w.headY - o.tailY) < 100) ++crowded;
      }
    }
  }
  // Twelve worms fit the field 100 units apart; the draw limit never cuts this short.
  EXPECT_EQ(crowded, 0);
}

}  // namespace
}  // namespace tdx
