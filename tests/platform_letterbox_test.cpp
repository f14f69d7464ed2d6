// Where the 640 by 480 view sits in a window, and which view pixel the mouse is over.
#include <gtest/gtest.h>

#include "platform/letterbox.h"

namespace tdx {
namespace {

TEST(PlatformLetterbox, LargestCentredFourByThreeRectangle) {
  struct Case {
    int w, h;
    ViewRect expected;
  };
  const Case cases[] = {
      {640, 480, {0, 0, 640, 480}},
      {1280, 960, {0, 0, 1280, 960}},
      {1024, 768, {0, 0, 1024, 768}},
      {1920, 1080, {240, 0, 1440, 1080}},  // bars left and right
      {1366, 768, {171, 0, 1024, 768}},
      {800, 800, {0, 100, 800, 600}},  // bars top and bottom
      {1000, 600, {100, 0, 800, 600}},
      {1, 1000, {0, 499, 1, 1}},  // never empty
      {0, 0, {0, 0, 0, 0}},
      {-5, 480, {0, 0, 0, 0}},  // minimised
  };
  for (const Case& c : cases) {
    const ViewRect r = LetterboxRect(c.w, c.h);
    EXPECT_EQ(r, c.expected) << c.w << "x" << c.h << " gave " << r.x << "," << r.y << " " << r.w
                             << "x" << r.h;
  }
}

TEST(PlatformLetterbox, WindowPixelsMapToViewPixels) {
  struct Case {
    ViewRect rect;
    int wx, wy;
    bool inside;
    int vx, vy;
  };
  const ViewRect doubled{0, 0, 1280, 960};
  const ViewRect wide{240, 0, 1440, 1080};     // 1920 by 1080 desktop
  const ViewRect fractional{0, 0, 1024, 768};  // scale 1.6
  const Case cases[] = {
      {doubled, 0, 0, true, 0, 0},
      {doubled, 1, 1, true, 0, 0},
      {doubled, 2, 3, true, 1, 1},
      {doubled, 1279, 959, true, 639, 479},
      {wide, 240, 0, true, 0, 0},
      {wide, 1679, 1079, true, 639, 479},
      {wide, 960, 540, true, 320, 240},  // the desktop's centre is the view's centre
      {wide, 239, 500, false, 0, 222},   // left bar: held on the left edge
      {wide, 1680, 10, false, 639, 4},   // right bar
      {wide, -50, -50, false, 0, 0},     // beyond the window (a grab during a drag)
      {fractional, 0, 0, true, 0, 0},
      {fractional, 1023, 767, true, 639, 479},
      {fractional, 512, 384, true, 320, 240},
      {{0, 0, 0, 0}, 10, 10, false, 0, 0},  // empty window
  };
  for (const Case& c : cases) {
    int vx = -7, vy = -7;
    const bool inside = WindowToView(c.rect, c.wx, c.wy, vx, vy);
    EXPECT_EQ(inside, c.inside) << c.wx << "," << c.wy;
    EXPECT_EQ(vx, c.vx) << c.wx << "," << c.wy;
    EXPECT_EQ(vy, c.vy) << c.wx << "," << c.wy;
  }
}

// Every view column gets its fair share of window pixels, in order, with no gap.
TEST(PlatformLetterbox, EveryViewColumnIsReachedInOrder) {
  const ViewRect r = LetterboxRect(1920, 1080);
  int last = -1;
  for (int wx = r.x; wx < r.x + r.w; ++wx) {
    int vx = 0, vy = 0;
    ASSERT_TRUE(WindowToView(r, wx, 0, vx, vy));
    ASSERT_TRUE(vx == last || vx == last + 1)
        << "window x " << wx << " jumps from " << last << " to " << vx;
    last = vx;
  }
  EXPECT_EQ(last, 639);
}

TEST(PlatformLetterbox, WindowedScaleIsTheLargestWholeScaleThatFits) {
  struct Case {
    int w, h, scale;
  };
  const Case cases[] = {{1920, 1080, 2}, {1920, 1040, 2}, {1280, 960, 2},  {1279, 960, 1},
                        {1280, 959, 1},  {2560, 1440, 3}, {3840, 2160, 4}, {640, 480, 1},
                        {320, 200, 1},   {0, 0, 1}};
  for (const Case& c : cases) EXPECT_EQ(WindowedScale(c.w, c.h), c.scale) << c.w << "x" << c.h;
}

}  // namespace
}  // namespace tdx
