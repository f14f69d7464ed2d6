// A frame of the weapons drawn by the GL renderer with the generated pictures: a fireball,
// a laser, a rocket, an atomic blast and a ring of viruses in flight. Needs a display and
// the game folder: tests/scripts/render_xvfb.sh runs it under Xvfb with
// TANDRIX_GL_TESTS=1; elsewhere it skips itself.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "app/game.h"
#include "assets/catalogue.h"
#include "display/gl_renderer.h"
#include "display/match_view.h"
#include "match/arena/worm_step.h"
#include "match/weapons/abilities.h"
#include "match/weapons/projectiles.h"
#include "platform/platform.h"
#include "platform/screenshot_file.h"
#include "support/gl_window.h"

namespace tdx {
namespace {

using testing::GlTestsAllowed;
using testing::OpenTestWindow;

std::string GameData() {
  const char* env = std::getenv("TANDRIX_GAME_DATA");
  return env && *env ? env : TANDRIX_GAME_DATA;
}

struct Rgb {
  int r, g, b;
};

class GlRenderWeapons : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!GlTestsAllowed()) return;
    platform_ = OpenTestWindow(createError_).release();
  }
  static void TearDownTestSuite() {
    delete platform_;
    platform_ = nullptr;
  }

  void SetUp() override {
    if (!GlTestsAllowed()) GTEST_SKIP() << "needs a display: run tests/scripts/render_xvfb.sh";
    if (!std::filesystem::exists(GameData() + "/pak/gfx.pak"))
      GTEST_SKIP() << "no game folder at " << GameData();
    ASSERT_NE(platform_, nullptr) << createError_;
    renderer_ = dynamic_cast<GlRenderer*>(&platform_->GetRenderer());
    ASSERT_NE(renderer_, nullptr);
  }

  void Render(Game& g) {
    Canvas before, after;
    before.Begin();
    after.Begin();
    renderer_->Draw(g.scene, before, after);
    ASSERT_TRUE(renderer_->ReadFrame(frame_));
  }

  Rgb At(int x, int y) const {
    const uint8_t* p = &frame_[(static_cast<size_t>(y) * 640 + static_cast<size_t>(x)) * 3];
    return {p[0], p[1], p[2]};
  }

  // How many pixels within `reach` of the look's centre pass the test.
  int Count(const Look& l, int reach, const std::function<bool(Rgb)>& test) const {
    int cx = static_cast<int>(l.x), cy = static_cast<int>(l.y), n = 0;
    for (int y = cy - reach; y <= cy + reach; ++y) {
      for (int x = cx - reach; x <= cx + reach; ++x) {
        if (x >= 0 && x < 640 && y >= 0 && y < 480 && test(At(x, y))) ++n;
      }
    }
    return n;
  }

  static Platform* platform_;
  static std::string createError_;
  GlRenderer* renderer_ = nullptr;
  std::vector<uint8_t> frame_;
};

Platform* GlRenderWeapons::platform_ = nullptr;
std::string GlRenderWeapons::createError_;

TEST_F(GlRenderWeapons, FireballLaserRocketAtomicBlastAndVirusesShowTheirPictures) {
  auto g = std::make_unique<Game>();
  g->folders = GameFolderAt(GameData());
  ASSERT_TRUE(LoadAssets(*g)) << g->fatalError;
  CreateWorms(*g);
  BuildMatchView(*g);
  g->GlobalSpeed = 50;
  g->FrameDelta = 0.01;
  g->Now = 10;
  g->phase = GamePhase::Playing;
  const WormKind kinds[7] = {
      WormKind::Killer,       WormKind::LaserShooter,  WormKind::RocketLauncher,
      WormKind::AtomicBomber, WormKind::VirusInfester, WormKind::Shooter,
      WormKind::None};
  const double at[7][2] = {{60, 60},   {300, 80},  {60, 330}, {250, 300},
                           {480, 250}, {580, 390}, {540, 40}};
  for (int s = 0; s < 7; ++s) {
    g->settings.players[s].controller = CtrlHuman;
    TCerv& w = g->Worm(s);
    w.alive = 1;
    w.kind = kinds[s];
    w.headX = w.nextX = at[s][0];
    w.headY = w.nextY = at[s][1];
    w.heading = s == 5 ? 180 : 0;  // the shooter fires back into the arena
    w.energy = 81;
  }
  nastavsprity(*g);
  for (int s = 0; s < 6; ++s) {
    TCerv& w = g->Worm(s);
    w.fireHeld = 1;
    AbilityAction(*g, w, 0.01);
  }
  TCerv& bomber = g->Worm(3);
  bomber.missileFrame = 204;  // the warning is over: the blast begins next frame
  bomber.missileTime = 1;
  // Three quarters of a second: the beams spread and the mushroom cloud stands.
  KillWorm(*g, g->Worm(6));  // its marker drifts and shrinks
  for (int i = 0; i < 75; ++i) ProjectileUpdate(*g);
  ASSERT_TRUE(bomber.atomicActive);
  ASSERT_GE(bomber.missileFrame, 25);
  ShowMatch(*g);
  Render(*g);

  auto bright = [](Rgb c) { return c.r > 200 && c.g > 120; };
  auto pink = [](Rgb c) { return c.r > 180 && c.b > 90; };
  auto light = [](Rgb c) { return c.r > 150 && c.g > 150 && c.b > 150; };
  auto fiery = [](Rgb c) { return c.r > 120 && c.r > c.b + 60 && c.g < c.r; };
  auto yellow = [](Rgb c) { return c.r > 110 && c.g > 110 && c.b < c.r / 2; };

  const TCerv& killer = g->Worm(0);
  ASSERT_TRUE(killer.fireballLook.visible);
  EXPECT_GE(Count(killer.fireballLook, 2, bright), 9) << "fireball";

  const TCerv& laser = g->Worm(1);
  for (int b = 0; b < 4; ++b) {
    ASSERT_TRUE(laser.laserBeam[static_cast<size_t>(b)].visible);
    EXPECT_GE(Count(laser.laserBeam[static_cast<size_t>(b)], 2, pink), 3) << "laser beam " << b;
  }

  const TCerv& rocket = g->Worm(2);
  ASSERT_TRUE(rocket.rocketFlying);
  EXPECT_GE(Count(rocket.missileLook, 4, light), 4) << "rocket";

  EXPECT_GE(Count(bomber.missileLook, 30, fiery), 200) << "atomic blast";

  const TCerv& infester = g->Worm(4);
  int shown = 0;
  for (size_t j = 0; j < 16; ++j) {
    const Look& v = infester.virusLook[j];
    ASSERT_TRUE(v.visible);
    shown += Count(v, 3, yellow) >= 4;
  }
  EXPECT_GE(shown, 14) << "yellow viruses of slot 4";

  const TCerv& shooter = g->Worm(5);
  ASSERT_TRUE(shooter.bulletActive[0]);
  EXPECT_GE(Count(shooter.bulletLook[0], 1, bright), 3) << "bullet";

  const Look& rip = g->Worm(6).ripLook;
  ASSERT_TRUE(rip.visible);
  EXPECT_GE(Count(rip, 4, [](Rgb c) { return c.r > 80 && c.g > 80 && c.b > 80; }), 6) << "marker";

  // And nothing where nothing flies.
  const Rgb empty = At(600, 450);
  EXPECT_EQ(empty.r + empty.g + empty.b, 0);

  // A frame that fails is kept for a look (TANDRIX_KEEP_FRAMES keeps it anyway).
  if (HasFailure() || std::getenv("TANDRIX_KEEP_FRAMES")) {
    const auto file = std::filesystem::temp_directory_path() / "tandrix_weapons_frame.png";
    std::string error;
    WriteScreenshotFile(file.string(), 640, 480, frame_, error);
    std::printf("the frame is kept in %s\n", file.c_str());
  }
}

}  // namespace
}  // namespace tdx
