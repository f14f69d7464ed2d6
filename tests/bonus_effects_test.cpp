// What each bonus does to its taker and, for fire and bombs, to the others.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "support/bonus_fixture.h"

namespace tdx {
namespace {

using testing::BonusGame;

class BonusEffects : public BonusGame {
 protected:
  const BonusObjectLists& Objects() const { return g.bonus.objects; }
};

TEST_F(BonusEffects, EnergyKindsAndTheirSounds) {
  struct Case {
    BonusKind kind;
    double before, after;
    const char* sound;
  };
  const Case cases[] = {
      {BonusKind::Cherry, 81, 121, "ceresna.mp3"}, {BonusKind::Heart, 81, 161, "srdce.mp3"},
      {BonusKind::Poison, 100, 20, "poison.mp3"},  {BonusKind::Poison, 50, 1, "poison.mp3"},
      {BonusKind::Poison, 80.5, 1, "poison.mp3"},  {BonusKind::Poison, 1, 1, "poison.mp3"},
  };
  for (const Case& c : cases) {
    TCerv& w = Place(4, 500, 100);
    w.energy = c.before;
    Tick();
    PickUpBonus(g, 4, c.kind, kMainHead);
    EXPECT_DOUBLE_EQ(w.energy, c.after) << c.before;
    ASSERT_FALSE(Sounds().empty());
    EXPECT_EQ(Sounds().back(), c.sound);
    EXPECT_EQ(g.events.raised.back().x, 500);
  }
}

TEST_F(BonusEffects, SpeedBonusStartsAndRestartsWithTheNewFactor) {
  TCerv& w = Place(0, 100, 100);
  PickUpBonus(g, 0, BonusKind::Up, kMainHead);
  EXPECT_TRUE(w.speedBonusActive);
  EXPECT_EQ(w.speedBonusStart, g.Now);
  EXPECT_EQ(w.speedBonusFactor, 2.0);
  g.Now += 3;
  PickUpBonus(g, 0, BonusKind::Down, kMainHead);
  EXPECT_EQ(w.speedBonusStart, g.Now);
  EXPECT_EQ(w.speedBonusFactor, 0.5);
  EXPECT_EQ(Sounds(), (std::vector<std::string>{"faster.mp3", "slower.mp3"}));
}

TEST_F(BonusEffects, ImmunitiesMarkTheTakerAndCountAgainstTheRation) {
  TCerv& w = Place(2, 100, 100);
  g.bonus.NoRocketCount = 1;  // counted when it was drawn
  PickUpBonus(g, 2, BonusKind::NoRocket, kMainHead);
  PickUpBonus(g, 2, BonusKind::NoVirus, 3);
  EXPECT_TRUE(w.rocketImmune);
  EXPECT_TRUE(w.virusImmune);
  EXPECT_EQ(g.bonus.NoRocketCount, 2);
  EXPECT_EQ(g.bonus.NoVirusCount, 1);
  EXPECT_EQ(Sounds(), (std::vector<std::string>{"rocket.mp3", "viruses.mp3"}));
}

// Who is shot at and who gets a bomb: enemies' heads and extra heads, never the taker or
// a team mate, and nobody at all when the taker plays alone.
TEST_F(BonusEffects, FireAndBombAgainstExtraHeadsAndTeamMates) {
  struct Enemy {
    int slot;
    int team;
    int extraHeads;
    bool alive;
  };
  struct Case {
    const char* name;
    int teamMode;
    std::vector<Enemy> others;
    int objects;  // fire balls, and bombs
  };
  const std::vector<Case> cases = {
      {"alone", 0, {}, 0},
      {"one enemy", 0, {{1, 1, 0, true}}, 1},
      {"enemy with two extra heads", 0, {{1, 1, 2, true}}, 3},
      {"dead enemy", 0, {{1, 1, 2, false}, {6, 1, 0, true}}, 1},
      {"deathmatch ignores teams", 0, {{1, 1, 1, true}, {2, 2, 0, true}}, 3},
      {"team mate with extra heads spared", 1, {{1, 1, 2, true}, {2, 2, 1, true}}, 2},
      {"only team mates", 1, {{1, 1, 0, true}, {9, 1, 0, true}}, 0},
  };
  for (BonusKind kind : {BonusKind::Fire, BonusKind::Bomb}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (kind == BonusKind::Fire ? " fire" : " bomb"));
      for (int s = 0; s < kPlayerSlots; ++s) {
        g.settings.players[static_cast<size_t>(s)].controller = CtrlOff;
        g.Worm(s).alive = 0;
        g.Worm(s).cloneAlive.fill(0);
      }
      ClearBonusObjects(g);
      g.match.TeamMode = c.teamMode;
      g.Now += 1;  // the fireball sound may play again
      Place(0, 300, 200, 0, 1);
      AddClone(g.Worm(0), 0, 310, 210);  // the taker's own extra head is never a target
      for (const Enemy& e : c.others) {
        TCerv& w = Place(e.slot, 100 + 20 * e.slot, 300, 90, e.team);
        w.alive = e.alive ? 1 : 0;
        for (int k = 0; k < e.extraHeads; ++k) AddClone(w, k, 50 + 10 * k, 50, 180);
      }
      size_t soundsBefore = Sounds().size();
      PickUpBonus(g, 0, kind, kMainHead);
      std::vector<std::string> sounds = Sounds();
      sounds.erase(sounds.begin(), sounds.begin() + static_cast<long>(soundsBefore));
      if (kind == BonusKind::Fire) {
        EXPECT_EQ(Objects().BonusShots.size(), static_cast<size_t>(c.objects));
        EXPECT_TRUE(Objects().Bombs.empty());
        EXPECT_EQ(sounds.size(), c.objects > 0 ? 1u : 0u) << "one fireball sound at most";
      } else {
        EXPECT_EQ(Objects().Bombs.size(), static_cast<size_t>(c.objects));
        EXPECT_TRUE(Objects().BonusShots.empty());
        EXPECT_EQ(sounds, std::vector<std::string>{"bombeaten.mp3"}) << "even when alone";
      }
    }
  }
}

TEST_F(BonusEffects, FireBallsFlyFromTheTakingHeadTowardsEachTarget) {
  TCerv& taker = Place(0, 300, 200);
  AddClone(taker, 1, 100, 100);
  TCerv& enemy = Place(5, 400, 200);
  AddClone(enemy, 3, 100, 400);
  PickUpBonus(g, 0, BonusKind::Fire, 1);  // taken by extra head 1
  const auto& shots = g.bonus.objects.BonusShots;
  ASSERT_EQ(shots.size(), 2u);
  // Both leave from the extra head, in view pixels.
  for (const BonusObject& o : shots) {
    EXPECT_EQ(o.look.x, 116);
    EXPECT_EQ(o.look.y, 156);
    EXPECT_EQ(o.look.width, 16);
    EXPECT_EQ(o.look.MaterialName(), "fire_ball");
    EXPECT_EQ(o.look.library, LibGlmlshots);
    EXPECT_TRUE(o.look.visible);
    EXPECT_EQ(o.owner, 0);
  }
  double d = std::sqrt(300.0 * 300 + 100 * 100);
  EXPECT_NEAR(shots[0].dirX, 300 / d, 1e-12);
  EXPECT_NEAR(shots[0].dirY, 100 / d, 1e-12);
  EXPECT_NEAR(shots[1].dirX, 0, 1e-12);
  EXPECT_NEAR(shots[1].dirY, 1, 1e-12);
  // The sound is placed at the main head.
  ASSERT_EQ(Sounds(), std::vector<std::string>{"fireball.mp3"});
  EXPECT_EQ(g.events.raised.back().x, 300);
}

TEST_F(BonusEffects, FireballSoundKeepsAPauseOfAThirdOfASecond) {
  Place(0, 300, 200);
  Place(1, 400, 200);
  Place(2, 500, 200);
  PickUpBonus(g, 0, BonusKind::Fire, kMainHead);
  g.Now += 0.2;
  PickUpBonus(g, 0, BonusKind::Fire, kMainHead);
  EXPECT_EQ(CountSound("fireball.mp3"), 1);
  g.Now += 0.2;  // 0.4 s after the first
  PickUpBonus(g, 0, BonusKind::Fire, kMainHead);
  EXPECT_EQ(CountSound("fireball.mp3"), 2);
  EXPECT_EQ(g.bonus.objects.BonusShots.size(), 6u);
}

TEST_F(BonusEffects, BombsLieOneHundredCellsAheadOfEveryEnemyHead) {
  Place(0, 300, 200);
  TCerv& e = Place(1, 200, 100, 90);
  AddClone(e, 2, 400, 300, 180);
  for (double s : {50.0, 120.0}) {
    ClearBonusObjects(g);
    g.GlobalSpeed = s;
    PickUpBonus(g, 0, BonusKind::Bomb, kMainHead);
    const auto& bombs = g.bonus.objects.Bombs;
    ASSERT_EQ(bombs.size(), 2u);
    EXPECT_NEAR(bombs[0].look.x, 216, 1e-3);
    EXPECT_NEAR(bombs[0].look.y, 256, 1e-3);
    EXPECT_NEAR(bombs[1].look.x, 316, 1e-3);
    EXPECT_NEAR(bombs[1].look.y, 356, 1e-3);
    EXPECT_EQ(bombs[0].look.width, 48);
    EXPECT_EQ(bombs[0].look.MaterialName(), "s_bomb_1");
    EXPECT_EQ(bombs[0].stage, 0);
    EXPECT_EQ(bombs[0].startTime, g.Now);
  }
}

TEST_F(BonusEffects, DiggerAndWallStartAtTheLeftEdgeOnARandomRow) {
  Place(7, 300, 200);
  for (int n = 0; n < 50; ++n) {
    Tick();  // the sounds before have ended
    PickUpBonus(g, 7, BonusKind::Digger, kMainHead);
    PickUpBonus(g, 7, BonusKind::Xonix, kMainHead);
  }
  for (const BonusObject& d : g.bonus.objects.Diggers) {
    EXPECT_EQ(d.look.x, -10);
    EXPECT_GE(d.look.y, 56);
    EXPECT_LE(d.look.y, 463);
    EXPECT_EQ(d.look.width, 30);
    EXPECT_EQ(d.look.MaterialName(), "digger1");
    EXPECT_TRUE(d.look.visible);
    EXPECT_EQ(d.owner, 7);
  }
  for (const BonusObject& x : g.bonus.objects.XonixWalkers) {
    EXPECT_EQ(x.look.x, 0);
    EXPECT_GE(x.look.y, 0);
    EXPECT_LE(x.look.y, 407);
    EXPECT_FALSE(x.look.visible);
  }
  EXPECT_EQ(CountSound("digger.mp3"), 50);
  EXPECT_EQ(CountSound("xonix.mp3"), 50);
}

}  // namespace
}  // namespace tdx
