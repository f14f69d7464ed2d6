#include <gtest/gtest.h>

#include "app/game.h"
#include "app/round_cycle.h"
#include "match/arena/worm.h"
#include "players/input.h"
#include "players/key_names.h"

using namespace tdx;

namespace {

struct InputGame : ::testing::Test {
  void SetUp() override {
    CreateWorms(g);
    for (auto& p : g.settings.players) p.controller = CtrlOff;
    g.phase = GamePhase::Playing;
  }
  TCerv& Human(int slot, WormKind kind, uint8_t l, uint8_t r, uint8_t f) {
    g.settings.players[slot].controller = CtrlHuman;
    TCerv& w = g.Worm(slot);
    w.alive = 1;
    w.kind = kind;
    w.leftKey = l;
    w.rightKey = r;
    w.fireKey = f;
    w.energy = 81;
    return w;
  }
  // One frame of polling with exactly these keys down, then, in play, what the controls do.
  void Frame(std::initializer_list<uint8_t> down) {
    g.input.Polled.fill(0);
    for (uint8_t k : down) g.input.Polled[k] = 1;
    processkeyboard(g);
    if (g.phase == GamePhase::Playing) PlayControls(g);
  }
  Game g;
};

}  // namespace

TEST_F(InputGame, BothTurnKeysSteerStraight) {
  TCerv& w = Human(0, WormKind::Traveller, 37, 39, 38);
  Frame({37});
  EXPECT_TRUE(w.turnLeft);
  EXPECT_FALSE(w.turnRight);
  Frame({37, 39});
  EXPECT_FALSE(w.turnLeft);
  EXPECT_FALSE(w.turnRight);
  Frame({39});
  EXPECT_TRUE(w.turnRight);
}

TEST_F(InputGame, FireHeldOnlyOnPressForOneShotKindsAndWhileHeldForHeldKinds) {
  TCerv& killer = Human(0, WormKind::Killer, 37, 39, 38);
  TCerv& speeder = Human(1, WormKind::Speeder, 65, 68, 87);
  Frame({38, 87});
  EXPECT_TRUE(killer.fireHeld);
  EXPECT_TRUE(speeder.fireHeld);
  Frame({38, 87});
  EXPECT_FALSE(killer.fireHeld);
  EXPECT_TRUE(speeder.fireHeld);
  Frame({});
  EXPECT_FALSE(speeder.fireHeld);
}

TEST_F(InputGame, KeyHeldThroughTheCountdownFiresInTheFirstPlayingFrame) {
  TCerv& w = Human(0, WormKind::Killer, 37, 39, 38);
  g.phase = GamePhase::ShowingGo;
  Frame({38});
  Frame({38});
  g.phase = GamePhase::Playing;
  g.input.ForgetHeldKeys = true;
  Frame({38});
  EXPECT_TRUE(w.fireHeld);
  EXPECT_FALSE(g.input.ForgetHeldKeys);
}

TEST_F(InputGame, StopperFreezesOthersOnlyWithEnergyAndOnlyOtherTeamsInTeamPlay) {
  TCerv& stopper = Human(0, WormKind::Stopper, 37, 39, 38);
  TCerv& mate = Human(1, WormKind::Traveller, 65, 68, 87);
  TCerv& foe = Human(2, WormKind::Traveller, 74, 76, 73);
  g.settings.players[0].team = 1;
  g.settings.players[1].team = 1;
  g.settings.players[2].team = 2;
  stopper.energy = 1.0;
  Frame({38});
  EXPECT_TRUE(stopper.fireHeld);
  EXPECT_FALSE(mate.stopped);
  EXPECT_FALSE(foe.stopped);
  stopper.energy = 50;
  Frame({38});  // hold
  EXPECT_TRUE(mate.stopped);
  EXPECT_EQ(foe.stoppedBy, 0);
  g.match.TeamMode = 1;
  Frame({38});
  EXPECT_FALSE(mate.stopped);
  EXPECT_TRUE(foe.stopped);
  Frame({});  // released: nobody stays frozen
  EXPECT_FALSE(foe.stopped);
}

TEST_F(InputGame, EscapeReleasedLeavesAComputerOnlyMatch) {
  g.settings.players[0].controller = CtrlCpuIq10;
  g.Worm(0).alive = 1;
  Frame({VK_Escape});
  Frame({VK_Escape});
  EXPECT_EQ(g.phase, GamePhase::Playing);  // held: nothing yet
  Frame({});
  EXPECT_EQ(g.phase, GamePhase::BackToMenu);
  // With a person playing, Escape does nothing.
  g.phase = GamePhase::Playing;
  Human(1, WormKind::Traveller, 37, 39, 38);
  Frame({VK_Escape});
  Frame({});
  EXPECT_EQ(g.phase, GamePhase::Playing);
}

TEST_F(InputGame, InfernalSoundGateOpensAgainOnlyAfterItsPause) {
  TCerv& w = Human(0, WormKind::WInfernal, 37, 39, 38);
  g.gates.InfernalSoundReady = true;
  g.Now = 10.0;
  Frame({38});
  EXPECT_FALSE(g.gates.InfernalSoundReady);  // sound played, gate closed until 10.3
  EXPECT_TRUE(w.infernalOn);
  Frame({});
  EXPECT_FALSE(w.infernalOn);
  g.Now = 10.2;
  Frame({38});
  EXPECT_FALSE(g.gates.InfernalSoundReady);
  Frame({});
  g.Now = 10.4;
  Frame({38});
  EXPECT_TRUE(g.gates.InfernalSoundReady);  // re-armed, silent on this press
}

TEST_F(InputGame, KeyCaptureSeesOneKeyJustReleased) {
  g.phase = GamePhase::CaptureLeftKey;
  Frame({65});
  Frame({});
  EXPECT_TRUE(SingleKeyDown(g));
  EXPECT_TRUE(NoKeyDown(g));
  EXPECT_EQ(LastKeyDown(g), 65);
  Frame({65, 66});
  Frame({});
  EXPECT_FALSE(SingleKeyDown(g));
  EXPECT_EQ(LastKeyDown(g), 66);
}

TEST(KeyNames, LinePairsParseSafely) {
  auto t = ParseKeyNames("37\r\nleft\r\nabc\nmystery\n300\nwrapped\n\n65\nafter_blank\n");
  ASSERT_EQ(t.size(), 3u);
  EXPECT_EQ(t[0].code, 37);
  EXPECT_EQ(t[0].name, "left");
  EXPECT_EQ(t[1].code, 0);  // not a number
  EXPECT_EQ(t[2].code, 300 & 0xFF);
  std::string many;
  for (int i = 0; i < 400; ++i) many += std::to_string(i % 256) + "\nk" + std::to_string(i) + "\n";
  EXPECT_EQ(ParseKeyNames(many).size(), 256u);
}

TEST(KeyNames, KnownCodesShowTheirNameUnknownOnesF12AndNoKeyNothing) {
  Game g;
  // "abc" is not a number and reads as code 0; it must not name "no key".
  g.input.KeyNameTable = ParseKeyNames("37\nleft\nabc\nmystery\n39\nright\n");
  struct Case {
    uint8_t code;
    const char* name;
  } cases[] = {{39, "right"}, {37, "left"}, {200, "f12"}, {0, ""}};
  for (const Case& c : cases) EXPECT_EQ(KeyName(g, c.code), c.name) << int(c.code);
  g.input.KeyNameTable.clear();
  EXPECT_EQ(KeyName(g, 0), "");
  EXPECT_EQ(KeyName(g, 65), "f12");
}
