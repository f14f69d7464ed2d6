#include <gtest/gtest.h>

#include "app/game.h"
#include "display/hud.h"
#include "match/round.h"
#include "support/game_fixture.h"

using namespace tdx;

namespace {

struct HudGame : ::testing::Test {
  void SetUp() override {
    for (auto& p : g.settings.players) {
      p.controller = CtrlOff;
      p.team = 1;
    }
    g.settings.game.showGameNumber = g.settings.game.showGameTime = 1;
    g.settings.game.showRealTime = g.settings.game.showScore = 1;
  }
  void Play(int slot, int team = 1) {
    g.settings.players[slot].controller = CtrlHuman;
    g.settings.players[slot].team = static_cast<uint8_t>(team);
  }
  // Visible digits of a group, left to right, as text with their x positions.
  static std::string Shown(const std::vector<Sprite*>& digits, std::vector<float>* xs = nullptr) {
    std::vector<const Sprite*> v;
    for (const Sprite* s : digits) {
      if (s->visible) v.push_back(s);
    }
    std::sort(v.begin(), v.end(), [](const Sprite* a, const Sprite* b) { return a->x < b->x; });
    std::string text;
    for (const Sprite* s : v) {
      text += s->MaterialName();
      if (xs) xs->push_back(s->x);
    }
    return text;
  }
  Game g;
};

}  // namespace

TEST_F(HudGame, NumbersLayOutFromTheirBaseX) {
  Play(0);
  Play(1);
  BuildHud(g);
  struct Case {
    int rounds;
    const char* text;
    std::vector<float> xs;
  } cases[] = {{1000, "1000", {260, 272, 284, 296}}, {7, "7", {260}}, {42, "42", {260, 272}}};
  for (const Case& c : cases) {
    g.match.RoundsLeft = c.rounds;
    UpdateGameNumber(g);
    std::vector<float> xs;
    EXPECT_EQ(Shown(g.hud.roundsDigits, &xs), c.text);
    EXPECT_EQ(xs, c.xs);
  }
  // Game time: five digits at most, the last five of a longer number.
  g.match.RoundStartTime = 0;
  g.Now = 123456.4;
  UpdateGameTime(g);
  EXPECT_EQ(Shown(g.hud.gameTimeDigits), "23456");
  g.Now = 2.5;  // halves round to even
  UpdateGameTime(g);
  EXPECT_EQ(Shown(g.hud.gameTimeDigits), "2");
}

TEST_F(HudGame, MatchTakesRoundsFromScoreLimitAndRemoveFreesEverything) {
  Play(0);
  Play(3);
  Play(5);
  size_t before = g.scene.Sprites().size();
  g.settings.game.scoreLimit = 8;  // out of the table: the longest match
  BeginMatch(g, 0);
  EXPECT_EQ(g.match.RoundsLeft, 1000);
  BuildHud(g);
  EXPECT_EQ(g.hud.markers.size(), 3u);
  RemoveHud(g);
  // Only the caption words remain (they belong to the word list).
  EXPECT_EQ(g.scene.Sprites().size(), before + g.menu.MainList().Count());
}

TEST_F(HudGame, ScoreboardRanksByWinsAndKeepsSlotOrderOnTies) {
  for (int s : {1, 4, 7}) Play(s);
  g.match.RoundWins = {};
  g.match.RoundWins[1] = 2;
  g.match.RoundWins[4] = 5;
  g.match.RoundWins[7] = 2;
  EXPECT_EQ(PlayerAtRank(g, 0), 4);
  EXPECT_EQ(PlayerAtRank(g, 1), 1);
  EXPECT_EQ(PlayerAtRank(g, 2), 7);
  EXPECT_EQ(PlayerAtRank(g, 3), -1);
  BuildHud(g);
  UpdateScores(g);
  EXPECT_EQ(g.hud.markers[0]->MaterialName(), ColourName(4));
  EXPECT_EQ(g.hud.markers[2]->MaterialName(), ColourName(7));
  std::vector<float> xs;
  EXPECT_EQ(Shown(g.hud.scoreDigits[1], &xs), "2");
  EXPECT_EQ(xs, std::vector<float>{195 + 37});
}

TEST_F(HudGame, TeamsCountOnlyTakingPartSlots) {
  Play(0, 2);
  Play(1, 2);
  Play(2, 4);
  g.settings.players[3].team = 3;  // off: does not count
  EXPECT_EQ(TeamCount(g), 2);
  EXPECT_EQ(NthUsedTeam(g, 0), 1);
  EXPECT_EQ(NthUsedTeam(g, 1), 3);
  EXPECT_EQ(NthUsedTeam(g, 2), -1);
  g.match.TeamMode = 1;
  g.match.TeamWins = {0, 1, 0, 3};
  EXPECT_EQ(TeamAtRank(g, 0), 3);
  BuildHud(g);
  UpdateScores(g);
  EXPECT_EQ(g.hud.teamNumbers[0]->MaterialName(), "4");
}

TEST_F(HudGame, ClockShowsHoursAndMinutes) {
  Play(0);
  BuildHud(g);
  std::tm t{};
  t.tm_year = 126;
  t.tm_mon = 0;
  t.tm_mday = 1;
  t.tm_hour = 9;
  t.tm_min = 5;
  t.tm_isdst = -1;
  long long when = static_cast<long long>(std::mktime(&t));
  g.clockTime = [when] { return when; };
  UpdateRealTime(g);
  std::vector<float> xs;
  EXPECT_EQ(Shown(g.hud.realTimeDigits, &xs), "0905");
  EXPECT_EQ(xs, (std::vector<float>{596, 608, 627, 639}));
}

TEST(ColourNames, SpellTheSlotColourAsRedGreenBlue) {
  EXPECT_EQ(ColourName(0), "c00ff00");
  EXPECT_EQ(ColourName(1), "cff0000");
  EXPECT_EQ(ColourName(6), "c00ff80");
  EXPECT_EQ(ColourName(11), "c8000ff");
}
