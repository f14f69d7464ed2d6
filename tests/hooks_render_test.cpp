// What the render hooks draw into the two overlay canvases.
#include <gtest/gtest.h>

#include <vector>

#include "app/game.h"
#include "display/hooks.h"
#include "match/arena/worm.h"
#include "menu/settings.h"

namespace tdx {
namespace {

constexpr uint32_t kNone = 0;
// An opaque pen colour $00BBGGRR as the canvas stores it.
constexpr uint32_t Opaque(uint32_t bgr) { return bgr | 0xFF000000u; }

class HooksTest : public ::testing::Test {
 protected:
  HooksTest() {
    CreateWorms(g);
    g.phase = GamePhase::Playing;
    g.settings.game.positions = 1;
  }
  uint32_t Before(int x, int y) const { return g.beforeCanvas.At(x, y); }
  uint32_t After(int x, int y) const { return g.afterCanvas.At(x, y); }
  Game g;
};

TEST_F(HooksTest, ArenaFrameInTheMatchPhasesOnly) {
  BeforeRender(g);
  for (auto [x, y] : std::vector<std::pair<int, int>>{
           {16, 56}, {16, 464}, {624, 56}, {624, 464}, {625, 464}, {300, 56}}) {
    EXPECT_EQ(Before(x, y), Opaque(0xFFFFFF)) << x << ", " << y;
  }
  EXPECT_EQ(Before(626, 464), kNone);
  EXPECT_EQ(Before(625, 56), kNone);
  EXPECT_EQ(Before(300, 200), kNone);

  for (GamePhase phase :
       {GamePhase::MainMenu, GamePhase::SetupMenu, GamePhase::Loading, GamePhase::AboutScreen}) {
    g.phase = phase;
    g.Worm(0).alive = 1;
    g.ArenaMap.At(10, 10) = 0;
    BeforeRender(g);
    EXPECT_EQ(Before(16, 56), kNone) << int(phase);
    EXPECT_EQ(Before(26, 66), kNone) << int(phase);
    EXPECT_EQ(Before(6, 64), kNone) << int(phase);
  }
}

TEST_F(HooksTest, EnergyBarsFullAndNearlyEmpty) {
  TCerv& left = g.Worm(0);    // green, left edge, top bar
  TCerv& right = g.Worm(5);   // magenta, right edge, second bar
  TCerv& bottom = g.Worm(9);  // orange, bottom edge, second bar
  left.alive = right.alive = bottom.alive = 1;
  left.energy = 200;  // shown as a full 81 pixels
  right.energy = 1;   // one pixel
  bottom.energy = 81;
  g.Worm(1).alive = 0;
  BeforeRender(g);

  // Left: frame, then colour in x 6..8 and dim colour in x 9..10 from y 64 down 81 rows.
  EXPECT_EQ(Before(5, 64), Opaque(0xFFFFFF));
  EXPECT_EQ(Before(12, 146), Opaque(0xFFFFFF));
  EXPECT_EQ(Before(11, 100), Opaque(0xFFFFFF));
  for (int y : {64, 100, 144}) {
    EXPECT_EQ(Before(6, y), Opaque(0x00FF00)) << y;
    EXPECT_EQ(Before(8, y), Opaque(0x00FF00)) << y;
    EXPECT_EQ(Before(9, y), Opaque(0x007F00)) << y;
    EXPECT_EQ(Before(10, y), Opaque(0x007F00)) << y;
  }
  EXPECT_EQ(Before(6, 145), kNone);
  EXPECT_EQ(Before(9, 145), kNone);

  // Right, second bar (y0 = 154): one pixel of each colour.
  EXPECT_EQ(Before(630, 154), Opaque(0xFF00FF));
  EXPECT_EQ(Before(633, 154), Opaque(0x7F007F));
  EXPECT_EQ(Before(630, 155), kNone);
  EXPECT_EQ(Before(633, 155), kNone);
  EXPECT_EQ(Before(636, 236), Opaque(0xFFFFFF));

  // Bottom, second bar (x0 = 234): colour in rows 469..471, dim colour in 472..473.
  EXPECT_EQ(Before(235, 469), Opaque(0x0080FF));
  EXPECT_EQ(Before(315, 471), Opaque(0x0080FF));
  EXPECT_EQ(Before(316, 471), Opaque(0xFFFFFF));  // the bar's end, not its fill
  EXPECT_EQ(Before(235, 473), Opaque(0x00407F));
  EXPECT_EQ(Before(317, 475), Opaque(0xFFFFFF));

  // A dead worm has no bar at all.
  EXPECT_EQ(Before(5, 154), kNone);
}

TEST_F(HooksTest, TrailsInColourDimOrHiddenByPhase) {
  g.ArenaMap.At(10, 20) = 3;     // cyan
  g.ArenaMap.At(607, 407) = 12;  // the neutral wall, white
  g.ArenaMap.At(1, 1) = 200;     // never written by the game: not drawn
  struct Case {
    GamePhase phase;
    uint8_t positions;
    uint32_t want;
  } cases[] = {
      {GamePhase::Playing, 1, Opaque(0xFFFF00)},
      {GamePhase::RoundOver, 0, Opaque(0xFFFF00)},
      {GamePhase::RoundStart, 1, Opaque(0x7F7F00)},
      {GamePhase::GameOver, 1, Opaque(0x7F7F00)},
      {GamePhase::WaitReady, 0, Opaque(0x7F7F00)},
      {GamePhase::RoundIntro, 1, Opaque(0xFFFF00)},
      {GamePhase::RoundIntro, 0, kNone},
      {GamePhase::ShowingTwo, 0, kNone},
      {GamePhase::ShowingGo, 1, Opaque(0xFFFF00)},
  };
  for (const Case& c : cases) {
    g.phase = c.phase;
    g.settings.game.positions = c.positions;
    BeforeRender(g);
    EXPECT_EQ(Before(26, 76), c.want) << int(c.phase) << "/" << int(c.positions);
    EXPECT_EQ(Before(16, 56), Opaque(0xFFFFFF)) << "the frame is always drawn";
  }
  g.phase = GamePhase::Playing;
  BeforeRender(g);
  EXPECT_EQ(Before(623, 463), Opaque(0xFFFFFF));
  EXPECT_EQ(Before(17, 57), kNone);
}

TEST_F(HooksTest, BackgroundGridScrollsByDirection) {
  g.settings.game.backgroundEffect = 1;
  BackgroundGrid& b = g.BackgroundLines;
  b.colour = 0x102030;
  b.verticalSpacing = 100;
  b.verticalSpeed = 0;
  b.verticalDirection = 1;  // vertical lines at x 0, 100, ...: column 50 sees only rows
  b.horizontalSpacing = 20;
  b.horizontalSpeed = 5;
  struct Case {
    double now;
    int direction, firstRow;
  } cases[] = {{0, 1, 0}, {0, 0, 19}, {1, 1, 5}, {1, 0, 14}, {0.5, 1, 2}};  // 2.5 rounds to 2
  for (const Case& c : cases) {
    g.Now = c.now;
    b.horizontalDirection = c.direction;
    BeforeRender(g);
    std::vector<int> rows;
    for (int y = 0; y < kViewHeight; ++y) {
      if (y == 56 || y == 464) continue;  // the arena frame
      if (Before(50, y) != kNone) rows.push_back(y);
    }
    std::vector<int> want;
    for (int y = c.firstRow; y < kViewHeight; y += 20) want.push_back(y);
    EXPECT_EQ(rows, want) << c.now << "/" << c.direction;
    EXPECT_EQ(Before(50, c.firstRow), Opaque(0x102030));
  }
  // Not while a round is being set up.
  g.phase = GamePhase::RoundStart;
  BeforeRender(g);
  EXPECT_EQ(Before(50, 5), kNone);
}

TEST_F(HooksTest, RandomiseBackgroundDrawsInItsOrder) {
  Rng replay = g.matchRng;
  RandomiseBackground(g);
  const BackgroundGrid& b = g.BackgroundLines;
  uint32_t r = static_cast<uint32_t>(replay.Random(64));
  uint32_t gr = static_cast<uint32_t>(replay.Random(64));
  uint32_t bl = static_cast<uint32_t>(replay.Random(64));
  EXPECT_EQ(b.colour, r | gr << 8 | bl << 16);
  EXPECT_EQ(b.horizontalSpeed, replay.Random(160) + 5);
  EXPECT_EQ(b.verticalSpeed, replay.Random(120) + 5);
  EXPECT_EQ(b.verticalSpacing, replay.Random(100) + 20);
  EXPECT_EQ(b.horizontalSpacing, replay.Random(80) + 20);
  EXPECT_EQ(b.verticalDirection, replay.Random(2));
  EXPECT_EQ(b.horizontalDirection, replay.Random(2));
}

TEST_F(HooksTest, PopupFrameAndLoadingBarOverTheScene) {
  g.phase = GamePhase::Loading;
  g.menu.PopupFrameShown = true;
  g.menu.PopupFrameX = 100;
  g.menu.PopupFrameY = 200;
  g.menu.PopupFrameWidth = 50;
  g.menu.PopupFrameHeight = 40;
  g.assets.PreloadLast = 10;
  g.assets.PreloadIndex = 5;  // 5 * 89 div 10 = 44 pixels
  AfterRender(g);
  constexpr uint32_t cyan = Opaque(0xFFFF00);
  EXPECT_EQ(After(104, 204), cyan);
  EXPECT_EQ(After(146, 204), cyan);
  EXPECT_EQ(After(104, 236), cyan);
  EXPECT_EQ(After(146, 237), cyan);  // the right side runs one pixel further down
  EXPECT_EQ(After(104, 237), kNone);
  EXPECT_EQ(After(125, 220), kNone);
  EXPECT_EQ(After(279, 300), Opaque(0x00FF00));
  EXPECT_EQ(After(323, 300), Opaque(0x00FF00));
  EXPECT_EQ(After(324, 300), kNone);
  EXPECT_EQ(After(323, 301), Opaque(0x00A000));

  // A one-entry table shows a full bar instead of dividing by zero.
  g.menu.PopupFrameShown = false;
  g.assets.PreloadLast = 0;
  g.assets.PreloadIndex = 0;
  AfterRender(g);
  EXPECT_EQ(After(104, 204), kNone);
  EXPECT_EQ(After(368, 300), Opaque(0x00FF00));

  for (auto [phase, last] : std::vector<std::pair<GamePhase, int>>{{GamePhase::Loading, -1},
                                                                   {GamePhase::MainMenu, 10}}) {
    g.phase = phase;
    g.assets.PreloadLast = last;
    AfterRender(g);
    EXPECT_EQ(After(279, 300), kNone) << int(phase);
  }
}

TEST(Hooks, EnergyBarsStopAtEightyOne) {
  EXPECT_EQ(ClampEnergy(200), 81);
  EXPECT_EQ(ClampEnergy(81), 81);
  EXPECT_EQ(ClampEnergy(1), 1);
}

}  // namespace
}  // namespace tdx
