// The GL renderer's real pixels, read back from its 640 by 480 frame. These need a display:
// tests/scripts/render_xvfb.sh runs them under Xvfb with TANDRIX_GL_TESTS=1; elsewhere
// they skip themselves.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "display/gl_renderer.h"
#include "platform/platform.h"
#include "players/key_codes.h"
#include "render_decode.h"
#include "support/gl_window.h"

namespace tdx {
namespace {

using render_test::MakePicture;
using render_test::Solid;

using testing::GlTestsAllowed;
using testing::OpenTestWindow;

struct Rgb {
  int r, g, b;
  bool operator==(const Rgb&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Rgb& c) {
  return os << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}

bool Near(const Rgb& a, const Rgb& b, int tolerance) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
         std::abs(a.b - b.b) <= tolerance;
}

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kGreen{0, 255, 0};
constexpr Rgb kBlue{0, 0, 255};
constexpr Rgb kYellow{255, 255, 0};

// RGBA words, red in the low byte.
constexpr uint32_t kRedTexel = 0xFF0000FFu;
constexpr uint32_t kGreenTexel = 0xFF00FF00u;
constexpr uint32_t kYellowTexel = 0xFF00FFFFu;
constexpr uint32_t kBlackTexel = 0xFF000000u;

class GlRender : public ::testing::Test {
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
    if (!GlTestsAllowed()) {
      GTEST_SKIP() << "needs a display: run tests/scripts/render_xvfb.sh (sets TANDRIX_GL_TESTS=1 "
                      "under Xvfb)";
    }
    ASSERT_NE(platform_, nullptr) << createError_;
    renderer_ = dynamic_cast<GlRenderer*>(&platform_->GetRenderer());
    ASSERT_NE(renderer_, nullptr);
    before_.Begin();
    after_.Begin();
  }

  Material* AddMaterial(const std::string& name, std::shared_ptr<Picture> picture,
                        BlendMode blending = BlendMode::Opaque,
                        ImageAlpha alpha = ImageAlpha::Default) {
    Material* m = scene_.Library(LibGLML1).AddTextureMaterial(name, std::move(picture));
    m->SetBlending(blending);
    m->SetImageAlpha(alpha);
    return m;
  }

  Sprite* AddSprite(const std::string& material, float x, float y, float w, float h) {
    Sprite* s = scene_.CreateSprite();
    s->SetMaterial(&scene_.Library(LibGLML1), material);
    s->x = x;
    s->y = y;
    s->width = w;
    s->height = h;
    return s;
  }

  void Render() {
    renderer_->Draw(scene_, before_, after_);
    ASSERT_TRUE(renderer_->ReadFrame(frame_));
    ASSERT_EQ(frame_.size(), size_t{640} * 480 * 3);
  }

  Rgb At(int x, int y) const {
    const uint8_t* p = &frame_[(static_cast<size_t>(y) * 640 + static_cast<size_t>(x)) * 3];
    return {p[0], p[1], p[2]};
  }

  // Fills the before canvas with an opaque colour ($00BBGGRR).
  void Background(uint32_t bgr) {
    before_.SetPenColour(bgr);
    before_.FillRect(0, 0, 640, 480);
  }

  static Platform* platform_;
  static std::string createError_;
  GlRenderer* renderer_ = nullptr;
  Scene scene_;
  Canvas before_, after_;
  std::vector<uint8_t> frame_;
};

Platform* GlRender::platform_ = nullptr;
std::string GlRender::createError_;

TEST_F(GlRender, SpritesSitOnTheirCentres) {
  AddMaterial("red", Solid(8, 8, kRedTexel));
  AddSprite("red", 100, 100, 10, 10);      // covers 95..104
  AddSprite("red", 200.5f, 300.5f, 7, 5);  // covers 197..203 by 298..302
  Render();
  struct Probe {
    int x, y;
    Rgb colour;
  };
  const Probe probes[] = {
      {100, 100, kRed},   {95, 95, kRed},     {104, 104, kRed},   {94, 100, kBlack},
      {105, 100, kBlack}, {100, 94, kBlack},  {100, 105, kBlack}, {197, 298, kRed},
      {203, 302, kRed},   {196, 300, kBlack}, {204, 300, kBlack}, {200, 297, kBlack},
      {200, 303, kBlack},
  };
  for (const Probe& p : probes) EXPECT_EQ(At(p.x, p.y), p.colour) << "at " << p.x << "," << p.y;
}

TEST_F(GlRender, LaterSpritesCoverEarlierOnes) {
  AddMaterial("red", Solid(4, 4, kRedTexel));
  AddMaterial("green", Solid(4, 4, kGreenTexel));
  AddSprite("red", 300, 200, 40, 40);
  AddSprite("green", 310, 200, 40, 40);
  AddSprite("red", 330, 200, 4, 4);  // created last: on top of green
  Render();
  EXPECT_EQ(At(285, 200), kRed);
  EXPECT_EQ(At(300, 200), kGreen);
  EXPECT_EQ(At(319, 200), kGreen);
  EXPECT_EQ(At(330, 200), kRed);
  EXPECT_EQ(At(325, 200), kGreen);
}

TEST_F(GlRender, CanvasesDrawAtExactPixelsUnderAndOverTheSprites) {
  before_.SetPenColour(0x0000FF);  // red
  before_.Pixel(10, 20);
  before_.SetPenColour(0x00FF00);  // green
  before_.Line(30, 40, 60, 40);
  before_.Line(100, 100, 110, 110);
  before_.Pixel(400, 300);  // hidden under the opaque sprite below
  AddMaterial("blue", Solid(4, 4, 0xFFFF0000u));
  AddSprite("blue", 400, 300, 20, 20);
  after_.SetPenColour(0x00FFFF);  // yellow, over the sprite
  after_.Pixel(402, 301);
  after_.SetPenColour(0xFFFFFF);
  after_.SetPenAlpha(0.5f);
  after_.Pixel(600, 10);
  Render();

  EXPECT_EQ(At(10, 20), kRed);
  for (auto [x, y] : {std::pair{9, 20}, {11, 20}, {10, 19}, {10, 21}})
    EXPECT_EQ(At(x, y), kBlack) << x << "," << y;
  for (int x = 30; x <= 60; ++x) EXPECT_EQ(At(x, 40), kGreen) << "line at x " << x;
  for (int x : {29, 61}) EXPECT_EQ(At(x, 40), kBlack) << x;
  for (int x = 30; x <= 60; x += 10) {
    EXPECT_EQ(At(x, 39), kBlack) << x;
    EXPECT_EQ(At(x, 41), kBlack) << x;
  }
  EXPECT_EQ(At(105, 105), kGreen);
  EXPECT_EQ(At(105, 106), kBlack);
  EXPECT_EQ(At(400, 300), kBlue);
  EXPECT_EQ(At(402, 301), kYellow);
  EXPECT_TRUE(Near(At(600, 10), Rgb{128, 128, 128}, 1)) << At(600, 10);
}

// Canvas pixels anywhere on the view, alone in their rows or not, opaque or half
// covering, are drawn where they belong and nowhere else.
TEST_F(GlRender, LoneCanvasPixelsAtTheViewsEdges) {
  AddMaterial("grey", Solid(4, 4, 0xFF808080u));
  AddSprite("grey", 320, 240, 640, 480);  // between the canvases: shows what the after one adds
  struct Dot {
    bool after;
    int x, y;
    uint32_t bgr;
    float alpha;
    Rgb expected;
  };
  const Dot dots[] = {
      {false, 639, 0, 0x0000FF, 1, {128, 128, 128}},  // under the sprite: hidden
      {true, 0, 0, 0x0000FF, 1, kRed},
      {true, 639, 479, 0x00FF00, 1, kGreen},
      {true, 5, 15, 0xFF0000, 1, kBlue},
      {true, 5, 16, 0x00FFFF, 1, kYellow},
      {true, 639, 240, 0xFFFFFF, 0.5f, {191, 191, 191}},
      {true, 300, 463, 0x000000, 0.5f, {64, 64, 64}},
  };
  for (const Dot& d : dots) {
    Canvas& c = d.after ? after_ : before_;
    c.SetPenColour(d.bgr);
    c.SetPenAlpha(d.alpha);
    c.Pixel(d.x, d.y);
  }
  Render();
  for (const Dot& d : dots) {
    EXPECT_TRUE(Near(At(d.x, d.y), d.expected, 1)) << d.x << "," << d.y << ": " << At(d.x, d.y);
  }
  // Rows of the view with nothing on the after canvas show the sprite alone.
  for (int y : {1, 14, 17, 31, 32, 250, 462, 464, 478})
    EXPECT_EQ(At(320, y), (Rgb{128, 128, 128})) << y;
}

TEST_F(GlRender, LoneBeforeCanvasPixelsOnBlack) {
  before_.SetPenColour(0x0000FF);
  before_.Pixel(0, 0);
  before_.Pixel(639, 479);
  before_.SetPenAlpha(0.5f);
  before_.Pixel(320, 31);
  Render();
  EXPECT_EQ(At(0, 0), kRed);
  EXPECT_EQ(At(639, 479), kRed);
  EXPECT_TRUE(Near(At(320, 31), Rgb{128, 0, 0}, 1)) << At(320, 31);
  for (auto [x, y] : {std::pair{1, 0}, {0, 1}, {638, 479}, {320, 32}, {320, 30}, {320, 200}})
    EXPECT_EQ(At(x, y), kBlack) << x << "," << y;
}

TEST_F(GlRender, HiddenAndFarSpritesAreNeverSeen) {
  Material* hidden = AddMaterial("hidden", Solid(4, 4, kRedTexel));
  Material* far = AddMaterial("far", Solid(4, 4, kGreenTexel));
  AddSprite("hidden", 320, 240, 100, 100)->visible = false;
  AddSprite("far", 320, 240, 256, 256)->z = 3000;
  Render();
  for (auto [x, y] : {std::pair{320, 240}, {200, 120}, {440, 360}})
    EXPECT_EQ(At(x, y), kBlack) << x << "," << y;
  // The far sprite is still processed: its texture is ready for when it is shown.
  EXPECT_TRUE(renderer_->HasTexture(far));
  EXPECT_FALSE(renderer_->HasTexture(hidden));
}

// A loading frame nobody sees gets its pictures ready and leaves the last frame drawn.
TEST_F(GlRender, PreparingDrawsNothingYetReadiesThePictures) {
  Render();
  Material* shown = AddMaterial("shown", Solid(4, 4, kRedTexel));
  Material* hidden = AddMaterial("hidden", Solid(4, 4, kGreenTexel));
  AddSprite("shown", 320, 240, 100, 100);
  AddSprite("hidden", 100, 100, 50, 50)->visible = false;
  renderer_->Prepare(scene_);
  EXPECT_TRUE(renderer_->HasTexture(shown));
  EXPECT_FALSE(renderer_->HasTexture(hidden));
  ASSERT_TRUE(renderer_->ReadFrame(frame_));
  EXPECT_EQ(At(320, 240), kBlack);
  Render();
  EXPECT_EQ(At(320, 240), kRed);
}

TEST_F(GlRender, MissingMaterialsDrawNothing) {
  AddMaterial("red", Solid(4, 4, kRedTexel));
  AddSprite("no_such_material", 100, 100, 50, 50);
  Sprite* noLibrary = scene_.CreateSprite();
  noLibrary->x = 300;
  noLibrary->y = 300;
  noLibrary->width = noLibrary->height = 50;
  scene_.Library(LibGLML1).AddTextureMaterial("empty", nullptr);
  AddSprite("empty", 500, 100, 50, 50);
  AddSprite("red", 500, 400, 10, 10);  // drawing goes on after them
  Render();
  EXPECT_EQ(At(100, 100), kBlack);
  EXPECT_EQ(At(300, 300), kBlack);
  EXPECT_EQ(At(500, 100), kBlack);
  EXPECT_EQ(At(500, 400), kRed);
}

TEST_F(GlRender, SuperBlackPixelsAreTransparent) {
  Background(0xFF0000);  // blue
  // Left half black, right half yellow.
  std::vector<uint32_t> texels;
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) texels.push_back(x < 2 ? kBlackTexel : kYellowTexel);
  }
  auto picture = MakePicture(4, 4, texels, false);
  AddMaterial("keyed", picture, BlendMode::Transparency, ImageAlpha::SuperBlackTransparent);
  AddMaterial("plain", picture, BlendMode::Transparency, ImageAlpha::Default);
  AddSprite("keyed", 100, 100, 40, 40);
  AddSprite("plain", 300, 100, 40, 40);
  Render();
  EXPECT_EQ(At(85, 100), kBlue);
  EXPECT_EQ(At(115, 100), kYellow);
  EXPECT_EQ(At(285, 100), kBlack);  // without the rule black is black
  EXPECT_EQ(At(315, 100), kYellow);
}

TEST_F(GlRender, BlendingModes) {
  Background(0x404040);  // grey 64
  struct Case {
    BlendMode mode;
    int alpha;
    Rgb expected;
  };
  // Texel (200, 100, 0) with the given alpha over grey 64.
  const Case cases[] = {
      {BlendMode::Opaque, 128, {200, 100, 0}},      {BlendMode::Transparency, 128, {132, 82, 32}},
      {BlendMode::Transparency, 0, {64, 64, 64}},   {BlendMode::Additive, 128, {164, 114, 64}},
      {BlendMode::AlphaTest50, 128, {200, 100, 0}}, {BlendMode::AlphaTest50, 120, {64, 64, 64}},
      {BlendMode::AlphaTest100, 254, {64, 64, 64}}, {BlendMode::AlphaTest100, 255, {200, 100, 0}},
      {BlendMode::Modulate, 128, {50, 25, 0}},
  };
  int i = 0;
  for (const Case& c : cases) {
    const std::string name = "mode" + std::to_string(i);
    AddMaterial(name, Solid(2, 2, static_cast<uint32_t>(c.alpha) << 24 | 0x0064C8u, true), c.mode);
    AddSprite(name, 20 + 40.0f * static_cast<float>(i), 50, 20, 20);
    ++i;
  }
  Render();
  i = 0;
  for (const Case& c : cases) {
    const Rgb got = At(20 + 40 * i, 50);
    EXPECT_TRUE(Near(got, c.expected, 2))
        << "mode " << int(c.mode) << " alpha " << c.alpha << ": " << got;
    ++i;
  }
}

TEST_F(GlRender, DiffuseColourAndTextureMode) {
  Material* tinted = AddMaterial("tinted", Solid(4, 4, 0xFFFFFFFFu));
  tinted->SetDiffuse(1, 0.5f);
  tinted->SetDiffuse(2, 0.25f);
  Material* replaced = AddMaterial("replaced", Solid(4, 4, 0xFFFFFFFFu));
  replaced->SetDiffuse(0, 0.0f);
  replaced->SetTextureMode(TextureMode::Replace);  // the texel as it is
  Material* faded = AddMaterial("faded", Solid(4, 4, 0xFFFFFFFFu), BlendMode::Transparency);
  faded->SetDiffuse(3, 0.6f);  // the grave marker's look
  AddSprite("tinted", 100, 100, 20, 20);
  AddSprite("replaced", 200, 100, 20, 20);
  AddSprite("faded", 300, 100, 20, 20);
  Render();
  EXPECT_TRUE(Near(At(100, 100), Rgb{255, 128, 64}, 1)) << At(100, 100);
  EXPECT_EQ(At(200, 100), (Rgb{255, 255, 255}));
  EXPECT_TRUE(Near(At(300, 100), Rgb{153, 153, 153}, 1)) << At(300, 100);
}

TEST_F(GlRender, RotationTurnsCounterClockwiseAboutTheCentre) {
  // 2 by 1 texels: red on the left, green on the right.
  AddMaterial("arrow", MakePicture(2, 1, {kRedTexel, kGreenTexel}, false));
  AddSprite("arrow", 320, 240, 40, 10)->rotation = 90;
  AddSprite("arrow", 100, 400, 40, 10)->rotation = -90;
  Render();
  // Turned a quarter counter-clockwise, the right (green) end points up.
  EXPECT_EQ(At(320, 224), kGreen);
  EXPECT_EQ(At(320, 256), kRed);
  EXPECT_EQ(At(300, 240), kBlack);  // inside the unturned footprint only
  EXPECT_EQ(At(340, 240), kBlack);
  EXPECT_EQ(At(100, 416), kGreen);
  EXPECT_EQ(At(100, 384), kRed);
}

TEST_F(GlRender, ChangedPicturesAndRulesAreUploadedAgain) {
  Background(0xFF0000);  // blue
  Material* m = AddMaterial("swap", Solid(4, 4, kRedTexel));
  AddSprite("swap", 100, 100, 20, 20);
  Render();
  EXPECT_EQ(At(100, 100), kRed);
  scene_.Library(LibGLML1).AddTextureMaterial("swap", Solid(4, 4, kBlackTexel));
  Render();
  EXPECT_EQ(At(100, 100), kBlack);
  m->SetBlending(BlendMode::Transparency);
  m->SetImageAlpha(ImageAlpha::SuperBlackTransparent);
  Render();
  EXPECT_EQ(At(100, 100), kBlue);
}

TEST_F(GlRender, TexturesOfRemovedMaterialsAreFreed) {
  Material* m = AddMaterial("gone", Solid(4, 4, kRedTexel));
  AddSprite("gone", 100, 100, 20, 20);
  Render();
  EXPECT_TRUE(renderer_->HasTexture(m));
  scene_.Library(LibGLML1).Clear();
  Render();
  EXPECT_FALSE(renderer_->HasTexture(m));
  EXPECT_EQ(At(100, 100), kBlack);
}

TEST_F(GlRender, FireGlowsAroundAndAboveItsCarrier) {
  Sprite* carrier = scene_.CreateSprite();  // an invisible point the fire follows
  carrier->x = 320;
  carrier->y = 300;
  FireEffect* fire = scene_.CreateFire();
  fire->carrier = carrier;
  fire->disabled = false;
  for (int i = 0; i < 20; ++i) scene_.TickFires(1.0 / 60);
  ASSERT_FALSE(fire->particles.empty());
  Render();
  int lit = 0, litBelow = 0, redDominant = 0;
  for (int y = 200; y < 340; ++y) {
    for (int x = 280; x < 360; ++x) {
      const Rgb c = At(x, y);
      if (c.r + c.g + c.b == 0) continue;
      ++lit;
      if (y > 315) ++litBelow;
      if (c.r >= c.b) ++redDominant;
    }
  }
  EXPECT_GT(lit, 30);
  EXPECT_LT(litBelow * 10, lit) << "a fire rises";
  EXPECT_EQ(redDominant, lit) << "yellow to red, never blue";
  EXPECT_EQ(At(100, 100), kBlack);
}

TEST_F(GlRender, ScreenshotsHoldTheFramePixelForPixel) {
  AddMaterial("red", Solid(4, 4, kRedTexel));
  AddSprite("red", 100, 100, 30, 30);
  before_.SetPenColour(0x123456);
  before_.Line(0, 479, 639, 0);
  Render();
  const auto dir =
      std::filesystem::temp_directory_path() /
      ("tandrix_gl_shot_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  std::filesystem::create_directories(dir);
  for (const char* name : {"frame.bmp", "frame.png"}) {
    SCOPED_TRACE(name);
    std::string error;
    ASSERT_TRUE(renderer_->SaveScreenshot((dir / name).string(), error)) << error;
    std::ifstream f(dir / name, std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(f), {}};
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    const bool decoded = std::string(name).ends_with(".bmp")
                             ? render_test::DecodeBmp(bytes, w, h, rgb)
                             : render_test::DecodePng(bytes, w, h, rgb);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
    EXPECT_TRUE(rgb == frame_);
  }
  std::filesystem::remove_all(dir);
}

// Showing the frame in the window (letterboxed) must leave the frame itself untouched.
TEST_F(GlRender, PresentingKeepsTheFrame) {
  AddMaterial("red", Solid(4, 4, kRedTexel));
  AddSprite("red", 10, 10, 20, 20);
  Render();
  const std::vector<uint8_t> drawn = frame_;
  platform_->Present();
  std::vector<MouseEvent> mouse;
  EXPECT_TRUE(platform_->PumpEvents(mouse));
  std::vector<uint8_t> after;
  ASSERT_TRUE(renderer_->ReadFrame(after));
  EXPECT_TRUE(after == drawn);
}

// ---------------------------------------------------------------------------------------
// Small pictures of a library share one texture. Whatever the scale, turn or filtering,
// a sprite must show only its own picture, and look as it does with a texture of its own.

// Where a view pixel's centre lies against a sprite's quad: 1 inside by more than `margin`,
// -1 outside by more than it, 0 on the edge.
int Coverage(const Sprite& s, int px, int py, float margin) {
  const double r = s.rotation * (3.14159265358979323846 / 180.0);
  const double dx = px + 0.5 - s.x, dy = py + 0.5 - s.y;
  const double lx = dx * std::cos(r) - dy * std::sin(r);
  const double ly = dx * std::sin(r) + dy * std::cos(r);
  const double ex = std::abs(lx) - s.width / 2, ey = std::abs(ly) - s.height / 2;
  if (ex < -margin && ey < -margin) return 1;
  if (ex > margin || ey > margin) return -1;
  return 0;
}

TEST_F(GlRender, AtlasPicturesNeverBleedIntoTheirNeighbours) {
  Background(0x5A2828);  // a blue-grey no picture uses
  const Rgb background{40, 40, 90};
  struct Pic {
    int w, h;
    uint32_t texel;
    Rgb colour;
  };
  // Neighbours in the atlas differ as much as they can; the last is too wide for the atlas.
  const Pic pics[] = {
      {8, 8, kRedTexel, kRed},
      {8, 8, kGreenTexel, kGreen},
      {8, 8, 0xFFFFFFFFu, {255, 255, 255}},
      {24, 24, kYellowTexel, kYellow},
      {24, 24, 0xFFFF00FFu, {255, 0, 255}},
      {5, 3, 0xFFFFFF00u, {0, 255, 255}},
      {64, 64, kRedTexel, kRed},
      {64, 64, kGreenTexel, kGreen},
      {300, 8, 0xFFFFFFFFu, {255, 255, 255}},
  };
  struct Look {
    float scale, rotation;
  };
  // Magnified, as drawn, half (the viruses), down to a sixteenth (below the atlas's last
  // level), turned and squeezed.
  const Look looks[] = {{3.0f, 0},   {1.0f, 0},    {0.5f, 0},  {0.25f, 0},
                        {0.125f, 0}, {0.0625f, 0}, {1.5f, 30}, {0.5f, 115}};
  int i = 0;
  for (const Pic& p : pics) {
    const std::string name = "p" + std::to_string(i++);
    scene_.Library(LibGlmlshots).AddTextureMaterial(name, Solid(p.w, p.h, p.texel));
  }
  int checked = 0;
  for (const Look& look : looks) {
    SCOPED_TRACE(::testing::Message() << "scale " << look.scale << ", turned " << look.rotation);
    std::vector<std::pair<Sprite*, Rgb>> sprites;
    float x = 10;
    for (size_t k = 0; k < std::size(pics); ++k) {
      Sprite* s = scene_.CreateSprite();
      s->SetMaterial(&scene_.Library(LibGlmlshots), "p" + std::to_string(k));
      s->width = std::clamp(static_cast<float>(pics[k].w) * look.scale, 2.0f, 40.0f);
      s->height = std::clamp(static_cast<float>(pics[k].h) * look.scale, 2.0f, 40.0f);
      s->rotation = look.rotation;
      const float reach = 0.75f * std::max(s->width, s->height);
      s->x = x + reach + 0.3f * static_cast<float>(k);  // off the pixel grid by varying amounts
      s->y = 240.3f;
      x = s->x + reach + 6;
      sprites.emplace_back(s, pics[k].colour);
    }
    Render();
    for (const auto& [s, colour] : sprites) {
      const int reach = static_cast<int>(std::max(s->width, s->height)) + 2;
      for (int y = static_cast<int>(s->y) - reach; y <= static_cast<int>(s->y) + reach; ++y) {
        for (int x = static_cast<int>(s->x) - reach; x <= static_cast<int>(s->x) + reach; ++x) {
          const int c = Coverage(*s, x, y, 0.05f);
          if (c == 0) continue;
          bool alone = true;  // outside pixels near another sprite belong to that one
          for (const auto& [other, unused] : sprites)
            alone = alone && (other == s || Coverage(*other, x, y, 1.0f) < 0);
          if (!alone) continue;
          ++checked;
          ASSERT_EQ(At(x, y), c > 0 ? colour : background)
              << "pixel " << x << "," << y << " of the " << s->width << " by " << s->height
              << " sprite at " << s->x << "," << s->y;
        }
      }
    }
    for (const auto& [s, colour] : sprites) scene_.RemoveSprite(s);
  }
  EXPECT_GT(checked, 10000);
}
// Busy pictures (every texel its own colour and alpha), drawn every way the game draws:
// the atlas must give the frame a texture of its own per picture gives.
TEST_F(GlRender, AtlasDrawsLikeOwnTextures) {
  Background(0x306040);
  uint32_t seed = 12345;
  auto busy = [&seed](int w, int h) {
    std::vector<uint32_t> texels;
    for (int i = 0; i < w * h; ++i) {
      seed = seed * 1664525u + 1013904223u;
      texels.push_back((i % 7 == 0) ? 0xFF000000u : seed);  // some super-black texels
    }
    return MakePicture(w, h, texels, true);
  };
  struct Pic {
    LibraryId library;
    int w, h;
    BlendMode blending;
    ImageAlpha alpha;
  };
  const Pic pics[] = {
      {LibGlmlshots, 24, 24, BlendMode::Transparency, ImageAlpha::SuperBlackTransparent},
      {LibGlmlshots, 32, 32, BlendMode::Additive, ImageAlpha::LuminanceSqrt},
      {LibGlmlshots, 48, 48, BlendMode::Transparency, ImageAlpha::Default},
      {LibGLMLmenu, 37, 21, BlendMode::AlphaTest50, ImageAlpha::Default},
      {LibGLMLmenu, 16, 16, BlendMode::Modulate, ImageAlpha::Opaque},
      {LibGlmlshots, 8, 8, BlendMode::Opaque, ImageAlpha::Default},
  };
  for (size_t k = 0; k < std::size(pics); ++k) {
    Material* m = scene_.Library(pics[k].library)
                      .AddTextureMaterial("b" + std::to_string(k), busy(pics[k].w, pics[k].h));
    m->SetBlending(pics[k].blending);
    m->SetImageAlpha(pics[k].alpha);
    if (k == 2) m->SetDiffuse(1, 0.5f);
    if (k == 5) m->SetTextureMode(TextureMode::Replace);
  }
  // Drawn as they are, halved (the viruses) or quartered, turned and enlarged. Filtering
  // may round differently by a level or two where a sprite is turned or made smaller; at
  // its own size a sprite must come out exactly the same. Pictures of odd sizes have no
  // exact half, and their smaller levels are made differently: they are shown only at
  // their size or larger here.
  struct Look {
    float scale, rotation;
    int tolerance;
  };
  const Look looks[] = {{1, 0, 0},      {0.5f, 0, 2},    {1.5f, 30, 2},
                        {0.5f, 200, 2}, {2.25f, -90, 2}, {0.25f, 0, 2}};
  std::vector<std::pair<Sprite*, int>> sprites;
  float y = 40;
  for (const Look& look : looks) {
    float x = 10;
    for (size_t k = 0; k < std::size(pics); ++k) {
      const bool odd = pics[k].w % 2 || pics[k].h % 2;
      if (odd && look.scale < 1) continue;
      Sprite* s = scene_.CreateSprite();  // the libraries alternate in drawing order
      s->SetMaterial(&scene_.Library(pics[k].library), "b" + std::to_string(k));
      s->width = static_cast<float>(pics[k].w) * look.scale;
      s->height = static_cast<float>(pics[k].h) * look.scale;
      s->rotation = look.rotation;
      s->x = x + s->width / 2 + 0.25f;
      s->y = y;
      x += s->width + 12;
      sprites.emplace_back(s, look.tolerance);
    }
    y += 80;
  }
  Render();
  const std::vector<uint8_t> shared = frame_;
  renderer_->SetAtlases(false);
  Render();
  renderer_->SetAtlases(true);
  for (const auto& [s, tolerance] : sprites) {
    int worst = 0;
    const int reach = static_cast<int>(std::max(s->width, s->height) * 0.75f) + 2;
    for (int py = static_cast<int>(s->y) - reach; py <= static_cast<int>(s->y) + reach; ++py) {
      for (int px = static_cast<int>(s->x) - reach; px <= static_cast<int>(s->x) + reach; ++px) {
        if (Coverage(*s, px, py, 1.0f) < 0) continue;
        for (int c = 0; c < 3; ++c) {
          const size_t i = (static_cast<size_t>(py) * 640 + static_cast<size_t>(px)) * 3 +
                           static_cast<size_t>(c);
          worst = std::max(worst, std::abs(int{frame_[i]} - int{shared[i]}));
        }
      }
    }
    EXPECT_LE(worst, tolerance) << s->MaterialName() << " drawn " << s->width << " by " << s->height
                                << " turned " << s->rotation;
  }
}

// Pictures arriving while the atlas is in use: it grows and keeps every picture in place;
// a library emptied and filled again shows only its new pictures.
TEST_F(GlRender, AtlasGrowsAndRefills) {
  auto colour = [](int i, int round) {
    return Rgb{20 + 3 * i, 255 - 4 * i - 7 * round, (53 * i + 90 * round) % 256};
  };
  auto texel = [](const Rgb& c) {
    return 0xFF000000u | static_cast<uint32_t>(c.b) << 16 | static_cast<uint32_t>(c.g) << 8 |
           static_cast<uint32_t>(c.r);
  };
  MaterialLibrary& lib = scene_.Library(LibGLMLMyst);
  constexpr int kCount = 60;  // more 64 by 64 pictures than the first atlas size holds
  std::vector<Sprite*> sprites;
  auto addSprites = [&](int from, int to) {
    for (int i = from; i < to; ++i) {
      const std::string name = "m" + std::to_string(i);
      lib.AddTextureMaterial(name, Solid(64, 64, texel(colour(i, 0))));
      Sprite* s = scene_.CreateSprite();
      s->SetMaterial(&lib, name);
      s->x = 30.0f + 60.0f * static_cast<float>(i % 10);
      s->y = 40.0f + 70.0f * static_cast<float>(i / 10);
      s->width = s->height = 16;  // a quarter: drawn from the third level
      sprites.push_back(s);
    }
  };
  addSprites(0, 20);
  Render();
  addSprites(20, kCount);
  Render();
  for (int i = 0; i < kCount; ++i) {
    const Sprite& s = *sprites[static_cast<size_t>(i)];
    for (auto [dx, dy] : {std::pair{0, 0}, {-7, -7}, {7, 7}})
      EXPECT_EQ(At(static_cast<int>(s.x) + dx, static_cast<int>(s.y) + dy), colour(i, 0)) << i;
  }
  lib.Clear();
  for (int i = 0; i < 10; ++i)
    lib.AddTextureMaterial("m" + std::to_string(i), Solid(32, 32, texel(colour(i, 1))));
  Render();
  for (int i = 0; i < kCount; ++i) {
    const Sprite& s = *sprites[static_cast<size_t>(i)];
    EXPECT_EQ(At(static_cast<int>(s.x), static_cast<int>(s.y)), i < 10 ? colour(i, 1) : kBlack)
        << i;
  }
}

// ---------------------------------------------------------------------------------------
// The full-screen window driven like a player would, with xdotool. Runs after the GlRender
// suite has closed its window (one GL context at a time). The script's Xvfb screen is
// 1280 by 720, so the view fills x 160..1119 at scale 1.5 with black bars left and right.

bool Xdotool(const std::string& args) {
  return std::system(("xdotool " + args + " >/dev/null 2>&1").c_str()) == 0;
}

class GlRenderWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!GlTestsAllowed() || !std::getenv("DISPLAY"))
      GTEST_SKIP() << "needs an X display (render_xvfb.sh)";
    ASSERT_TRUE(Xdotool("version")) << "xdotool is missing (scripts/install-deps installs it)";
    setenv("TANDRIX_NO_MESSAGE_BOX", "1", 1);
    PlatformOptions options;  // full screen
    options.vsync = false;
    options.paced = false;
    std::string error;
    platform_ = Platform::Create(options, error);
    ASSERT_NE(platform_, nullptr) << error;
    Scene scene;
    Canvas before, after;
    platform_->GetRenderer().Draw(scene, before, after);
    platform_->Present();
    Pump(20);
  }

  // Pumps events for up to `rounds` rounds of 10 ms, or until `done` says so.
  template <typename Done>
  bool PumpUntil(Done done, int rounds = 500) {
    for (int i = 0; i < rounds; ++i) {
      std::vector<MouseEvent> mouse;
      EXPECT_TRUE(platform_->PumpEvents(mouse));
      events_.insert(events_.end(), mouse.begin(), mouse.end());
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
  void Pump(int rounds) {
    PumpUntil([] { return false; }, rounds);
  }

  bool SawMove(int x, int y) const {
    for (const auto& e : events_) {
      if (e.kind == MouseEvent::Move && e.x == x && e.y == y) return true;
    }
    return false;
  }
  std::vector<MouseEvent> Clicks() const {
    std::vector<MouseEvent> clicks;
    for (const auto& e : events_) {
      if (e.kind == MouseEvent::Click) clicks.push_back(e);
    }
    return clicks;
  }

  std::unique_ptr<Platform> platform_;
  std::vector<MouseEvent> events_;
};

TEST_F(GlRenderWindow, MouseMapsThroughTheLetterboxAndOnlyLeftReleasesInsideClick) {
  // Xvfb starts the pointer at the screen's centre: go elsewhere first so the move is real.
  ASSERT_TRUE(Xdotool("mousemove 1279 719"));
  EXPECT_TRUE(PumpUntil([&] { return SawMove(639, 479); }));
  ASSERT_TRUE(Xdotool("mousemove 640 360"));
  EXPECT_TRUE(PumpUntil([&] { return SawMove(320, 240); }))
      << "the screen's centre is the view's centre";
  ASSERT_TRUE(Xdotool("mousemove 40 100"));  // in the left bar: held on the view's edge
  EXPECT_TRUE(PumpUntil([&] { return SawMove(0, 67); }));

  ASSERT_TRUE(Xdotool("click 1"));                    // in the bar: not a click on the view
  ASSERT_TRUE(Xdotool("mousemove 400 200 click 3"));  // right button: not a click
  ASSERT_TRUE(Xdotool("mousemove 160 0 click 1"));    // the view's top-left pixel
  ASSERT_TRUE(PumpUntil([&] { return !Clicks().empty(); }));
  Pump(5);
  const auto clicks = Clicks();
  ASSERT_EQ(clicks.size(), 1u);
  EXPECT_EQ(clicks[0].x, 0);
  EXPECT_EQ(clicks[0].y, 0);
}

TEST_F(GlRenderWindow, KeysReadAsWindowsCodes) {
  ASSERT_TRUE(Xdotool("mousemove 640 360"));  // no window manager: focus follows the pointer
  Pump(10);
  struct Case {
    const char* keysym;
    int vk;
  };
  for (const Case& c : {Case{"a", 65}, Case{"Shift_R", 161}, Case{"KP_Enter", 13}, Case{"Left", 37},
                        Case{"9", 57}}) {
    SCOPED_TRACE(c.keysym);
    std::array<uint8_t, 256> keys{};
    ASSERT_TRUE(Xdotool(std::string("keydown ") + c.keysym));
    EXPECT_TRUE(PumpUntil([&] {
      platform_->ReadKeys(keys);
      return keys[static_cast<size_t>(c.vk)] != 0;
    }));
    ASSERT_TRUE(Xdotool(std::string("keyup ") + c.keysym));
    EXPECT_TRUE(PumpUntil([&] {
      platform_->ReadKeys(keys);
      return keys[static_cast<size_t>(c.vk)] == 0;
    }));
  }
}

// A pad plugged in while the window is open is seen through the window's events and reads
// in the same table as the keys; pulled out while held, its button reads as released.
TEST_F(GlRenderWindow, PadPluggedInWhileOpenReadsWithTheKeys) {
  // Pads, like keys, are read with the focus, which follows the pointer: two moves, so that
  // the window sees one wherever the pointer was, and on a busy machine that takes a while.
  ASSERT_TRUE(Xdotool("mousemove 630 350"));
  ASSERT_TRUE(Xdotool("mousemove 640 360"));
  ASSERT_TRUE(PumpUntil([&] { return !events_.empty(); }));
  Pump(10);
  if (SDL_NumJoysticks() != 0) GTEST_SKIP() << "a real pad is plugged in";
  const int device = SDL_JoystickAttachVirtual(
      SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX, SDL_CONTROLLER_BUTTON_MAX, 0);
  ASSERT_EQ(device, 0) << SDL_GetError();
  SDL_Joystick* pad = SDL_JoystickOpen(device);
  ASSERT_NE(pad, nullptr) << SDL_GetError();
  const size_t a = PadKeyCode(0, kPadA);
  std::array<uint8_t, 256> keys{};
  auto read = [&] {
    platform_->ReadKeys(keys);
    return keys;
  };
  SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_A, 1);
  EXPECT_TRUE(PumpUntil([&] { return read()[a] != 0; }));
  SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_A, 0);
  EXPECT_TRUE(PumpUntil([&] { return read()[a] == 0; }));
  SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_A, 1);
  EXPECT_TRUE(PumpUntil([&] { return read()[a] != 0; }));
  SDL_JoystickDetachVirtual(device);
  SDL_JoystickClose(pad);
  EXPECT_TRUE(PumpUntil([&] { return read()[a] == 0; }));
}

}  // namespace
}  // namespace tdx
