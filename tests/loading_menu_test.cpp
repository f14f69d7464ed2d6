#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/game.h"
#include "app/game_flow.h"
#include "app/startup.h"
#include "match/arena/worm.h"
#include "menu/main_menu.h"
#include "support/game_fixture.h"

using namespace tdx;
using tdx::testing::AddWord;

namespace {

// A game as start-up leaves it, without archives: worms, logo, loading sprites.
struct Flow : ::testing::Test {
  void SetUp() override {
    g.TickerText = BuildTickerText();
    DrawLogoBitmaps(g);
    CreateWorms(g);
    g.LogoSprite = g.scene.CreateSprite();
    g.LogoSprite->visible = false;
    g.PreloadSprite = g.scene.CreateSprite();
    g.PreloadSprite->z = 3000;
    g.TitleSprite = g.scene.CreateSprite();
    g.TitleSprite->visible = false;
    g.phase = GamePhase::Loading;
  }
  void Preload(int n) {
    for (int i = 0; i < n; ++i) g.assets.PreloadTable.push_back({"GLML1", "m" + std::to_string(i)});
    g.assets.PreloadLast = n - 1;
  }
  bool HasWord(const std::string& name) const {
    for (const auto& n : g.menu.MainList().Nodes()) {
      if (n->name == name) return true;
    }
    return false;
  }
  void Step(double now) {
    g.FrameDelta = now - g.Now;
    g.Now = now;
    GameFlowStep(g);
  }
  Game g;
};

}  // namespace

TEST(Ticker, TextIsTheWholeWelcomeAndWormStory) {
  std::string t = BuildTickerText();
  EXPECT_EQ(t.size(), 1091u);
  EXPECT_EQ(t.rfind("welcome to tandrix", 0), 0u);
  EXPECT_EQ(t.substr(t.size() - 15), "control viruses");
  EXPECT_NE(t.find("good luck" + std::string(33, ' ') + "you can use"), std::string::npos);
}

TEST(LoadingLogo, LettersBobBetweenTheTwoBitmaps) {
  Game g;
  DrawLogoBitmaps(g);
  ASSERT_TRUE(g.LogoBitmaps[0] && g.LogoBitmaps[1]);
  EXPECT_EQ(g.LogoBitmaps[0]->width, 148);
  EXPECT_EQ(g.LogoBitmaps[0]->height, 40);
  // The same letters, every second one two cells (8 pixels) lower in the other bitmap.
  auto litRows = [](const Picture& p, int x0, int x1) {
    int top = -1;
    for (int y = 0; y < p.height && top < 0; ++y) {
      for (int x = x0; x < x1; ++x) {
        if (p.rgba[(static_cast<size_t>(y) * p.width + x) * 4 + 3]) {
          top = y;
          break;
        }
      }
    }
    return top;
  };
  int first0 = litRows(*g.LogoBitmaps[0], 12, 24), first1 = litRows(*g.LogoBitmaps[1], 12, 24);
  EXPECT_EQ(first1 - first0, 8);
  int second0 = litRows(*g.LogoBitmaps[0], 28, 40), second1 = litRows(*g.LogoBitmaps[1], 28, 40);
  EXPECT_EQ(second0 - second1, 8);
}

TEST(LoadingLogo, SpellsTheName) {
  Game g;
  DrawLogoBitmaps(g);
  // Both bitmaps drawn as cells ('#' lit), each letter lifted back to the top: the letters
  // must read TANDRIX, the N with its diagonal (a 3-cell N reads as an H).
  const char* want[5] = {
      "...###.###.#..#.##..##..###.#.#......", "....#..#.#.##.#.#.#.#.#..#..#.#......",
      "....#..###.#.##.#.#.##...#...#.......", "....#..#.#.#..#.#.#.#.#..#..#.#......",
      "....#..#.#.#..#.##..#.#.###.#.#......",
  };
  for (int b = 0; b < 2; ++b) {
    SCOPED_TRACE(b);
    const Picture& p = *g.LogoBitmaps[b];
    auto lit = [&](int cx, int cy) {
      return cy < 10 && p.rgba[(static_cast<size_t>(cy * 4) * p.width + cx * 4) * 4 + 3] != 0;
    };
    std::vector<std::string> rows(5, std::string(37, '.'));
    // Letters are runs of lit columns; a letter's top is the first lit row of the run.
    for (int cx = 0; cx < 37;) {
      int end = cx, top = 10;
      for (; end < 37; ++end) {
        int first = 10;
        for (int cy = 0; cy < 10 && first == 10; ++cy) first = lit(end, cy) ? cy : 10;
        if (first == 10) break;
        top = std::min(top, first);
      }
      for (int c = cx; c < end; ++c) {
        for (int r = 0; r < 5; ++r) {
          if (lit(c, top + r)) rows[static_cast<size_t>(r)][static_cast<size_t>(c)] = '#';
        }
      }
      cx = end + 1;
    }
    for (int r = 0; r < 5; ++r) EXPECT_EQ(rows[static_cast<size_t>(r)], want[r]) << "row " << r;
  }
}

TEST_F(Flow, EmptyPreloadTableSkipsTheLoadingScreen) {
  Step(0.01);
  EXPECT_EQ(g.phase, GamePhase::LoadingDone);
  EXPECT_FALSE(HasWord("loading"));
  Step(0.02);
  EXPECT_EQ(g.phase, GamePhase::MainMenuBuild);
  EXPECT_FALSE(g.PreloadSprite->visible);
  EXPECT_EQ(g.LogoSprite, nullptr);
}

TEST_F(Flow, OneEntryShowsTheLoadingScreenForOneFrame) {
  Preload(1);
  Step(0.01);
  EXPECT_TRUE(HasWord("loading"));
  EXPECT_TRUE(HasWord("please_wait"));
  EXPECT_EQ(g.phase, GamePhase::LoadingDone);
  Step(0.02);
  EXPECT_EQ(g.phase, GamePhase::MainMenuBuild);
  EXPECT_TRUE(g.menu.MainList().Empty());
}

TEST_F(Flow, PreloadSpriteTouchesEveryMaterialAndKeepsUnlistedLibraries) {
  g.assets.PreloadTable = {
      {"GLMLshots", "fireball"}, {"GLMLtele", "tele01"}, {"glmlmyst", "myst00"}};
  g.assets.PreloadLast = 2;
  Step(0.01);
  EXPECT_EQ(g.PreloadSprite->Library(), &g.scene.Library(LibGlmlshots));
  Step(0.02);
  EXPECT_EQ(g.PreloadSprite->Library(), &g.scene.Library(LibGlmlshots));  // not in the list
  EXPECT_EQ(g.PreloadSprite->MaterialName(), "tele01");
  Step(0.03);
  EXPECT_EQ(g.PreloadSprite->Library(), &g.scene.Library(LibGLMLMyst));
}

TEST_F(Flow, LogoSwapsEverySixTenthsOfASecond) {
  Preload(200);
  std::vector<double> swaps;
  std::string shown = "1";
  for (int f = 1; f <= 150; ++f) {
    Step(f * 0.01);
    if (g.LogoSprite->MaterialName() != shown) {
      shown = g.LogoSprite->MaterialName();
      swaps.push_back(g.Now);
    }
  }
  ASSERT_EQ(swaps.size(), 2u);
  EXPECT_NEAR(swaps[0], 0.62, 1e-9);
  EXPECT_NEAR(swaps[1], 1.23, 1e-9);
  // The loading logo's materials make black transparent.
  const Material* m = g.scene.Library(LibGLMLloading).Find("1");
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->imageAlpha, ImageAlpha::SuperBlackTransparent);
}

namespace {

struct MainMenuFlow : Flow {
  void SetUp() override {
    Flow::SetUp();
    for (const char* w :
         {"deathmatch", "team_deathmatch", "set_up", "about", "quit", "glscene", "plonquet",
          "copyright", "select_more_players", "select_more_teams", "empty", "about_pic"}) {
      AddWord(g, w, 100, 16, 100, 16);
    }
    for (char c = 'a'; c <= 'z'; ++c) AddWord(g, std::string(1, c), 10, 12, 10, 12);
    for (auto& p : g.settings.players) {
      p.controller = CtrlOff;
      p.team = 1;
    }
    g.phase = GamePhase::MainMenuBuild;
    Step(0.01);
  }
  void PointAt(int tag) {
    const TMenuVrchol* n = g.menu.MainList().FindTag(tag);
    ASSERT_NE(n, nullptr);
    g.menu.MouseX = n->x + 5;
    g.menu.MouseY = n->y + 5;
  }
  bool Shown(int tag) const { return g.menu.MainList().FindTag(tag)->sprite->visible; }
};

}  // namespace

TEST_F(MainMenuFlow, DeathmatchNeedsTwoPlayersAndTeamDeathmatchTwoTeams) {
  EXPECT_EQ(g.phase, GamePhase::MainMenu);
  EXPECT_FALSE(Shown(kTagMorePlayers));
  g.settings.players[0].controller = CtrlHuman;
  PointAt(kTagDeathmatch);
  g.menu.MouseClicked = true;
  Step(0.02);
  EXPECT_EQ(g.phase, GamePhase::MainMenu);
  EXPECT_TRUE(Shown(kTagMorePlayers));
  // Four players, all on one team: a team match cannot start.
  for (int s : {1, 2, 3}) g.settings.players[s].controller = CtrlCpuIq10;
  PointAt(kTagTeamDeathmatch);
  g.menu.MouseClicked = true;
  Step(0.03);
  EXPECT_EQ(g.phase, GamePhase::MainMenu);
  EXPECT_TRUE(Shown(kTagMoreTeams));
  g.settings.players[3].team = 2;
  g.menu.MouseClicked = true;
  Step(0.04);
  EXPECT_EQ(g.phase, GamePhase::RoundStart);
  EXPECT_EQ(g.match.TeamMode, 1);
  EXPECT_EQ(g.menu.TickerSprites[0], nullptr);  // the ticker is gone with the menu
}

TEST_F(MainMenuFlow, AMatchEndedForTooFewPlayersIsSaidAsAtItsStart) {
  // Back from a match clicked from the menu: the warning word shows.
  g.menu.TooFewWarning = 2;
  Step(0.02);
  EXPECT_EQ(g.phase, GamePhase::MainMenu);
  EXPECT_TRUE(Shown(kTagMoreTeams));
  EXPECT_EQ(g.fatalError, "");
  // Back from a match the command line asked for: nobody reads the menu, so the run ends
  // with the message the command line's own start gives.
  g.menu.StartedFromCommandLine = true;
  g.menu.SetupName = "the recording's set-up";
  g.settings.players[0].controller = CtrlHuman;
  g.menu.TooFewWarning = 1;
  Step(0.03);
  EXPECT_TRUE(g.quitRequested);
  EXPECT_EQ(g.fatalError,
            "deathmatch needs at least two players taking part; the recording's set-up has 1");
}

TEST_F(MainMenuFlow, AboutPictureClosesOnAnyClick) {
  PointAt(kTagAbout);
  g.menu.MouseClicked = true;
  Step(0.02);
  EXPECT_EQ(g.phase, GamePhase::AboutScreen);
  EXPECT_TRUE(g.menu.PopupFrameShown);
  EXPECT_EQ(g.menu.MainList().mode, 2);
  g.menu.MouseX = 320;
  g.menu.MouseY = 200;  // on the picture itself
  g.menu.MouseClicked = true;
  Step(0.03);
  EXPECT_EQ(g.phase, GamePhase::MainMenu);
  EXPECT_FALSE(g.menu.PopupFrameShown);
  EXPECT_FALSE(HasWord("about_pic"));
  EXPECT_EQ(g.menu.MainList().mode, 1);
}

TEST_F(MainMenuFlow, QuitEndsTheProgram) {
  PointAt(kTagQuit);
  g.menu.MouseClicked = true;
  Step(0.02);
  EXPECT_TRUE(g.quitRequested);
  EXPECT_TRUE(g.menu.MainList().Empty());
}

TEST_F(MainMenuFlow, TickerLettersEnterAtTheRightAndLeaveAtTheLeft) {
  // The first letter enters at x 650 as soon as the primer (at 600) is inside the view.
  Step(0.02);
  const Sprite* w = g.menu.TickerSprites[1];
  EXPECT_TRUE(g.menu.TickerInUse[1]);
  EXPECT_EQ(w->MaterialName(), "w");
  EXPECT_FLOAT_EQ(w->width, 16);  // 1.6 times its table size
  EXPECT_FLOAT_EQ(w->height, 19.2f);
  // Every sprite drifts left at 100 pixels a second; run long enough for letters to leave.
  double t = 0.02;
  for (int i = 0; i < 1000; ++i) Step(t += 0.01);
  int inUse = 0;
  for (int i = 0; i < 81; ++i) {
    if (g.menu.TickerInUse[static_cast<size_t>(i)]) {
      ++inUse;
      EXPECT_GE(g.menu.TickerSprites[static_cast<size_t>(i)]->x, -40);
    }
  }
  EXPECT_GT(inUse, 0);
  EXPECT_GT(g.menu.TickerPos, 50);
}

TEST_F(MainMenuFlow, TickerStartsAgainOnceItsLastLetterHasGoneBy) {
  // At the end of the text, or past it (the text got shorter under the ticker), the next
  // letter is the first one again once the last one has crossed to the left.
  g.TickerText = "ab";
  for (int past : {0, 1, 500}) {
    g.menu.TickerPos = 2 + past;
    g.menu.TickerSprites[static_cast<size_t>(g.menu.TickerLast)]->x = 50;
    Step(g.Now + 0.01);
    EXPECT_EQ(g.menu.TickerPos, 0) << past;
    Step(g.Now + 0.01);
    EXPECT_EQ(g.menu.TickerPos, 1) << past;
  }
}
