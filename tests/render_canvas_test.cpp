// The overlay canvas's pen: colour and alpha set in any order give the same pixel.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "display/canvas.h"

namespace tdx {
namespace {

TEST(RenderCanvas, PenColourAndAlphaComposeInAnyOrder) {
  using Step = std::function<void(Canvas&)>;
  auto colour = [](uint32_t c) { return Step([c](Canvas& k) { k.SetPenColour(c); }); };
  auto alpha = [](float a) { return Step([a](Canvas& k) { k.SetPenAlpha(a); }); };
  const Step begin = [](Canvas& k) { k.Begin(); };
  struct Case {
    const char* what;
    std::vector<Step> steps;
    uint32_t pixel;  // premultiplied R | G << 8 | B << 16 | A << 24, over a transparent canvas
  };
  const Case cases[] = {
      {"opaque red", {colour(0x0000FF)}, 0xFF0000FFu},
      {"half alpha, then colour", {alpha(0.5f), colour(0x0000FF)}, 0x80000080u},
      {"colour, then half alpha", {colour(0x0000FF), alpha(0.5f)}, 0x80000080u},
      {"back to opaque, then colour", {alpha(0.5f), alpha(1.0f), colour(0x00FF00)}, 0xFF00FF00u},
      {"colour while faded, then opaque",
       {alpha(0.5f), colour(0x00FF00), alpha(1.0f)},
       0xFF00FF00u},
      {"high byte of the colour ignored", {colour(0xAB123456)}, 0xFF123456u},
      {"same colour twice", {colour(0x123456), colour(0x123456)}, 0xFF123456u},
      // Setting the pen's own colour again is skipped; it must never be skipped when the
      // pen has changed under it (a new start, a fade) since the colour was last set.
      {"same colour again after a new start",
       {colour(0x123456), begin, colour(0x123456)},
       0xFF123456u},
      {"white again after a new start", {colour(0x123456), begin, colour(0xFFFFFF)}, 0xFFFFFFFFu},
      {"same colour again while faded",
       {colour(0x0000FF), alpha(0.5f), colour(0x0000FF)},
       0x80000080u},
      {"same colour again after fading back",
       {colour(0x0000FF), alpha(0.5f), alpha(1.0f), colour(0x0000FF)},
       0xFF0000FFu},
  };
  for (const Case& c : cases) {
    Canvas canvas;
    canvas.Begin();
    for (const Step& s : c.steps) s(canvas);
    canvas.Pixel(5, 5);
    EXPECT_EQ(canvas.At(5, 5), c.pixel) << c.what;
    EXPECT_TRUE(canvas.Touched()) << c.what;
  }
}

TEST(RenderCanvas, PenWidthBelowOneKeepsTheLastWidth) {
  Canvas canvas;
  canvas.Begin();
  canvas.SetPenWidth(3);
  canvas.SetPenWidth(0);
  canvas.SetPenWidth(-2);
  EXPECT_EQ(canvas.PenWidth(), 3);
  canvas.Pixel(10, 10);
  EXPECT_NE(canvas.At(9, 9), 0u);
  EXPECT_NE(canvas.At(11, 11), 0u);
  EXPECT_EQ(canvas.At(12, 10), 0u);
}

}  // namespace
TEST(RenderCanvas, LinesDrawBothEndsAndWidePensAndStayShortWhenFarOff) {
  Canvas k;
  k.Begin();
  k.Line(10, 10, 13, 10);
  for (int x = 10; x <= 13; ++x) EXPECT_EQ(k.At(x, 10), 0xFFFFFFFFu) << x;
  EXPECT_EQ(k.At(14, 10), 0u);
  EXPECT_EQ(k.At(10, 11), 0u);
  k.SetPenWidth(0);  // ignored
  EXPECT_EQ(k.PenWidth(), 1);
  k.SetPenWidth(3);
  k.Pixel(100, 100);
  EXPECT_EQ(k.At(99, 99), 0xFFFFFFFFu);
  EXPECT_EQ(k.At(101, 101), 0xFFFFFFFFu);
  EXPECT_EQ(k.At(102, 100), 0u);
  // A corrupt, enormous line draws only what lies in the view, and quickly.
  k.Begin();
  k.Line(-2000000000, 240, 2000000000, 240);
  EXPECT_EQ(k.At(0, 240), 0xFFFFFFFFu);
  EXPECT_EQ(k.At(639, 240), 0xFFFFFFFFu);
  k.Line(5000000, 5000000, 6000000, 6000000);  // wholly outside: nothing
  EXPECT_EQ(k.At(639, 479), 0u);
}

}  // namespace tdx
