#include "display/hooks.h"

#include <array>
#include <cmath>
#include <cstring>

#include "app/game.h"
#include "display/palette.h"
#include "display/tell.h"
#include "match/arena/arena.h"
#include "match/arena/worm.h"
#include "match/phase.h"

namespace tdx {

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kCyan = 0xFFFF00;
constexpr uint32_t kLoadingGreen = 0x00FF00;
constexpr uint32_t kLoadingDarkGreen = 0x00A000;

// The lines of one direction of the background grid, scrolling with the clock.
int GridOffset(double now, int speed, int spacing, int direction) {
  double v = RoundEven(speed * now);
  long long o =
      std::isfinite(v) ? static_cast<long long>(std::fmod(v, static_cast<double>(spacing))) : 0;
  if (o < 0) o += spacing;
  if (direction == 0) o = spacing - o - 1;
  return static_cast<int>(o);
}

void DrawBackground(Game& g, Canvas& c) {
  const BackgroundGrid& b = g.BackgroundLines;
  if (b.horizontalSpacing <= 0 || b.verticalSpacing <= 0) return;
  c.SetPenAlpha(1.0f);
  c.SetPenColour(b.colour);
  int sp = b.horizontalSpacing;
  int o = GridOffset(g.Now, b.horizontalSpeed, sp, b.horizontalDirection);
  for (int k = 0; k <= kViewHeight / sp + 1; ++k) c.Line(0, k * sp + o, kViewWidth, k * sp + o);
  sp = b.verticalSpacing;
  o = GridOffset(g.Now, b.verticalSpeed, sp, b.verticalDirection);
  for (int k = 0; k <= kViewWidth / sp + 1; ++k) c.Line(k * sp + o, 0, k * sp + o, kViewHeight);
}

void DrawArenaFrame(Canvas& c) {
  c.SetPenColour(kWhite);
  c.SetPenWidth(1);
  c.SetPenAlpha(1.0f);
  c.Line(16, 56, 16, 464);
  c.Line(16, 56, 624, 56);
  c.Line(624, 56, 624, 464);
  c.Line(16, 464, 625, 464);
}

// Slots 0..3 down the left edge, 4..7 down the right edge, 8..11 along the bottom.
void DrawEnergyBar(Canvas& c, int slot, const TCerv& w, const Presentation& look) {
  float e = static_cast<float>(ClampEnergy(w.energy));
  if (slot < 8) {
    bool right = slot >= 4;
    int y0 = 64 + 90 * (right ? slot - 4 : slot);
    int x5 = right ? 629 : 5, x11 = right ? 635 : 11, x12 = right ? 636 : 12;
    c.SetPenColour(kWhite);
    c.Line(x5, y0, x11, y0);
    c.Line(x5, y0 + 82, x12, y0 + 82);
    c.Line(x5, y0, x5, y0 + 82);
    c.Line(x11, y0, x11, y0 + 82);
    float fx = static_cast<float>(x5);
    c.SetPenColour(ShownWormColour(look, w, false));
    c.FillRect(fx + 1, static_cast<float>(y0), fx + 4, y0 + e);
    c.SetPenColour(ShownWormColour(look, w, true));
    c.FillRect(fx + 4, static_cast<float>(y0), fx + 6, y0 + e);
    return;
  }
  int x0 = 144 + 90 * (slot - 8);
  c.SetPenColour(kWhite);
  c.Line(x0, 469, x0 + 82, 469);
  c.Line(x0, 475, x0 + 83, 475);
  c.Line(x0, 469, x0, 475);
  c.Line(x0 + 82, 469, x0 + 82, 475);
  float fx = static_cast<float>(x0 + 1);
  c.SetPenColour(ShownWormColour(look, w, false));
  c.FillRect(fx, 469, fx + e, 472);
  c.SetPenColour(ShownWormColour(look, w, true));
  c.FillRect(fx, 472, fx + e, 474);
}

// Every occupied cell is one opaque pixel in its owner's colour. This is the busiest
// loop of a frame, so it writes the canvas rows directly (the same pixels the pen would
// plot) and skips empty stretches eight cells at a time.
void DrawTrails(Game& g, Canvas& c, bool dim) {
  std::array<uint32_t, 256> pixelOf{};  // 0: not drawn (a drawn pixel is never 0)
  for (int v = 0; v < kWormCount; ++v) {
    const TCerv& w = g.Worm(v);
    pixelOf[static_cast<size_t>(v)] =
        (ShownWormColour(g.presentation, w, dim) & 0xFFFFFFu) | 0xFF000000u;
  }
  const uint8_t* cells = g.ArenaMap.cells.data();
  for (int y = 0; y < kArenaHeight; ++y) {
    const uint8_t* row = cells + static_cast<size_t>(y) * kArenaWidth;
    uint32_t* out = c.Row(y + kArenaViewY) + kArenaViewX;
    static_assert(kArenaWidth % 8 == 0);
    for (int x = 0; x < kArenaWidth; x += 8) {
      uint64_t eight;
      std::memcpy(&eight, row + x, sizeof eight);
      if (eight == ~uint64_t{0}) continue;
      for (int i = x; i < x + 8; ++i) {
        uint32_t p = pixelOf[row[i]];
        if (p) out[i] = p;
      }
    }
  }
}

}  // namespace

bool IsMatchDrawPhase(GamePhase phase) {
  // 3 and 5 are phase values no code sets; the match screen is still drawn for them.
  const auto v = static_cast<uint8_t>(phase);
  return v <= 3 || (v >= 6 && v <= 8) ||
         (phase >= GamePhase::ShowThree && phase <= GamePhase::ShowingGo);
}

double ClampEnergy(double energy) { return energy > kStartEnergy ? kStartEnergy : energy; }

void BeforeRender(Game& g) {
  Canvas& c = g.beforeCanvas;
  c.Begin();
  GamePhase phase = g.phase;
  if (!IsMatchDrawPhase(phase)) return;

  if (g.settings.game.backgroundEffect && phase != GamePhase::RoundStart) DrawBackground(g, c);
  DrawArenaFrame(c);
  for (int s = 0; s < kPlayerSlots; ++s) {
    const TCerv& w = g.Worm(s);
    if (w.alive) DrawEnergyBar(c, s, w, g.presentation);
  }
  // Between rounds the trails are shown dimmed; with "surprise" positions the intro and
  // countdown hide them so nobody sees where the others start.
  bool dim = phase == GamePhase::RoundStart || phase == GamePhase::GameOver ||
             phase == GamePhase::WaitReady;
  bool countdown = phase == GamePhase::RoundIntro || static_cast<uint8_t>(phase) == 3 ||
                   (phase >= GamePhase::ShowThree && phase <= GamePhase::ShowingGo);
  if (countdown && g.settings.game.positions == 0) return;
  // The pixels below are written as an opaque pen of width 1 would plot them.
  c.SetPenWidth(1);
  c.SetPenAlpha(1.0f);
  DrawTrails(g, c, dim);
}

void AfterRender(Game& g) {
  Canvas& c = g.afterCanvas;
  c.Begin();
  const MenuState& m = g.menu;
  if (m.PopupFrameShown) {
    c.SetPenAlpha(1.0f);
    c.SetPenColour(kCyan);
    int x = m.PopupFrameX, y = m.PopupFrameY, w = m.PopupFrameWidth, h = m.PopupFrameHeight;
    c.Line(x + 4, y + 4, x + w - 4, y + 4);
    c.Line(x + 4, y + h - 4, x + w - 4, y + h - 4);
    c.Line(x + 4, y + 4, x + 4, y + h - 4);
    c.Line(x + w - 4, y + 4, x + w - 4, y + h - 3);
  }
  const AssetTables& a = g.assets;
  if (g.phase == GamePhase::Loading && a.PreloadLast != -1) {
    c.SetPenAlpha(1.0f);
    // A table of one entry is complete at its only entry (and must not divide by 0).
    int l = a.PreloadLast > 0 ? a.PreloadIndex * 89 / a.PreloadLast : 89;
    c.SetPenColour(kLoadingGreen);
    c.Line(279, 300, 279 + l, 300);
    c.SetPenColour(kLoadingDarkGreen);
    c.Line(279, 301, 279 + l, 301);
  }
  DrawTellings(g, c);
}

void RandomiseBackground(Game& g) {
  BackgroundGrid& b = g.BackgroundLines;
  uint32_t red = static_cast<uint32_t>(g.LookRandom(64));
  uint32_t green = static_cast<uint32_t>(g.LookRandom(64));
  uint32_t blue = static_cast<uint32_t>(g.LookRandom(64));
  b.colour = red | (green << 8) | (blue << 16);
  b.horizontalSpeed = g.LookRandom(160) + 5;
  b.verticalSpeed = g.LookRandom(120) + 5;
  b.verticalSpacing = g.LookRandom(100) + 20;
  b.horizontalSpacing = g.LookRandom(80) + 20;
  b.verticalDirection = g.LookRandom(2);
  b.horizontalDirection = g.LookRandom(2);
}

void MouseMove(Game& g, int x, int y) {
  g.menu.MouseX = x;
  g.menu.MouseY = y;
}

void MouseClick(Game& g) { g.menu.MouseClicked = true; }

}  // namespace tdx
