// Who killed whom: every way a worm dies puts what killed it and whose it was on its
// Death event, and the line the players read says so.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "display/death_notice.h"
#include "match/arena/arena.h"
#include "match/arena/worm.h"
#include "match/arena/worm_step.h"
#include "match/bonus/bonus_effects.h"
#include "match/match.h"
#include "match/weapons/abilities.h"
#include "match/weapons/bonus_objects.h"
#include "match/weapons/projectiles.h"

namespace tdx {
namespace {

constexpr int kVictim = 2;
constexpr int kCulprit = 5;
// Where the victim's head stands (arena units) and the same point in view pixels.
constexpr double kX = 200, kY = 200;
constexpr double kViewX = kX + kArenaViewX, kViewY = kY + kArenaViewY;

// A match of two worms, the victim in slot 2 heading right and the culprit in slot 5 far
// away, with nothing moving unless a case steps it.
struct Arena {
  Arena() {
    m.matchRng.Seed(3);
    CreateWorms(m);
    for (auto& p : m.settings.players) p.controller = CtrlOff;
    m.GlobalSpeed = 50;
    m.phase = GamePhase::Playing;
    m.Now = 10;
    m.FrameDelta = 0;
    nastavsprity(m);
    Start(kVictim, kX, kY);
    Start(kCulprit, 500, 350);
  }

  TCerv& Start(int slot, double x, double y, WormKind kind = WormKind::None) {
    m.settings.players[static_cast<size_t>(slot)].controller = CtrlHuman;
    TCerv& w = m.Worm(slot);
    w.alive = 1;
    w.kind = kind;
    w.headX = w.nextX = w.tailX = x;
    w.headY = w.nextY = w.tailY = y;
    w.heading = 0;
    w.tailHeading = 180;
    w.energy = kStartEnergy;
    return w;
  }

  // A block of cells of `value` from (x0, y0) to (x1, y1).
  void Fill(int x0, int y0, int x1, int y1, uint8_t value) {
    for (int x = x0; x <= x1; ++x) {
      for (int y = y0; y <= y1; ++y) m.ArenaMap.At(x, y) = value;
    }
  }

  // The victim's own step of a hundredth of a second: half a unit to the right.
  void StepVictim() { StepWorm(m, m.Worm(kVictim), 0.01); }

  std::vector<MatchEvent> Deaths() const {
    std::vector<MatchEvent> out;
    for (const MatchEvent& e : m.events.raised) {
      if (e.kind == MatchEvent::Kind::Death) out.push_back(e);
    }
    return out;
  }

  TCerv& Victim() { return m.Worm(kVictim); }
  TCerv& Culprit() { return m.Worm(kCulprit); }

  Match m;
};

TEST(Attribution, EveryWayToDieSaysWhatAndWhose) {
  struct Case {
    const char* name;
    std::function<void(Arena&)> kill;
    DeathCause cause;
    int by;
    const char* notice;  // with no names given
  } cases[] = {
      {"own trail, turning back into it",
       [](Arena& a) {
         // Probe 0 looks three units ahead, past the fresh trail under the head.
         a.Fill(202, 196, 206, 204, kVictim);
         a.StepVictim();
       },
       DeathCause::OwnTrail, kVictim, "player 3 ran into its own trail"},
      {"another worm's trail",
       [](Arena& a) {
         a.Fill(199, 196, 206, 204, kCulprit);
         a.StepVictim();
       },
       DeathCause::Trail, kCulprit, "player 3 ran into player 6's trail"},
      {"a wall walker's wall",
       [](Arena& a) {
         a.Fill(199, 196, 206, 204, WallCell);
         a.StepVictim();
       },
       DeathCause::Wall, -1, "player 3 ran into a xonix wall"},
      {"the right edge",
       [](Arena& a) {
         a.Victim().headX = a.Victim().nextX = kArenaWidth - 1.6;
         a.StepVictim();
       },
       DeathCause::Edge, -1, "player 3 hit the wall"},
      {"the top edge",
       [](Arena& a) {
         a.Victim().headY = a.Victim().nextY = 1;
         a.Victim().heading = 270;
         a.StepVictim();
       },
       DeathCause::Edge, -1, "player 3 hit the wall"},
      {"a killer's fireball",
       [](Arena& a) {
         TCerv& c = a.Culprit();
         c.fireballActive = 1;
         c.fireballX = kX + 3;
         c.fireballY = kY;
         ProjectileUpdate(a.m);
       },
       DeathCause::Fireball, kCulprit, "player 3 was burnt by player 6's fireball"},
      {"a shooter's bullet",
       [](Arena& a) {
         TCerv& c = a.Culprit();
         c.bulletActive[4] = 1;
         c.bulletX[4] = kX;
         c.bulletY[4] = kY + 2;
         ProjectileUpdate(a.m);
       },
       DeathCause::Shot, kCulprit, "player 3 was shot by player 6's bullet"},
      {"a laser beam",
       [](Arena& a) {
         TCerv& c = a.Culprit();
         c.laserActive = 1;
         for (Look& b : c.laserBeam) b.x = b.y = 700;
         c.laserBeam[1].x = static_cast<float>(kViewX - 2);
         c.laserBeam[1].y = static_cast<float>(kViewY);
         ProjectileUpdate(a.m);
       },
       DeathCause::Laser, kCulprit, "player 3 was cut down by player 6's laser"},
      {"a homing rocket",
       [](Arena& a) {
         TCerv& c = a.Culprit();
         c.rocketActive = c.rocketFlying = 1;
         c.missileX = c.rocketLeadX = kX + 4;
         c.missileY = c.rocketLeadY = kY;
         ProjectileUpdate(a.m);
       },
       DeathCause::Rocket, kCulprit, "player 3 was hit by player 6's rocket"},
      {"a virus",
       [](Arena& a) {
         TCerv& c = a.Culprit();
         c.virusActive[9] = 1;
         c.virusX[9] = kX;
         c.virusY[9] = kY - 3;
         c.virusAnimPeriod[9] = 0.03;
         ProjectileUpdate(a.m);
       },
       DeathCause::Virus, kCulprit, "player 3 was infected by player 6's virus"},
      {"another bomber's atomic blast",
       [](Arena& a) {
         TCerv& c = a.Culprit();
         c.atomicActive = 1;
         c.missileX = kX + 40;
         c.missileY = kY;
         c.missileFrame = 11;  // in the blast
         ProjectileUpdate(a.m);
       },
       DeathCause::AtomicBomb, kCulprit, "player 3 was caught in player 6's atomic blast"},
      {"its own atomic blast",
       [](Arena& a) {
         TCerv& v = a.Victim();
         v.kind = WormKind::AtomicBomber;
         v.atomicActive = 1;
         v.missileX = kX - 30;
         v.missileY = kY;
         v.missileFrame = 11;
         ProjectileUpdate(a.m);
       },
       DeathCause::AtomicBomb, kVictim, "player 3 was caught in its own atomic blast"},
      {"an infernal worm's fires",
       [](Arena& a) {
         TCerv& c = a.Start(kCulprit, kX - 10, kY, WormKind::WInfernal);
         c.infernalAngle[0] = 0;  // the first fire stands on the victim
         c.infernalAngle[1] = 180;
         InfernalFires(a.m, c);
       },
       DeathCause::InfernalFire, kCulprit, "player 3 was burnt by player 6's infernal fire"},
      {"a fire ball of the fire bonus",
       [](Arena& a) {
         PickUpBonus(a.m, kCulprit, BonusKind::Fire, kMainHead);
         // Let the ball thrown at the victim arrive where it stands.
         BonusObject& ball = a.m.bonus.objects.BonusShots.at(0);
         ball.look.x = static_cast<float>(kViewX);
         ball.look.y = static_cast<float>(kViewY + 4);
         UpdateFireBalls(a.m);
       },
       DeathCause::BonusFireBall, kCulprit, "player 3 was burnt by player 6's fire ball"},
      {"a digger",
       [](Arena& a) {
         PickUpBonus(a.m, kCulprit, BonusKind::Digger, kMainHead);
         BonusObject& digger = a.m.bonus.objects.Diggers.at(0);
         digger.look.x = static_cast<float>(kViewX - 5);
         digger.look.y = static_cast<float>(kViewY);
         UpdateDiggers(a.m);
       },
       DeathCause::Digger, kCulprit, "player 3 was run over by player 6's digger"},
      {"a burning bomb laid for it",
       [](Arena& a) {
         PickUpBonus(a.m, kCulprit, BonusKind::Bomb, kMainHead);
         // The bomb lies ahead of the victim; it runs onto the fuse.
         const BonusObject& bomb = a.m.bonus.objects.Bombs.at(0);
         a.Victim().nextX = bomb.look.x - kArenaViewX - 3;
         a.Victim().nextY = bomb.look.y - kArenaViewY;
         UpdateBombs(a.m);
       },
       DeathCause::Bomb, kCulprit, "player 3 was blown up by player 6's bomb"},
      {"a bomb's blast",
       [](Arena& a) {
         PickUpBonus(a.m, kCulprit, BonusKind::Bomb, kMainHead);
         BonusObject& bomb = a.m.bonus.objects.Bombs.at(0);
         bomb.stage = 1;
         bomb.startTime = a.m.Now;
         // One arm of the blast's cross reaches it.
         a.Victim().nextX = bomb.look.x - kArenaViewX - 16;
         a.Victim().nextY = bomb.look.y - kArenaViewY + 2;
         UpdateBombs(a.m);
       },
       DeathCause::Bomb, kCulprit, "player 3 was blown up by player 6's bomb"},
      {"a bomb nobody laid",
       [](Arena& a) {
         AddBomb(a.m, kViewX, kViewY);
         UpdateBombs(a.m);
       },
       DeathCause::Bomb, -1, "player 3 was blown up by a bomb"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Arena a;
    c.kill(a);
    const std::vector<MatchEvent> deaths = a.Deaths();
    ASSERT_FALSE(deaths.empty());
    EXPECT_FALSE(a.Victim().alive);
    EXPECT_TRUE(a.Culprit().alive);
    // Every fatal hit of the step is told, each with the same blame here.
    for (const MatchEvent& e : deaths) {
      EXPECT_EQ(e.value, kVictim);
      EXPECT_DOUBLE_EQ(e.x, a.Victim().headX);  // where its marker stands
      EXPECT_EQ(e.blame.cause, c.cause);
      EXPECT_EQ(e.blame.by, c.by);
    }
    EXPECT_EQ(DeathNotice(deaths[0], SlotNames{}), c.notice);
  }
}

// An extra head taking the blow lets the worm play on: nobody died, nothing is told.
TEST(Attribution, AMultiplierThatLosesItsHeadButPlaysOnTellsNoDeath) {
  Arena a;
  TCerv& v = a.Victim();
  v.kind = WormKind::Multiplier;
  v.cloneAlive[1] = 1;
  v.cloneX[1] = 300;
  v.cloneY[1] = 100;
  TCerv& c = a.Culprit();
  c.fireballActive = 1;
  c.fireballX = kX;
  c.fireballY = kY;
  ProjectileUpdate(a.m);
  EXPECT_TRUE(v.alive);
  EXPECT_TRUE(a.Deaths().empty());
  // The next blow finds no extra head left and is the one told.
  c.laserActive = 1;
  for (Look& b : c.laserBeam) b.x = b.y = 700;
  c.laserBeam[0].x = static_cast<float>(300 + kArenaViewX);
  c.laserBeam[0].y = static_cast<float>(100 + kArenaViewY);
  c.fireballActive = 0;
  ProjectileUpdate(a.m);
  ASSERT_EQ(a.Deaths().size(), 1u);
  EXPECT_EQ(a.Deaths()[0].blame.cause, DeathCause::Laser);
  EXPECT_EQ(a.Deaths()[0].blame.by, kCulprit);
}

// Given names stand in for the slot numbers; a blame the match never gives still reads.
TEST(Attribution, NoticesUseThePlayersNames) {
  SlotNames names;
  names[0] = "Ada";
  names[11] = "Zed";
  auto death = [](int slot, DeathCause cause, int by) {
    MatchEvent e;
    e.kind = MatchEvent::Kind::Death;
    e.value = slot;
    e.blame = {cause, by};
    return e;
  };
  struct Case {
    MatchEvent death;
    const char* notice = "";
  } cases[] = {
      {death(0, DeathCause::Laser, 11), "Ada was cut down by Zed's laser"},
      {death(11, DeathCause::Trail, 0), "Zed ran into Ada's trail"},
      {death(4, DeathCause::Rocket, 0), "player 5 was hit by Ada's rocket"},
      {death(0, DeathCause::Bomb, 0), "Ada was blown up by its own bomb"},
      {death(0, DeathCause::AtomicBomb, -1), "Ada was caught in an atomic blast"},
      {death(11, DeathCause::Edge, 3), "Zed hit the wall"},
      {death(3, DeathCause::Unknown, -1), "player 4 died"},
      {death(3, DeathCause::Virus, 12), "player 4 was infected by a virus"},
  };
  for (const Case& c : cases) EXPECT_EQ(DeathNotice(c.death, names), c.notice);
}

}  // namespace
}  // namespace tdx
