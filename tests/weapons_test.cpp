// Abilities by worm kind, projectiles, rockets, the atomic bomb and viruses.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>

#include "app/game.h"
#include "audio/fake_mixer.h"
#include "audio/sound.h"
#include "match/arena/arena.h"
#include "match/arena/worm.h"
#include "match/arena/worm_step.h"
#include "match/weapons/abilities.h"
#include "match/weapons/projectiles.h"
#include "match/weapons/rockets.h"
#include "match/weapons/viruses.h"
#include "menu/settings.h"

namespace tdx {
namespace {

// A fresh game with its thirteen worms, every slot off until a test starts a worm, and
// the projectile sprites in their round-start state.
struct Match {
  Match() {
    CreateWorms(g);
    for (auto& p : g.settings.players) p.controller = CtrlOff;
    g.GlobalSpeed = 50;
    g.phase = GamePhase::Playing;
    g.Now = 10;
    g.FrameDelta = 0.01;
    nastavsprity(g);
  }

  TCerv& Start(int slot, double x, double y, double heading, WormKind kind = WormKind::None) {
    g.settings.players[slot].controller = CtrlHuman;
    TCerv& w = g.Worm(slot);
    w.alive = 1;
    w.slot = static_cast<uint8_t>(slot);
    w.kind = kind;
    w.headX = w.nextX = w.tailX = x;
    w.headY = w.nextY = w.tailY = y;
    w.heading = heading;
    w.tailHeading = heading + 180;
    w.energy = kStartEnergy;
    return w;
  }

  // One playing frame of the weapons: every alive worm's step, then the projectiles.
  void Frame(double dt = 0.01) {
    g.Now += dt;
    g.FrameDelta = dt;
    for (int s = 0; s < kPlayerSlots; ++s) {
      if (g.Worm(s).alive) StepWorm(g, g.Worm(s), dt);
    }
    ProjectileUpdate(g);
    AnimateTeleports(g);
  }

  int CellsOf(uint8_t value) const {
    int n = 0;
    for (uint8_t c : g.ArenaMap.cells) n += c == value;
    return n;
  }

  int ActiveViruses(const TCerv& w) const { return kVirusCount - FreeVirusPlaces(w, kVirusCount); }

  Game g;
};

// ------------------------------------------------------------ energy rules per kind

TEST(Abilities, EnergyRulesByKind) {
  struct Case {
    const char* name;
    WormKind kind;
    double energy;
    std::function<void(Match&, TCerv&)> before;  // may be empty
    double wantEnergy;
    bool wantActed;
    std::function<bool(Match&, TCerv&)> acted;
  };
  auto none = [](Match&, TCerv&) {};
  auto fireball = [](Match&, TCerv& w) { return w.fireballActive != 0; };
  auto laser = [](Match&, TCerv& w) { return w.laserActive != 0; };
  auto rocket = [](Match&, TCerv& w) { return w.rocketActive != 0; };
  auto atomic = [](Match&, TCerv& w) { return w.atomicActive != 0; };
  auto burst = [](Match&, TCerv& w) { return w.burstActive != 0; };
  auto swapped = [](Match&, TCerv& w) { return w.headX == 400; };
  auto clones = [](Match&, TCerv& w) { return w.cloneAlive[0] != 0; };
  auto teleported = [](Match&, TCerv& w) { return w.teleportAnimActive != 0; };
  auto lineDrawn = [](Match& m, TCerv&) { return m.g.ArenaMap.At(350, 200) == 0; };
  auto viruses = [](Match& m, TCerv& w) { return m.ActiveViruses(w) > 0; };
  auto fireballOut = [](Match&, TCerv& w) {
    w.fireballActive = 1;
    w.fireballX = 10;
  };
  auto bulletOut = [](Match&, TCerv& w) { w.bulletActive[6] = 1; };
  auto cloneOut = [](Match&, TCerv& w) {
    w.cloneAlive[3] = 1;
    w.cloneX[3] = 111;
  };
  auto fiftyViruses = [](Match&, TCerv& w) {
    for (int j = 0; j < 50; ++j) w.virusActive[static_cast<size_t>(j)] = 1;
  };
  auto oneVirus = [](Match&, TCerv& w) {
    w.virusActive[5] = 1;
    w.virusControl = 1;
    w.virusFree = 1;
  };
  auto switched = [](Match&, TCerv& w) { return w.virusFree == 0; };

  const Case cases[] = {
      {"killer with 21 fires", WormKind::Killer, 21, none, 1, true, fireball},
      {"killer with 20.5 fails and drops to 1", WormKind::Killer, 20.5, none, 1, false, fireball},
      {"killer while its fireball flies: free, nothing", WormKind::Killer, 50, fireballOut, 50,
       false, [](Match&, TCerv& w) { return w.fireballX != 10; }},
      {"laser shooter", WormKind::LaserShooter, 30, none, 10, true, laser},
      {"laser shooter short of 1 over the cost", WormKind::LaserShooter, 20, none, 1, false, laser},
      {"rocket launcher", WormKind::RocketLauncher, 41, none, 1, true, rocket},
      {"atomic bomber short", WormKind::AtomicBomber, 40.5, none, 1, false, atomic},
      {"atomic bomber", WormKind::AtomicBomber, 81, none, 41, true, atomic},
      {"shooter", WormKind::Shooter, 81, none, 41, true, burst},
      {"shooter while a bullet flies", WormKind::Shooter, 81, bulletOut, 81, false, burst},
      {"reverser", WormKind::Reverser, 11, none, 1, true, swapped},
      {"reverser short", WormKind::Reverser, 10.5, none, 1, false, swapped},
      {"multiplier", WormKind::Multiplier, 81, none, 41, true, clones},
      {"multiplier with an extra head out", WormKind::Multiplier, 81, cloneOut, 81, false, clones},
      {"reproducer", WormKind::Reproducer, 41, none, 1, true, clones},
      {"teleporter", WormKind::Teleporter, 81, none, 41, true, teleported},
      {"teleporter short", WormKind::Teleporter, 39, none, 1, false, teleported},
      {"erector", WormKind::Erector, 21, none, 1, true, lineDrawn},
      {"erector short", WormKind::Erector, 20, none, 1, false, lineDrawn},
      {"virus infester", WormKind::VirusInfester, 81, none, 1, true, viruses},
      {"virus infester short", WormKind::VirusInfester, 80, none, 1, false, viruses},
      {"virus infester with only 15 free places keeps its energy", WormKind::VirusInfester, 81,
       fiftyViruses, 81, false, [](Match& m, TCerv& w) { return m.ActiveViruses(w) != 50; }},
      {"virus controller releases for 80", WormKind::VirusController, 81, none, 1, true, viruses},
      {"virus controller switches for 40", WormKind::VirusController, 41, oneVirus, 1, true,
       switched},
      {"virus controller short to switch", WormKind::VirusController, 30, oneVirus, 1, false,
       switched},
      {"virus controller short to release", WormKind::VirusController, 80.5, none, 1, false,
       viruses},
  };
  for (const Case& c : cases) {
    Match m;
    TCerv& w = m.Start(0, 300, 200, 0, c.kind);
    w.tailX = 400;
    w.energy = c.energy;
    if (c.before) c.before(m, w);
    w.fireHeld = 1;
    AbilityAction(m.g, w, 0.01);
    EXPECT_DOUBLE_EQ(w.energy, c.wantEnergy) << c.name;
    EXPECT_EQ(c.acted(m, w), c.wantActed) << c.name;
  }
}

TEST(Abilities, HeldKindsDrainAndActOnlyAboveOne) {
  struct Case {
    WormKind kind;
    double rate;
  } cases[] = {{WormKind::Traveller, 50}, {WormKind::Speeder, 35},  {WormKind::Stopper, 70},
               {WormKind::Warper, 50},    {WormKind::Repeller, 20}, {WormKind::WInfernal, 40},
               {WormKind::WThicker, 10},  {WormKind::Pauser, 5}};
  for (const Case& c : cases) {
    Match m;
    TCerv& w = m.Start(0, 300, 200, 0, c.kind);
    w.fireHeld = 1;
    w.speed = 50;
    AbilityAction(m.g, w, 0.1);
    EXPECT_DOUBLE_EQ(w.energy, kStartEnergy - c.rate * 0.1) << static_cast<int>(c.kind);
    w.energy = 1 + c.rate * 0.05;  // half of the next drain left
    AbilityAction(m.g, w, 0.1);
    EXPECT_EQ(w.energy, 1) << static_cast<int>(c.kind);
  }
}

TEST(Abilities, SpeederDoublesOnlyWithEnergy) {
  Match m;
  TCerv& w = m.Start(0, 300, 200, 0, WormKind::Speeder);
  w.fireHeld = 1;
  StepWorm(m.g, w, 0.02);
  EXPECT_NEAR(w.headX, 302, 1e-9);
  w.energy = 1.5;  // 35 * 0.02 = 0.7 takes it to 1
  StepWorm(m.g, w, 0.02);
  EXPECT_NEAR(w.headX, 303, 1e-9);
}

TEST(Abilities, PauserHoldingFireMovesAgainAfterSixteenSeconds) {
  Match m;
  TCerv& w = m.Start(0, 300, 200, 0, WormKind::Pauser);
  w.fireHeld = 1;
  double t = 0;
  while (w.headX == 300 && t < 20) {
    StepWorm(m.g, w, 0.01);
    t += 0.01;
  }
  EXPECT_NEAR(t, 16.0, 0.02);  // 80 energy at 5 per second
  EXPECT_EQ(w.energy, 1);
}

TEST(Abilities, InfernalAndThickerStopWhenTheEnergyRunsOut) {
  Match m;
  TCerv& inf = m.Start(0, 300, 200, 0, WormKind::WInfernal);
  TCerv& thick = m.Start(1, 300, 300, 0, WormKind::WThicker);
  inf.infernalOn = 1;
  thick.thickMode = 1;
  inf.energy = thick.energy = 1.05;
  inf.fireHeld = thick.fireHeld = 1;
  AbilityAction(m.g, inf, 0.01);
  AbilityAction(m.g, thick, 0.01);
  EXPECT_FALSE(inf.infernalOn);
  EXPECT_FALSE(inf.infernalOn);
  EXPECT_EQ(thick.thickMode, 0);
}

TEST(Abilities, EachKindSoundsItsNameWhereItActs) {
  struct Case {
    WormKind kind;
    const char* sound;
    double x;  // where it is heard (the head at 152, the tail at 456)
  } cases[] = {
      {WormKind::Reverser, "reverser.mp3", 456},  // from its new head, the old tail
      {WormKind::Killer, "fireball.mp3", 152},
      {WormKind::LaserShooter, "laser.mp3", 152},
      {WormKind::Multiplier, "multiplier.mp3", 152},
      {WormKind::Reproducer, "multiplier.mp3", 152},
      {WormKind::VirusInfester, "viruses.mp3", 152},
      {WormKind::VirusController, "viruses.mp3", 152},
      {WormKind::RocketLauncher, "rocket.mp3", 152},
      {WormKind::AtomicBomber, "atomicalarm.mp3", 152},
      {WormKind::Erector, "erekcia.mp3", 152},
      {WormKind::Teleporter, "teleport.mp3", -1},  // wherever it landed
      {WormKind::Shooter, "gulomet.mp3", 152},
  };
  for (const Case& c : cases) {
    Match m;
    TCerv& w = m.Start(0, 152, 200, 0, c.kind);
    w.tailX = 456;
    w.fireHeld = 1;
    AbilityAction(m.g, w, 0.01);
    const auto& raised = m.g.events.raised;
    ASSERT_EQ(raised.size(), 1u) << c.sound;
    EXPECT_STREQ(raised[0].name, c.sound);
    EXPECT_EQ(raised[0].kind, MatchEvent::Kind::Sound) << c.sound;
    EXPECT_EQ(raised[0].x, c.x < 0 ? w.headX : c.x) << c.sound;
  }
}

// ------------------------------------------------------------ the kinds' effects

TEST(Abilities, MultiplierMakesFiveHeadsOnceThenFour) {
  Match m;
  TCerv& w = m.Start(0, 300, 200, 0, WormKind::Multiplier);
  w.fireHeld = 1;
  AbilityAction(m.g, w, 0.01);
  int alive = 0;
  for (uint8_t a : w.cloneAlive) alive += a;
  EXPECT_EQ(alive, 5);
  EXPECT_NEAR(w.cloneX[0], 295, 1e-9);
  EXPECT_NEAR(w.cloneHeading[1], -60, 1e-9);
  EXPECT_EQ(w.cloneX[4], w.tailX);
  EXPECT_EQ(w.clonePrevX[2], w.cloneX[2]);
  w.cloneAlive.fill(0);
  AbilityAction(m.g, w, 0.01);
  alive = 0;
  for (uint8_t a : w.cloneAlive) alive += a;
  EXPECT_EQ(alive, 4);
}

TEST(Abilities, ReproducerHeadsRunParallelOnBothSides) {
  Match m;
  TCerv& w = m.Start(0, 300, 200, 0, WormKind::Reproducer);
  w.fireHeld = 1;
  AbilityAction(m.g, w, 0.01);
  const double wantY[4] = {175, 150, 225, 250};
  for (size_t k = 0; k < 4; ++k) {
    EXPECT_NEAR(w.cloneX[k], 300, 1e-9) << k;
    EXPECT_NEAR(w.cloneY[k], wantY[k], 1e-9) << k;
    EXPECT_EQ(w.cloneHeading[k], 0) << k;
  }
}

TEST(Abilities, RepellerPushesOthersAwayButNotStoppedOnesNorFromItsOwnSpot) {
  Match m;
  TCerv& r = m.Start(0, 300, 200, 0, WormKind::Repeller);
  TCerv& near = m.Start(1, 310, 200, 0);
  TCerv& stopped = m.Start(2, 290, 200, 0);
  TCerv& onTop = m.Start(3, 300, 200, 0);
  TCerv& r2 = m.Start(4, 300, 220, 0, WormKind::Repeller);
  near.cloneAlive[0] = 1;
  near.cloneX[0] = 300;
  near.cloneY[0] = 180;
  stopped.stopped = 1;
  r.fireHeld = r2.fireHeld = 1;
  AbilityAction(m.g, r, 0.01);
  EXPECT_NEAR(near.headX, 310 + 10 * 1000 * 0.01 / 100, 1e-9);  // 1000 * dt / d away
  EXPECT_NEAR(near.cloneY[0], 180 - 20 * 1000 * 0.01 / 400, 1e-9);
  EXPECT_EQ(stopped.headX, 290);
  // Exactly on the repeller there is no way to push: the worm stays, and nothing is NaN.
  EXPECT_EQ(onTop.headX, 300);
  EXPECT_EQ(onTop.headY, 200);
  EXPECT_GT(r2.headY, 220);
  // And the second repeller pushes the first back.
  AbilityAction(m.g, r2, 0.01);
  EXPECT_LT(r.headY, 200);
}

TEST(Abilities, TeleporterLandsInsideOnAClearedDisc) {
  Match m;
  TCerv& w = m.Start(0, 300, 200, 0, WormKind::Teleporter);
  for (int i = 0; i < 300; ++i) {
    m.g.ArenaMap.cells.fill(5);
    w.energy = 81;
    w.fireHeld = 1;
    AbilityAction(m.g, w, 0.01);
    ASSERT_GE(w.headX, 30);
    ASSERT_LE(w.headX, 577);
    ASSERT_GE(w.headY, 30);
    ASSERT_LE(w.headY, 377);
    ASSERT_EQ(w.headX, std::floor(w.headX));
    const int x = static_cast<int>(w.headX), y = static_cast<int>(w.headY);
    const int sx = x < 304 ? 1 : -1, sy = y < 204 ? 1 : -1;  // look towards the centre
    ASSERT_EQ(m.g.ArenaMap.At(x, y), EmptyCell);
    ASSERT_EQ(m.g.ArenaMap.At(x + sx * 39, y), EmptyCell);
    ASSERT_EQ(m.g.ArenaMap.At(x + sx * 40, y), 5);
    ASSERT_EQ(m.g.ArenaMap.At(x + sx * 28, y + sy * 28), EmptyCell);  // 39.6 away
    ASSERT_EQ(m.g.ArenaMap.At(x + sx * 29, y + sy * 29), 5);          // 41.0 away
  }
  // It survives the landing frame whatever lay there before.
  m.g.ArenaMap.cells.fill(5);
  w.energy = 81;
  w.fireHeld = 1;
  StepWorm(m.g, w, 0.01);
  EXPECT_TRUE(w.alive);
}

TEST(Abilities, TeleportFlashRunsItsFramesWhereTheWormLanded) {
  Match m;
  TCerv& w = m.Start(0, 300, 200, 0, WormKind::Teleporter);
  w.fireHeld = 1;
  AbilityAction(m.g, w, 0.01);
  const float x = w.teleportLook.x;
  EXPECT_EQ(w.teleportLook.width, 24);
  EXPECT_EQ(w.teleportLook.height, 48);
  EXPECT_EQ(w.teleportLook.MaterialName(), "tele00");
  m.g.Now += 0.5;  // half of 50 / 50 seconds
  w.headX += 30;
  AnimateTeleports(m.g);
  EXPECT_EQ(w.teleportLook.MaterialName(), "tele12");
  EXPECT_EQ(w.teleportLook.x, x);
  m.g.Now += 0.5;  // exactly at the end: the last frame
  AnimateTeleports(m.g);
  EXPECT_EQ(w.teleportLook.MaterialName(), "tele23");
  m.g.Now += 0.01;
  AnimateTeleports(m.g);
  EXPECT_FALSE(w.teleportAnimActive);
  EXPECT_FALSE(w.teleportLook.visible);
}

TEST(Abilities, ErectorReplacesEverythingOfItsSlotByOneLine) {
  Match m;
  TCerv& w = m.Start(0, 300, 200, 0, WormKind::Erector);
  w.tailX = 100;
  w.tailY = 200;
  m.g.ArenaMap.At(500, 50) = 0;   // a blob far off
  m.g.ArenaMap.At(200, 300) = 0;  // an extra head's line
  m.g.ArenaMap.At(201, 300) = 1;  // somebody else's
  w.fireHeld = 1;
  AbilityAction(m.g, w, 0.01);
  EXPECT_EQ(m.g.ArenaMap.At(500, 50), EmptyCell);
  EXPECT_EQ(m.g.ArenaMap.At(200, 300), EmptyCell);
  EXPECT_EQ(m.g.ArenaMap.At(201, 300), 1);
  EXPECT_EQ(m.g.ArenaMap.At(200, 200), 0);
}

TEST(Abilities, ShooterBurstsSevenBulletsAlongTheHeadingOfTheirMoment) {
  Match m;
  TCerv& w = m.Start(0, 300, 200, 0, WormKind::Shooter);
  w.fireHeld = 1;
  AbilityAction(m.g, w, 0.01);
  w.fireHeld = 0;
  EXPECT_TRUE(w.bulletActive[0]);
  EXPECT_NEAR(w.bulletX[0], 307, 1e-9);
  int steps = 0;
  while (w.burstActive && steps < 1000) {
    w.heading = 10.0 * steps;
    m.g.Now += 0.01;
    ContinuousEffects(m.g, w, 0.01);
    ++steps;
  }
  for (size_t i = 0; i < kBulletCount; ++i) EXPECT_TRUE(w.bulletActive[i]) << i;
  EXPECT_EQ(w.burstCount, 6);
  // 11.5 / 50 = 0.23 s apart, on the first step past it: six more in about 1.44 s.
  EXPECT_NEAR(steps, 144, 3);
  EXPECT_NE(w.bulletHeading[1], w.bulletHeading[6]);
  // Another press while bullets fly costs nothing.
  w.fireHeld = 1;
  AbilityAction(m.g, w, 0.01);
  EXPECT_EQ(w.energy, 41);
}

TEST(Abilities, InfernalFiresCircleBurnAndKillOthersOnly) {
  Match m;
  TCerv& w = m.Start(0, 300, 200, 0, WormKind::WInfernal);
  TCerv& victim = m.Start(1, 310, 200, 0);
  w.infernalAngle = {0, 0};
  w.infernalOn = 1;
  m.g.ArenaMap.At(310, 204) = 3;
  m.g.FrameDelta = 0;  // the fires stay at angle 0: 10 ahead of the head
  ContinuousEffects(m.g, w, 0.01);
  EXPECT_FALSE(victim.alive);
  EXPECT_TRUE(w.alive);
  EXPECT_EQ(m.g.ArenaMap.At(310, 204), EmptyCell);
  EXPECT_FLOAT_EQ(w.infernalCarrier[0].x, 310 + 16);
  EXPECT_FLOAT_EQ(w.infernalCarrier[0].y, 200 + 56);
  m.g.FrameDelta = 0.1;
  ContinuousEffects(m.g, w, 0.1);
  EXPECT_DOUBLE_EQ(w.infernalAngle[0], 30);
  EXPECT_DOUBLE_EQ(w.infernalAngle[1], 330);
}

TEST(Abilities, ThickBlobGrowsBehindTheHeadAndShrinksBack) {
  Match m;
  TCerv& w = m.Start(0, 300, 200, 0, WormKind::WThicker);
  w.thickMode = 1;
  m.g.FrameDelta = 0.1;
  for (int i = 0; i < 30; ++i) ContinuousEffects(m.g, w, 0.1);
  EXPECT_EQ(w.thickness, 16);
  EXPECT_EQ(m.g.ArenaMap.At(284, 200), 0);  // the blob's centre, 16 behind
  EXPECT_EQ(m.g.ArenaMap.At(305, 200), EmptyCell);
  w.thickMode = 0;
  for (int i = 0; i < 30; ++i) ContinuousEffects(m.g, w, 0.1);
  EXPECT_EQ(w.thickness, 1);

  // Heading down just below the top edge, most of the blob lies outside the grid: only
  // the rows 0 and 1 of the disc round (300, -14) are painted.
  m.g.ArenaMap.Clear();
  w.nextY = 2;
  w.heading = 90;
  w.thickness = 16;
  w.thickMode = 1;
  m.g.FrameDelta = 0;
  ContinuousEffects(m.g, w, 0.0);
  EXPECT_EQ(m.CellsOf(0), 15 + 11);
}

// ------------------------------------------------------------ hits and owner exclusion

TEST(Projectiles, HitsKillOthersWithinReachButNeverTheOwner) {
  enum Weapon { Fireball, Bullet, Laser, Virus, Rocket, Atomic };
  enum Target { OtherHead, OtherClone, OwnHead, OwnClone };
  struct Case {
    const char* name;
    Weapon weapon;
    Target target;
    double dx, dy;
    bool wantHit;
    bool immune = false;
  } cases[] = {
      {"fireball, other head inside 7", Fireball, OtherHead, 6.9, 0, true},
      {"fireball, other head at 7", Fireball, OtherHead, 7, 0, false},
      {"fireball, other extra head", Fireball, OtherClone, 0, 6.5, true},
      {"fireball, own head", Fireball, OwnHead, 0, 0, false},
      {"fireball, own extra head", Fireball, OwnClone, 1, 0, false},
      {"bullet, other head inside 5", Bullet, OtherHead, 3, 3.9, true},
      {"bullet, other head at 5", Bullet, OtherHead, 3, 4, false},
      {"bullet, own extra head", Bullet, OwnClone, 0, 0, false},
      {"laser, corner of its square", Laser, OtherHead, 3.9, 3.9, true},
      {"laser, edge of its square", Laser, OtherHead, 4, 0, false},
      {"laser, other extra head", Laser, OtherClone, -3, 2, true},
      {"laser, own head", Laser, OwnHead, 0, 0, false},
      {"virus, other head inside 6", Virus, OtherHead, 5.9, 0, true},
      {"virus, protected head", Virus, OtherHead, 0, 0, false, true},
      {"virus, protected worm's extra head", Virus, OtherClone, 0, 0, false, true},
      {"virus, own head", Virus, OwnHead, 0, 0, false},
      {"virus, own extra head", Virus, OwnClone, 0, 0, false},
      {"rocket, protected head is still hit", Rocket, OtherHead, 6.5, 0, true, true},
      {"rocket, own head", Rocket, OwnHead, 0, 0, false},
      {"atomic blast, own head inside 50", Atomic, OwnHead, 49, 0, true},
      {"atomic blast, other head at 50", Atomic, OtherHead, 0, 50, false},
  };
  const double px = 300, py = 200;
  for (const Case& c : cases) {
    Match m;
    TCerv& owner = m.Start(0, 100, 100, 0);
    TCerv& other = m.Start(1, 500, 350, 0);
    other.virusImmune = other.rocketImmune = c.immune;
    TCerv& t = c.target == OtherHead || c.target == OtherClone ? other : owner;
    if (c.target == OtherHead || c.target == OwnHead) {
      t.headX = px + c.dx;
      t.headY = py + c.dy;
    } else {
      t.cloneAlive[2] = 1;
      t.cloneX[2] = px + c.dx;
      t.cloneY[2] = py + c.dy;
    }
    switch (c.weapon) {
      case Fireball:
        owner.fireballActive = 1;
        owner.fireballX = px;
        owner.fireballY = py;
        UpdateFireballHits(m.g);
        break;
      case Bullet:
        owner.bulletActive[3] = 1;
        owner.bulletX[3] = px;
        owner.bulletY[3] = py;
        UpdateBulletHits(m.g);
        break;
      case Laser:
        owner.laserActive = 1;
        for (Look& b : owner.laserBeam) {
          b.x = 700;  // all but beam 2 far away
          b.y = 700;
        }
        owner.laserBeam[2].x = static_cast<float>(px + 16);
        owner.laserBeam[2].y = static_cast<float>(py + 56);
        UpdateLaserHits(m.g);
        break;
      case Virus:
        owner.virusActive[7] = 1;
        owner.virusX[7] = px;
        owner.virusY[7] = py;
        owner.virusAnimPeriod[7] = 0.03;
        UpdateViruses(m.g, 0.0);  // no time, no walk
        break;
      case Rocket:
        owner.rocketActive = owner.rocketFlying = 1;
        owner.missileX = px;
        owner.missileY = py;
        owner.rocketLeadX = owner.rocketTargetX = px;
        owner.rocketLeadY = owner.rocketTargetY = py - 100;
        UpdateRockets(m.g, 0.0);
        break;
      case Atomic:
        owner.atomicActive = 1;
        owner.missileX = px;
        owner.missileY = py;
        owner.missileFrame = 11;  // in the blast
        UpdateAtomicBombs(m.g, 0.0);
        break;
    }
    bool hit = c.target == OtherHead || c.target == OwnHead ? !t.alive : !t.cloneAlive[2];
    EXPECT_EQ(hit, c.wantHit) << c.name;
    if (c.weapon == Rocket) {
      EXPECT_EQ(owner.rocketFlying == 0, c.wantHit) << c.name;
    }
  }
}

TEST(Projectiles, AFireballThroughTwoWormsKillsBothAndFliesOn) {
  Match m;
  TCerv& owner = m.Start(0, 100, 100, 0, WormKind::Killer);
  TCerv& a = m.Start(1, 304, 200, 90);
  TCerv& b = m.Start(2, 298, 203, 90);
  owner.fireballActive = 1;
  owner.fireballX = 298;
  owner.fireballY = 200;
  m.g.FrameDelta = 0.01;
  ProjectileUpdate(m.g);  // moves 1.5 to x 299.5 first
  EXPECT_FALSE(a.alive);
  EXPECT_FALSE(b.alive);
  EXPECT_TRUE(owner.fireballActive);
  EXPECT_NEAR(owner.fireballX, 299.5, 1e-9);
}

TEST(Projectiles, FireballsAndBulletsAreRetiredOnceTheyLeaveTheScreen) {
  Match m;
  TCerv& owner = m.Start(0, 100, 100, 0, WormKind::Killer);
  owner.fireballActive = 1;
  owner.fireballLook.visible = true;
  owner.fireballX = 633.9;  // view x 649.9: out after this frame's 1.5
  owner.fireballY = 200;
  owner.fireballHeading = 0;
  owner.bulletActive[0] = owner.bulletActive[1] = 1;
  owner.bulletX[0] = owner.bulletX[1] = 300;
  owner.bulletY[0] = -65.5;  // view y -9.5, out after this frame's 1.1 upwards
  owner.bulletY[1] = -64.5;  // view y -8.5: still in at -9.6
  owner.bulletHeading[0] = owner.bulletHeading[1] = 270;
  ProjectileUpdate(m.g);
  EXPECT_FALSE(owner.fireballActive);
  EXPECT_FALSE(owner.fireballLook.visible);
  EXPECT_FALSE(owner.bulletActive[0]);
  EXPECT_TRUE(owner.bulletActive[1]);
  EXPECT_TRUE(AnyBulletActive(m.g, 0));
}

TEST(Projectiles, ALaserStaysUntilAllFourBeamsAreOutAndBurnsAlongAllFour) {
  Match m;
  TCerv& w = m.Start(0, 590, 200, 0, WormKind::LaserShooter);
  w.fireHeld = 1;
  AbilityAction(m.g, w, 0.01);
  // Beam 0 leaves the screen first, right beside the right edge.
  for (int i = 0; i < 60; ++i) ProjectileUpdate(m.g);
  EXPECT_GT(w.laserBeam[0].x, 650);
  EXPECT_TRUE(w.laserActive);
  m.g.ArenaMap.At(300, 200) = 3;
  m.g.ArenaMap.At(590, 60) = 3;
  int frames = 0;
  while (w.laserActive && frames < 2000) {
    ProjectileUpdate(m.g);
    ++frames;
  }
  EXPECT_EQ(m.g.ArenaMap.At(300, 200), EmptyCell);  // burnt by the left beam
  EXPECT_EQ(m.g.ArenaMap.At(590, 60), EmptyCell);   // and by the upward one
  EXPECT_FALSE(w.laserActive);
  for (Look& b : w.laserBeam) EXPECT_FALSE(b.visible);
}

TEST(Projectiles, BurningAtTheArenaEdgeStaysInsideTheGrid) {
  struct Case {
    const char* name;
    std::function<void(Match&, TCerv&)> run;
    int wantBurnt;  // cells of the filled grid turned empty
  } cases[] = {
      {"fireball in the top-left corner: 6 by 6 of its 11 by 11",
       [](Match& m, TCerv& w) {
         w.fireballActive = 1;
         w.fireballX = w.fireballY = 0;
         UpdateFireballHits(m.g);
       },
       36},
      {"bullet past the right edge: 3 columns of 9",
       [](Match& m, TCerv& w) {
         w.bulletActive[0] = 1;
         w.bulletX[0] = 609;
         w.bulletY[0] = 200;
         UpdateBulletHits(m.g);
       },
       27},
      {"virus in the bottom-right corner",
       [](Match& m, TCerv& w) {
         w.virusActive[0] = 1;
         w.virusX[0] = 607;
         w.virusY[0] = 407;
         UpdateViruses(m.g, 0.0);
       },
       36},
      {"laser beams just left of the arena: one column of the horizontal beams",
       [](Match& m, TCerv& w) {
         w.laserActive = 1;
         for (Look& b : w.laserBeam) {
           b.x = -5 + 16;
           b.y = 200 + 56;
         }
         UpdateLaserHits(m.g);
       },
       5},
      {"atomic blast in the corner: a quarter disc",
       [](Match& m, TCerv& w) {
         w.atomicActive = 1;
         w.missileX = w.missileY = 0;
         w.missileFrame = 204;
         w.missileTime = 0.3;  // the last warning step is over
         UpdateAtomicBombs(m.g, 0.0);
       },
       2006},
      {"infernal fire over the left edge",
       [](Match& m, TCerv& w) {
         w.kind = WormKind::WInfernal;
         w.nextX = 5;
         w.infernalAngle = {180, 180};
         w.infernalOn = 1;
         m.g.FrameDelta = 0;
         ContinuousEffects(m.g, w, 0.0);
       },
       0},
  };
  for (const Case& c : cases) {
    Match m;
    TCerv& w = m.Start(0, 300, 200, 0);
    m.g.ArenaMap.cells.fill(7);
    c.run(m, w);
    EXPECT_EQ(m.CellsOf(EmptyCell), c.wantBurnt) << c.name;
  }
}

// ------------------------------------------------------------ rockets and bombs

TEST(Rockets, WithNoEligibleTargetTheRocketExplodesThreeHundredAhead) {
  struct Case {
    const char* name;
    std::function<void(Match&)> others;
  } cases[] = {
      {"alone", [](Match&) {}},
      {"the others dead",
       [](Match& m) {
         m.Start(1, 300, 200, 0);
         m.g.Worm(1).alive = 0;
       }},
      {"the others protected",
       [](Match& m) {
         m.Start(1, 200, 300, 0).rocketImmune = 1;
         m.Start(2, 150, 100, 0).rocketImmune = 1;
       }},
  };
  for (const Case& c : cases) {
    Match m;
    TCerv& w = m.Start(0, 100, 200, 0, WormKind::RocketLauncher);
    c.others(m);
    nastavsprity(m.g);
    w.fireHeld = 1;
    AbilityAction(m.g, w, 0.01);
    EXPECT_TRUE(w.rocketActive) << c.name;
    EXPECT_NEAR(w.rocketTargetX, 400, 1e-9) << c.name;
    int frames = 0;
    while (w.rocketFlying && frames < 3000) {
      UpdateRockets(m.g, 0.01);
      ++frames;
    }
    EXPECT_FALSE(w.rocketFlying) << c.name;
    EXPECT_TRUE(w.rocketActive) << c.name;  // exploding
    EXPECT_NEAR(w.missileX, 400, 2) << c.name;
    EXPECT_NEAR(w.missileY, 200, 2) << c.name;
    EXPECT_EQ(w.missileLook.library, LibGLMLrocket) << c.name;
    // 25 explosion frames of 0.03 s, whatever the game speed.
    m.g.GlobalSpeed = 150;
    for (int i = 0; i < 70; ++i) UpdateRockets(m.g, 0.01);
    EXPECT_TRUE(w.rocketActive) << c.name;
    for (int i = 0; i < 10; ++i) UpdateRockets(m.g, 0.01);
    EXPECT_FALSE(w.rocketActive) << c.name;
    EXPECT_FALSE(w.missileLook.visible) << c.name;
    EXPECT_EQ(w.missileLook.library, LibGlmlshots) << c.name;
  }
}

TEST(Rockets, TheRocketHomesOnTheNearestHeadAndKillsIt) {
  Match m;
  TCerv& w = m.Start(0, 100, 200, 0, WormKind::RocketLauncher);
  TCerv& far = m.Start(1, 500, 200, 180);
  TCerv& near = m.Start(2, 150, 350, 90);
  w.fireHeld = 1;
  AbilityAction(m.g, w, 0.01);
  EXPECT_EQ(w.rocketTargetX, 150);
  int frames = 0;
  while (w.rocketFlying && frames < 3000) {
    UpdateRockets(m.g, 0.01);
    ++frames;
  }
  EXPECT_FALSE(near.alive);
  EXPECT_TRUE(far.alive);
  EXPECT_TRUE(w.alive);
}

TEST(Rockets, TheAtomicBombWarnsBlastsAndBurnsOnlyOnce) {
  Match m;
  TCerv& w = m.Start(0, 300, 200, 0, WormKind::AtomicBomber);
  TCerv& victim = m.Start(1, 330, 200, 0);
  nastavsprity(m.g);
  w.fireHeld = 1;
  AbilityAction(m.g, w, 0.01);
  EXPECT_TRUE(w.atomicLaunchedNow);
  EXPECT_EQ(w.missileLook.MaterialName(), "target");
  EXPECT_EQ(w.missileLook.width, 48);
  m.g.ArenaMap.At(310, 200) = 1;
  // Five warning steps of 12 / 50 = 0.24 s.
  int frames = 0;
  while (w.missileFrame > 199 && frames < 1000) {
    UpdateAtomicBombs(m.g, 0.01);
    ++frames;
    if (w.missileFrame <= 199) break;
    EXPECT_TRUE(victim.alive);
  }
  EXPECT_NEAR(frames, 121, 1);
  EXPECT_EQ(w.missileFrame, 1);
  EXPECT_TRUE(victim.alive);  // nobody is tested in the frame the blast begins
  EXPECT_EQ(m.g.ArenaMap.At(310, 200), EmptyCell);
  EXPECT_EQ(w.missileLook.height, 192);
  EXPECT_FLOAT_EQ(w.missileLook.y, 200 + 56 - 32);
  m.g.ArenaMap.At(310, 200) = 1;  // a trail drawn into the blast stays
  UpdateAtomicBombs(m.g, 0.01);
  EXPECT_FALSE(victim.alive);
  EXPECT_FALSE(w.alive);  // the bomber sat on its own bomb
  EXPECT_EQ(m.g.ArenaMap.At(310, 200), 1);
  while (w.atomicActive && frames < 3000) {
    UpdateAtomicBombs(m.g, 0.01);
    ++frames;
  }
  EXPECT_FALSE(w.missileLook.visible);
  EXPECT_EQ(w.missileFrame, 101);
}

// ------------------------------------------------------------ viruses

TEST(Viruses, InfesterReleasesARingOfSixteenTowardsTheCentre) {
  Match m;
  TCerv& w = m.Start(3, 100, 100, 0, WormKind::VirusInfester);
  w.virusActive[0] = 1;
  w.fireHeld = 1;
  AbilityAction(m.g, w, 0.01);
  EXPECT_EQ(m.ActiveViruses(w), 17);
  EXPECT_NEAR(w.virusX[1], 124, 1e-9);  // the first free place, at angle 0
  EXPECT_NEAR(w.virusY[5], 124, 1e-9);  // k = 4: 90 degrees
  for (size_t j = 1; j <= 16; ++j) {
    EXPECT_GE(w.virusDriftX[j], 304 - 100 - 100) << j;
    EXPECT_LT(w.virusDriftX[j], 304 - 100 + 100) << j;
    EXPECT_GE(w.virusAnimPeriod[j], 0.02) << j;
    EXPECT_LE(w.virusAnimPeriod[j], 0.06 + 1e-12) << j;
    EXPECT_TRUE(w.virusLook[j].visible);
  }
  EXPECT_EQ(w.virusColour, 'd');
  EXPECT_EQ(w.virusLook[1].MaterialName(), "virus1d");
}

TEST(Viruses, OutsideTheyLapClockwiseAndVanishAtTheBottomLeft) {
  struct Case {
    const char* name;
    double x, y;
    uint8_t state;
    double wantX, wantY;
    uint8_t wantState;
    bool wantAlive = true;
  } cases[] = {
      {"up the left side", -9, 100, 1, -9, 90, 1},
      {"round the top-left corner in one frame", -9, -7, 1, 1, -17, 2},
      {"along the top", 300, -9, 2, 310, -9, 2},
      {"top-right corner: turns, moves down next frame", 615, -9, 2, 625, -9, 3},
      {"down the right side", 625, 100, 3, 625, 110, 3},
      {"bottom-right corner in one frame", 625, 415, 3, 615, 425, 4},
      {"along the bottom", 300, 425, 4, 290, 425, 4},
      {"gone past the bottom-left", -25, 425, 4, -35, 425, 4, false},
      {"not yet gone", -15, 425, 4, -25, 425, 4, true},
  };
  for (const Case& c : cases) {
    Match m;
    TCerv& w = m.Start(0, 300, 200, 0);
    m.g.GlobalSpeed = 150;  // the lap does not scale with the game speed
    w.virusActive[0] = 1;
    w.virusLook[0].visible = true;
    w.virusX[0] = c.x;
    w.virusY[0] = c.y;
    w.virusEdgeState[0] = c.state;
    w.virusAnimPeriod[0] = 0.03;
    UpdateViruses(m.g, 0.1);
    EXPECT_NEAR(w.virusX[0], c.wantX, 1e-9) << c.name;
    EXPECT_NEAR(w.virusY[0], c.wantY, 1e-9) << c.name;
    EXPECT_EQ(w.virusEdgeState[0], c.wantState) << c.name;
    EXPECT_EQ(w.virusActive[0] != 0, c.wantAlive) << c.name;
    EXPECT_EQ(w.virusLook[0].visible, c.wantAlive) << c.name;
  }
}

TEST(Viruses, AVirusLeavingTheArenaStartsItsLapInTheSameFrame) {
  Match m;
  TCerv& w = m.Start(0, 300, 200, 0);
  w.virusActive[0] = 1;
  w.virusX[0] = -7;
  w.virusY[0] = 200;
  w.virusDriftX[0] = -4000;  // the walk takes it out to the left for sure
  w.virusDriftY[0] = 1224 - 1224;
  w.virusAnimPeriod[0] = 0.03;
  UpdateViruses(m.g, 0.1);
  EXPECT_EQ(w.virusEdgeState[0], 1);
  EXPECT_LT(w.virusX[0], -8);
  EXPECT_LT(w.virusY[0], 200 - 10 + 5);  // climbed 10 on top of its walk
}

TEST(Viruses, HeldViralsHomeOnTheControllerAndNeverHurtIt) {
  Match m;
  TCerv& w = m.Start(0, 300, 200, 0, WormKind::VirusController);
  w.fireHeld = 1;
  AbilityAction(m.g, w, 0.01);
  EXPECT_EQ(m.ActiveViruses(w), 24);
  EXPECT_TRUE(w.virusControl);
  EXPECT_TRUE(w.virusFree);
  w.energy = 81;
  AbilityAction(m.g, w, 0.01);  // switch: home
  EXPECT_FALSE(w.virusFree);
  EXPECT_EQ(w.energy, 41);
  for (size_t j = 0; j < 24; ++j) {
    w.virusDriftX[j] = 1824 - 1824;
    w.virusDriftY[j] = 1224 - 1224;
  }
  for (int i = 0; i < 300; ++i) UpdateViruses(m.g, 0.01);
  EXPECT_TRUE(w.alive);
  double mean = 0;
  for (size_t j = 0; j < 24; ++j) mean += std::hypot(w.virusX[j] - 300, w.virusY[j] - 200);
  EXPECT_LT(mean / 24, 20);  // came in from 32
}

TEST(Viruses, FramesRunThroughTheirPicturesInTheOwnersColour) {
  Match m;
  TCerv& w = m.Start(11, 300, 200, 0);
  w.virusActive[0] = 1;
  w.virusX[0] = 300;
  w.virusY[0] = 200;
  w.virusDriftX[0] = 0;
  w.virusDriftY[0] = 0;
  w.virusAnimPeriod[0] = 0.02;
  const char* want = "23454321678987612";
  for (int i = 0; i < 17; ++i) {
    UpdateViruses(m.g, 0.0201);
    EXPECT_EQ(w.virusLook[0].MaterialName(), std::string("virus") + want[i] + "l") << i;
  }
}

// ------------------------------------------------------------ sprites and markers

TEST(Projectiles, RoundStartGivesEverySpriteItsPictureSizeAndHidesIt) {
  Match m;
  m.Start(0, 100, 100, 0, WormKind::RocketLauncher);
  m.Start(1, 100, 100, 0, WormKind::AtomicBomber);
  TCerv& other = m.Start(2, 100, 100, 0, WormKind::Killer);
  other.missileLook.width = 5;
  other.missileLook.visible = true;
  m.g.Worm(0).bulletActive[2] = 1;
  m.g.Worm(1).thickness = 9;
  nastavsprity(m.g);
  const LibraryId shots = LibGlmlshots;
  struct Want {
    const Look* s;
    LibraryId lib;
    float w, h;
    const char* material;
  } wants[] = {
      {&m.g.Worm(0).fireballLook, shots, 16, 16, "shot"},
      {&m.g.Worm(0).ripLook, shots, 16, 16, "rip"},
      {&m.g.Worm(0).missileLook, shots, 24, 24, "rocket1"},
      {&m.g.Worm(1).missileLook, LibGLMLatomic, 96, 64, "01"},
      {&m.g.Worm(0).laserBeam[1], shots, 12, 12, "laserh"},
      {&m.g.Worm(0).laserBeam[3], shots, 12, 12, "laserv"},
      {&m.g.Worm(5).virusLook[64], shots, 12, 12, "virus1a"},
      {&m.g.Worm(11).bulletLook[6], shots, 10, 10, "tripple"},
  };
  for (const Want& w : wants) {
    EXPECT_EQ(w.s->library, w.lib) << w.material;
    EXPECT_EQ(w.s->width, w.w) << w.material;
    EXPECT_EQ(w.s->height, w.h) << w.material;
    EXPECT_EQ(w.s->MaterialName(), w.material);
    EXPECT_FALSE(w.s->visible) << w.material;
  }
  EXPECT_EQ(other.missileLook.width, 5);  // other kinds' missile sprite is only hidden
  EXPECT_FALSE(other.missileLook.visible);
  EXPECT_FALSE(m.g.Worm(0).bulletActive[2]);
  EXPECT_EQ(m.g.Worm(1).thickness, 1);
}

TEST(Projectiles, TheDeathMarkerDriftsShrinksAndGoesAfterOneSecond) {
  Match m;
  TCerv& w = m.Start(0, 300, 200, 90);
  KillWorm(m.g, w);
  ASSERT_TRUE(w.ripLook.visible);
  for (int i = 0; i < 50; ++i) UpdateDeathMarkers(m.g, 0.01);
  EXPECT_NEAR(w.ripLook.width, 12, 1e-4);
  EXPECT_NEAR(w.ripLook.y, 256 + 1.5, 1e-3);
  EXPECT_NEAR(w.ripLook.x, 316, 1e-3);
  for (int i = 0; i < 51; ++i) UpdateDeathMarkers(m.g, 0.01);
  EXPECT_FALSE(w.ripLook.visible);
}

}  // namespace
}  // namespace tdx
