#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/frame_clock.h"
#include "app/frame_loop.h"
#include "app/game.h"
#include "app/round_cycle.h"
#include "match/arena/worm.h"
#include "support/game_fixture.h"

namespace fs = std::filesystem;
using namespace tdx;

namespace {

// A fresh game whose set-up file lives in its own folder, run frame by frame with a
// fixed clock, every phase change recorded.
struct MatchCycle : ::testing::Test {
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("tdx_round_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
    g.folders = GameFolderAt(dir.string());
    g.matchRng.Seed(7);
    CreateWorms(g);
    for (int i = 0; i < 12; ++i) {
      PlayerSetup& p = g.settings.players[i];
      p.controller = CtrlOff;
      p.kind = static_cast<uint8_t>(WormKind::Traveller);
      p.team = static_cast<uint8_t>(i % 4 + 1);
      p.leftKey = static_cast<uint8_t>(65 + 3 * i);
      p.rightKey = static_cast<uint8_t>(66 + 3 * i);
      p.fireKey = static_cast<uint8_t>(67 + 3 * i);
    }
    GameSetup& s = g.settings.game;
    s.speedMode = 1;
    s.constantSpeed = 9;  // fast rounds
    s.scoreLimit = 0;     // 3 rounds
    s.startPosition = static_cast<uint8_t>(StartPositionRule::Race);
    s.showScore = s.showGameNumber = s.showGameTime = s.showRealTime = 1;
    clock.SetFixedStep(1.0 / 50);
    clock.Enable();
  }
  void TearDown() override { fs::remove_all(dir); }
  void Save() {
    std::string error;
    ASSERT_TRUE(SaveSettings(g.SetupPath(), g.settings, error)) << error;
  }
  void Frame() {
    GamePhase before = g.phase;
    clock.BeginFrame();
    FrameStep(g, clock);
    if (g.phase != before) phases.push_back(g.phase);
    // How each round ended, as its round-over screen shows it: one worm left is a win.
    if (g.phase == GamePhase::RoundOver && before != GamePhase::RoundOver) {
      (AliveCount(g) == 1 ? roundsWon : roundsDrawn) += 1;
    }
  }
  // Runs until the phase is `target` (true) or the frame budget is spent (false).
  bool RunUntil(GamePhase target, int maxFrames = 20000) {
    for (int i = 0; i < maxFrames && g.phase != target; ++i) Frame();
    return g.phase == target;
  }
  fs::path dir;
  Game g;
  FrameClock clock;
  std::vector<GamePhase> phases;
  int roundsWon = 0;
  int roundsDrawn = 0;
};

const std::vector<GamePhase> kOneRound = {
    GamePhase::RoundIntro, GamePhase::ShowThree, GamePhase::ShowingThree, GamePhase::ShowingTwo,
    GamePhase::ShowingOne, GamePhase::ShowingGo, GamePhase::Playing,      GamePhase::RoundOver};

}  // namespace

TEST_F(MatchCycle, ComputerOnlyMatchRunsItsRoundsStraightToTheFinalScreen) {
  for (int s : {0, 5, 9}) g.settings.players[s].controller = CtrlCpuIq0;
  g.settings.game.startPosition = static_cast<uint8_t>(StartPositionRule::IntoTheMiddle);
  Save();
  StartMatch(g, 0);
  EXPECT_EQ(g.match.RoundsLeft, 3);
  ASSERT_TRUE(RunUntil(GamePhase::GameOver));
  std::vector<GamePhase> expected;
  for (int r = 0; r < 3; ++r) {
    expected.insert(expected.end(), kOneRound.begin(), kOneRound.end());
    expected.push_back(r < 2 ? GamePhase::WaitReady : GamePhase::GameOver);
    if (r < 2) expected.push_back(GamePhase::RoundStart);
  }
  EXPECT_EQ(phases, expected);
  EXPECT_EQ(g.match.RoundsLeft, 0);
  // Every round, the last one too, is scored: a win for its winner or a draw.
  int wins = g.match.RoundWins[0] + g.match.RoundWins[5] + g.match.RoundWins[9];
  EXPECT_EQ(roundsWon + roundsDrawn, 3);
  EXPECT_EQ(wins, roundsWon);
  // The final screen offers the way back; the words are selectable.
  ASSERT_NE(g.menu.MainList().FindTag(kTagMessage), nullptr);
  EXPECT_EQ(g.menu.MainList().FindTag(kTagMessage)->name, "main_menu");
}

TEST_F(MatchCycle, WormsThatDieInTheSameFrameDrawTheRound) {
  // Side by side, facing the right wall at one speed, and nobody steers (two people who
  // press nothing): they reach it together.
  for (int s : {0, 1}) g.settings.players[s].controller = CtrlHuman;
  g.settings.game.scoreLimit = 1;
  Save();
  StartMatch(g, 0);
  ASSERT_TRUE(RunUntil(GamePhase::WaitReady));
  EXPECT_EQ(AliveCount(g), 2);  // everyone stands again for the next round
  EXPECT_EQ(g.match.RoundWins[0] + g.match.RoundWins[1], 0);
  ASSERT_NE(g.menu.MainList().FindTag(kTagResult), nullptr);
  EXPECT_EQ(g.menu.MainList().FindTag(kTagResult)->name, "draw_game");
}

TEST_F(MatchCycle, TheLastWormStandingWinsTheRound) {
  for (int s : {2, 3}) g.settings.players[s].controller = CtrlCpuIq0;
  g.settings.game.scoreLimit = 1;
  Save();
  StartMatch(g, 0);
  ASSERT_TRUE(RunUntil(GamePhase::Playing));
  g.Worm(2).heading = 0;
  g.Worm(3).heading = 0;
  g.Worm(3).headX = 200;  // slot 3 hits the wall first
  ASSERT_TRUE(RunUntil(GamePhase::WaitReady));
  EXPECT_EQ(g.match.RoundWins[2], 1);
  EXPECT_EQ(g.match.RoundWins[3], 0);
  EXPECT_EQ(g.menu.MainList().FindTag(kTagWinner)->name, ColourName(2));
}

TEST_F(MatchCycle, EveryRoundsWinIsCountedTheLastOneToo) {
  // People who steer nothing: the worms run where the test points them.
  for (int s : {2, 3}) g.settings.players[s].controller = CtrlHuman;
  Save();
  StartMatch(g, 0);
  for (int round = 1; round <= 3; ++round) {
    ASSERT_TRUE(RunUntil(GamePhase::Playing)) << round;
    g.Worm(2).heading = 0;
    g.Worm(3).heading = 0;
    g.Worm(3).headX = 200;  // slot 3 hits the wall first
    ASSERT_TRUE(RunUntil(round < 3 ? GamePhase::WaitReady : GamePhase::GameOver)) << round;
    EXPECT_EQ(g.match.RoundWins[2], round);
    g.match.ReadyFlags.fill(1);  // both pressed fire
  }
  EXPECT_EQ(roundsWon, 3);
  EXPECT_EQ(g.match.RoundWins[3], 0);
}

TEST_F(MatchCycle, CountdownKeepsItsTimesAndSpeedRampsFromTheRoundStart) {
  for (int s : {0, 1}) g.settings.players[s].controller = CtrlCpuIq0;
  GameSetup& gs = g.settings.game;
  gs.speedMode = 0;
  gs.fromSpeed = 9;  // 150 down to 30: the worms slow down
  gs.toSpeed = 0;
  gs.startPosition = static_cast<uint8_t>(StartPositionRule::IntoTheMiddle);
  Save();
  StartMatch(g, 0);
  Frame();  // RoundStart
  double roundStart = g.match.RoundStartTime;
  ASSERT_TRUE(RunUntil(GamePhase::ShowThree));
  EXPECT_NEAR(g.Now - roundStart, 0.52, 0.021);  // more than 0.5 s of intro
  EXPECT_DOUBLE_EQ(g.GlobalSpeed, 15);
  ASSERT_TRUE(RunUntil(GamePhase::Playing));
  EXPECT_NEAR(g.Now - roundStart, 0.52 + 0.6 * 3 + 0.5, 0.1);
  Frame();
  double t = g.Now - roundStart;
  EXPECT_NEAR(g.GlobalSpeed, 150 + (30 - 150) * t / 10.0, 1e-9);
}

TEST_F(MatchCycle, APersonBecomesReadyOnlyOnAFreshPressOfTheFireKey) {
  g.settings.players[0].controller = CtrlHuman;
  g.settings.players[1].controller = CtrlCpuIq0;
  g.settings.game.scoreLimit = 1;
  Save();
  StartMatch(g, 0);
  ASSERT_TRUE(RunUntil(GamePhase::RoundIntro));
  uint8_t fire = g.Worm(0).fireKey;
  g.input.Polled[fire] = 1;  // held from the round onwards
  ASSERT_TRUE(RunUntil(GamePhase::WaitReady));
  EXPECT_EQ(g.menu.MainList().FindTag(kTagWaiting + 0)->name, "waiting");
  EXPECT_EQ(g.menu.MainList().FindTag(kTagWaiting + 1)->name, "ready");
  for (int i = 0; i < 5; ++i) Frame();
  EXPECT_EQ(g.phase, GamePhase::WaitReady);
  g.input.Polled[fire] = 0;
  Frame();
  Frame();
  g.input.Polled[fire] = 1;
  Frame();
  Frame();
  EXPECT_EQ(g.phase, GamePhase::RoundStart);
}

TEST_F(MatchCycle, MainMenuWordOfTheRoundOverScreenLeadsBackToTheMenu) {
  for (int s : {0, 1}) g.settings.players[s].controller = CtrlHuman;
  g.settings.game.scoreLimit = 1;
  Save();
  StartMatch(g, 0);
  ASSERT_TRUE(RunUntil(GamePhase::WaitReady));
  TMenuVrchol* word = g.menu.MainList().FindTag(kTagMessage);
  ASSERT_NE(word, nullptr);
  g.menu.MouseX = word->x + 2;
  g.menu.MouseY = word->y + 2;
  g.menu.MouseClicked = true;
  ASSERT_TRUE(RunUntil(GamePhase::MainMenu, 10));
  EXPECT_FALSE(g.hud.built);
  EXPECT_EQ(phases[phases.size() - 3], GamePhase::BackToMenu);
}

TEST_F(MatchCycle, AClickDuringPlayDoesNothingLater) {
  for (int s : {0, 1}) g.settings.players[s].controller = CtrlHuman;
  g.settings.game.scoreLimit = 1;
  Save();
  StartMatch(g, 0);
  ASSERT_TRUE(RunUntil(GamePhase::Playing));
  // The pointer rests where "main_menu" will appear and the player clicks during play.
  g.menu.MouseX = 355;
  g.menu.MouseY = 355;
  g.menu.MouseClicked = true;
  ASSERT_TRUE(RunUntil(GamePhase::WaitReady));
  for (int i = 0; i < 5; ++i) Frame();
  EXPECT_EQ(g.phase, GamePhase::WaitReady);
}

TEST_F(MatchCycle, HandEditedValuesOutsideTheirTablesNeverBreakARound) {
  for (int s : {0, 1, 2}) g.settings.players[s].controller = CtrlCpuIq0;
  g.settings.players[0].kind = 30;
  g.settings.players[1].team = 7;
  g.settings.players[2].team = 0;
  g.settings.players[3].controller = 9;  // a computer of an unknown level
  g.settings.players[4].controller = 0;  // below the table: off, never waited for
  g.settings.game.constantSpeed = 12;
  g.settings.game.scoreLimit = 8;
  g.settings.game.startPosition = 9;
  Save();
  StartMatch(g, 1);
  EXPECT_EQ(g.match.RoundsLeft, 1000);
  ASSERT_TRUE(RunUntil(GamePhase::WaitReady));
  EXPECT_EQ(g.Worm(0).kind, WormKind::VirusController);
  EXPECT_DOUBLE_EQ(g.GlobalSpeed, 150);
  // Only computers take part, so the next round starts without anyone pressing fire.
  EXPECT_TRUE(RunUntil(GamePhase::RoundStart, 5));
}
