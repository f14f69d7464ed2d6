#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "app/game.h"
#include "assets/catalogue.h"
#include "display/hud.h"
#include "match/round.h"
#include "support/game_fixture.h"

namespace fs = std::filesystem;

using namespace tdx;

namespace {

// The display as the game always drew it; the readable layout has tests of its own.
struct HudGame : ::testing::Test {
  void SetUp() override {
    g.presentation.classic = true;
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

namespace {

// How a group of sprites stands: its size, its y and its sprites' x from the left.
struct Placed {
  float size, y;
  std::vector<float> xs;
};
Placed PlacedOf(const std::vector<Sprite*>& sprites) {
  Placed p{-1, -1, {}};
  for (const Sprite* s : sprites) {
    if (!s->visible) continue;
    p.size = s->width;
    p.y = s->y;
    p.xs.push_back(s->x);
  }
  std::sort(p.xs.begin(), p.xs.end());
  return p;
}
void ExpectPlaced(const std::vector<Sprite*>& sprites, const Placed& want) {
  const Placed got = PlacedOf(sprites);
  EXPECT_FLOAT_EQ(got.size, want.size);
  EXPECT_FLOAT_EQ(got.y, want.y);
  EXPECT_EQ(got.xs, want.xs);
}

// Nine past nine in the morning, local time.
long long NinePastNine() {
  std::tm t{};
  t.tm_year = 126;
  t.tm_mday = 1;
  t.tm_hour = 9;
  t.tm_min = 9;
  t.tm_isdst = -1;
  return static_cast<long long>(std::mktime(&t));
}

// The readable display: the game's pictures at their own size.
struct ReadableHud : HudGame {
  void SetUp() override {
    HudGame::SetUp();
    g.presentation.classic = false;
    const long long when = NinePastNine();
    g.clockTime = [when] { return when; };
  }
  void Update() {
    UpdateGameNumber(g);
    UpdateGameTime(g);
    UpdateRealTime(g);
    UpdateScores(g);
  }
};

}  // namespace

TEST_F(HudGame, ClassicDisplayKeepsTheGamesOwnSizesAndPlaces) {
  const long long when = NinePastNine();
  g.clockTime = [when] { return when; };
  for (int s : {0, 1, 2}) Play(s, s == 2 ? 3 : 1);
  g.match.RoundsLeft = 21;
  g.match.RoundStartTime = 0;
  g.Now = 7;
  g.match.RoundWins = {};
  g.match.RoundWins[1] = 12;
  g.match.TeamWins = {3, 0, 0, 0};
  for (int teams : {0, 1}) {
    SCOPED_TRACE(teams ? "teams" : "free for all");
    g.match.TeamMode = teams;
    BuildHud(g);
    UpdateGameNumber(g);
    UpdateGameTime(g);
    UpdateRealTime(g);
    UpdateScores(g);
    const HudState& h = g.hud;
    ExpectPlaced(h.roundsDigits, {32, 20, {260, 272}});
    ExpectPlaced(h.gameTimeDigits, {32, 20, {450}});
    ExpectPlaced(h.realTimeDigits, {32, 20, {596, 608, 627, 639}});
    ExpectPlaced({h.colon}, {16, 12, {611}});
    EXPECT_EQ(h.colon->MaterialName(), "dvojbodka");
    if (!teams) {
      ExpectPlaced(h.markers, {12, 28, {190, 227, 264}});
      ExpectPlaced(h.scoreDigits[0], {24, 48, {195, 203}});  // the leader's 12
      ExpectPlaced(h.scoreDigits[2], {24, 48, {195 + 74}});
    } else {
      ExpectPlaced(h.teamCaptions, {51.2f, 35, {210, 297}});
      EXPECT_FLOAT_EQ(h.teamCaptions[0]->height, 25.6f);
      ExpectPlaced(h.teamNumbers, {32, 38, {246, 333}});
      EXPECT_EQ(h.teamNumbers[0]->MaterialName(), "1");
      EXPECT_EQ(h.teamNumbers[1]->MaterialName(), "3");
      ExpectPlaced(h.scoreDigits[0], {24, 48, {198}});
      ExpectPlaced(h.scoreDigits[1], {24, 48, {198 + 87}});
    }
    RemoveHud(g);
    g.menu.MainList().Clear();
  }
}

TEST_F(ReadableHud, NumbersUseTheirPicturesSizeAndTheClockStaysInTheView) {
  Play(0);
  Play(1);
  BuildHud(g);
  struct Case {
    int rounds;
    std::vector<float> xs;
  } cases[] = {{1000, {260, 269, 278, 287}}, {7, {260}}, {42, {260, 269}}};
  for (const Case& c : cases) {
    g.match.RoundsLeft = c.rounds;
    Update();
    ExpectPlaced(g.hud.roundsDigits, {16, 12, c.xs});
  }
  g.match.RoundStartTime = 0;
  g.Now = 123456.4;
  Update();
  EXPECT_EQ(Shown(g.hud.gameTimeDigits), "23456");
  ExpectPlaced(g.hud.gameTimeDigits, {16, 12, {450, 459, 468, 477, 486}});
  EXPECT_EQ(Shown(g.hud.realTimeDigits), "0909");
  ExpectPlaced(g.hud.realTimeDigits, {16, 12, {593, 601, 615, 623}});
  for (const Sprite* d : g.hud.realTimeDigits) EXPECT_LE(d->x + d->width / 2, 640);
  ExpectPlaced({g.hud.colon}, {16, 8, {603}});
}

TEST_F(ReadableHud, ScoresSitUnderTheirPlayersSquareOrTheirTeamsBadge) {
  // Wins of the leader; the number is centred under its square or badge.
  struct Case {
    int wins;
    std::vector<float> offsets;  // of the digits from the middle
  } cases[] = {{0, {0}}, {7, {0}}, {42, {-4, 4}}, {100, {-8, 0, 8}}, {1000, {-12, -4, 4, 12}}};
  for (int s = 0; s < 12; ++s) Play(s, 1 + s % 4);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.wins);
    g.match.RoundWins = {};
    g.match.RoundWins[5] = c.wins;
    g.match.TeamWins = {0, 0, c.wins, 0};
    for (int teams : {0, 1}) {
      SCOPED_TRACE(teams ? "teams" : "free for all");
      g.match.TeamMode = teams;
      BuildHud(g);
      Update();
      const HudState& h = g.hud;
      const float middle = teams ? 228 : 190;
      std::vector<float> xs;
      for (float o : c.offsets) xs.push_back(middle + o);
      ExpectPlaced(h.scoreDigits[0], {16, 44, xs});
      if (!teams) {
        ASSERT_EQ(h.markers.size(), 12u);
        if (c.wins > 0) {
          EXPECT_EQ(h.markers[0]->MaterialName(), ColourName(5));
        }
        ExpectPlaced(h.scoreDigits[11], {16, 44, {190 + 11 * 37}});
      } else {
        // A small caption and the team's badge beside it, not a big number.
        ASSERT_EQ(h.teamNumbers.size(), 4u);
        EXPECT_EQ(h.teamNumbers[0]->MaterialName(), c.wins > 0 ? "3c" : "1c");
        ExpectPlaced(h.teamNumbers, {26, 28, {242, 329, 416, 503}});
        ExpectPlaced(h.teamCaptions, {25.6f, 28, {214, 301, 388, 475}});
        EXPECT_EQ(h.teamCaptions[0]->MaterialName(), "team");
        ExpectPlaced(h.scoreDigits[3], {16, 44, {228 + 3 * 87}});
      }
      RemoveHud(g);
      g.menu.MainList().Clear();
    }
  }
}

// With the game's own pictures: nothing the display shows at once runs into anything else,
// leaves the view or reaches down into the arena, whoever plays.
TEST(HudPictures, NothingOverlapsOrLeavesTheStripAboveTheArena) {
  const fs::path data = TANDRIX_GAME_DATA;
  if (!fs::exists(data / "pak" / "items.pak")) GTEST_SKIP() << "no game folder at " << data;
  Game g;
  g.folders = GameFolderAt(data.string());  // read only
  ASSERT_TRUE(LoadAssets(g)) << g.fatalError;
  g.TitleSprite = g.scene.CreateSprite();
  g.TitleSprite->SetMaterial(&g.scene.Library(LibGlmlzorbel), "zorbel");
  const long long when = NinePastNine() + 14 * 3600 + 49 * 60;  // 23:58
  g.clockTime = [when] { return when; };
  GameSetup& s = g.settings.game;
  s.showGameNumber = s.showGameTime = s.showRealTime = s.showScore = 1;

  struct Box {
    std::string name;
    double x0, y0, x1, y1;
  };
  // The solid ink of what a sprite shows, in view pixels: alpha of at least one half, or,
  // for a picture whose black is its transparency, a colour at least half bright.
  auto inkOf = [](const Sprite& sp) {
    const Material* m = sp.ResolvedMaterial();
    EXPECT_NE(m, nullptr) << "no picture for '" << sp.MaterialName() << "'";
    Box b{sp.MaterialName(), 1e9, 1e9, -1e9, -1e9};
    if (!m || !m->picture) return b;
    const Picture& p = *m->picture;
    for (int y = 0; y < p.height; ++y) {
      for (int x = 0; x < p.width; ++x) {
        const uint8_t* px = &p.rgba[(static_cast<size_t>(y) * p.width + x) * 4];
        const bool solid = p.hasAlpha ? px[3] >= 128 : std::max({px[0], px[1], px[2]}) >= 128;
        if (!solid) continue;
        b.x0 = std::min(b.x0, double(x));
        b.y0 = std::min(b.y0, double(y));
        b.x1 = std::max(b.x1, x + 1.0);
        b.y1 = std::max(b.y1, y + 1.0);
      }
    }
    const double kx = sp.width / p.width, ky = sp.height / p.height;
    const double left = sp.x - sp.width / 2.0, top = sp.y - sp.height / 2.0;
    return Box{b.name, left + b.x0 * kx, top + b.y0 * ky, left + b.x1 * kx, top + b.y1 * ky};
  };

  struct Values {
    int rounds, seconds, wins;
  };
  for (const Values v : {Values{8888, 88888, 8888}, Values{1, 1, 0}}) {
    for (int teams : {0, 1}) {
      for (int players = 2; players <= 12; ++players) {
        // In team mode, the players spread over two to four teams.
        const int teamCount = teams ? 2 + players % 3 : 1;
        if (teams && players < teamCount) continue;
        SCOPED_TRACE(std::to_string(players) + " players" +
                     (teams ? ", " + std::to_string(teamCount) + " teams" : "") + ", numbers " +
                     std::to_string(v.wins));
        for (int slot = 0; slot < 12; ++slot) {
          g.settings.players[slot].controller = slot < players ? CtrlCpuIq10 : CtrlOff;
          g.settings.players[slot].team = static_cast<uint8_t>(1 + slot % teamCount);
        }
        g.match.TeamMode = teams;
        g.match.RoundWins.fill(v.wins);
        g.match.TeamWins.fill(v.wins);
        g.match.RoundsLeft = v.rounds;
        g.match.RoundStartTime = 0;
        g.Now = v.seconds;
        BuildHud(g);
        UpdateGameNumber(g);
        UpdateGameTime(g);
        UpdateRealTime(g);
        UpdateScores(g);

        std::vector<Box> shown = {inkOf(*g.TitleSprite)};
        for (const auto& n : g.menu.MainList().Nodes()) shown.push_back(inkOf(*n->sprite));
        const HudState& h = g.hud;
        std::vector<const Sprite*> sprites(h.roundsDigits.begin(), h.roundsDigits.end());
        sprites.insert(sprites.end(), h.gameTimeDigits.begin(), h.gameTimeDigits.end());
        sprites.insert(sprites.end(), h.realTimeDigits.begin(), h.realTimeDigits.end());
        sprites.push_back(h.colon);
        sprites.insert(sprites.end(), h.markers.begin(), h.markers.end());
        sprites.insert(sprites.end(), h.teamCaptions.begin(), h.teamCaptions.end());
        sprites.insert(sprites.end(), h.teamNumbers.begin(), h.teamNumbers.end());
        for (const auto& group : h.scoreDigits)
          sprites.insert(sprites.end(), group.begin(), group.end());
        for (const Sprite* sp : sprites) {
          if (sp->visible) shown.push_back(inkOf(*sp));
        }
        for (size_t i = 0; i < shown.size(); ++i) {
          const Box& a = shown[i];
          EXPECT_TRUE(a.x0 >= 0 && a.y0 >= 0 && a.x1 <= 640 && a.y1 <= 480)
              << "'" << a.name << "' leaves the view: " << a.x0 << "," << a.y0 << " - " << a.x1
              << "," << a.y1;
          // The title logo stands at the arena's corner; the rest keeps above the arena.
          if (i > 0) {
            EXPECT_LE(a.y1, 56) << "'" << a.name << "' reaches into the arena";
          }
          for (size_t j = i + 1; j < shown.size(); ++j) {
            const Box& b = shown[j];
            const bool overlap = a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1;
            EXPECT_FALSE(overlap) << "'" << a.name << "' at (" << a.x0 << ", " << a.y0
                                  << ") runs into '" << b.name << "' at (" << b.x0 << ", " << b.y0
                                  << ")";
          }
        }
        RemoveHud(g);
        g.menu.MainList().Clear();
      }
    }
  }
}
