// Where the 640 by 480 view sits inside a window of any size, and back again.
// Pure arithmetic, so the mapping is tested without a display.
#pragma once

namespace tdx {

// A rectangle in window (or drawable) pixels, origin top-left.
struct ViewRect {
  int x = 0;
  int y = 0;
  int w = 0;
  int h = 0;
  bool operator==(const ViewRect&) const = default;
};

// The largest 4:3 rectangle that fits the window, centred; the rest is black bars.
// An empty window (minimised) gives an empty rectangle.
ViewRect LetterboxRect(int windowWidth, int windowHeight);

// The view pixel under a window pixel (the pixel's centre is mapped). Returns false when
// the point lies in a bar or the rectangle is empty; vx, vy are then clamped to the view
// edge (so a pointer that leaves the view stays on its border).
bool WindowToView(const ViewRect& rect, int wx, int wy, int& vx, int& vy);

// The largest whole scale of 640 by 480 that fits an area of this size (at least 1).
int WindowedScale(int areaWidth, int areaHeight);

}  // namespace tdx
