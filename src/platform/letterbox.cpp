#include "platform/letterbox.h"

#include <algorithm>
#include <cstdint>

#include "display/scene.h"

namespace tdx {

ViewRect LetterboxRect(int windowWidth, int windowHeight) {
  if (windowWidth <= 0 || windowHeight <= 0) return {};
  ViewRect r;
  // 64-bit products: a window is never that large, but a bad size must not overflow.
  int64_t w = windowWidth, h = windowHeight;
  if (w * kViewHeight >= h * kViewWidth) {
    // Wider than 4:3: full height, bars left and right.
    r.h = windowHeight;
    r.w = static_cast<int>((h * kViewWidth + kViewHeight / 2) / kViewHeight);
  } else {
    r.w = windowWidth;
    r.h = static_cast<int>((w * kViewHeight + kViewWidth / 2) / kViewWidth);
  }
  r.w = std::clamp(r.w, 1, windowWidth);
  r.h = std::clamp(r.h, 1, windowHeight);
  r.x = (windowWidth - r.w) / 2;
  r.y = (windowHeight - r.h) / 2;
  return r;
}

bool WindowToView(const ViewRect& rect, int wx, int wy, int& vx, int& vy) {
  if (rect.w <= 0 || rect.h <= 0) {
    vx = 0;
    vy = 0;
    return false;
  }
  // Map the centre of the window pixel: 2 * (wx - x) + 1 over 2 * w, in integers.
  auto map = [](int64_t p, int64_t origin, int64_t size, int64_t view) {
    int64_t num = (2 * (p - origin) + 1) * view;
    int64_t den = 2 * size;
    // Floor division that also holds for points left of or above the view.
    int64_t q = num / den;
    if ((num % den != 0) && ((num < 0) != (den < 0))) --q;
    return q;
  };
  int64_t x = map(wx, rect.x, rect.w, kViewWidth);
  int64_t y = map(wy, rect.y, rect.h, kViewHeight);
  bool inside = x >= 0 && x < kViewWidth && y >= 0 && y < kViewHeight;
  vx = static_cast<int>(std::clamp<int64_t>(x, 0, kViewWidth - 1));
  vy = static_cast<int>(std::clamp<int64_t>(y, 0, kViewHeight - 1));
  return inside;
}

int WindowedScale(int areaWidth, int areaHeight) {
  return std::max(1, std::min(areaWidth / kViewWidth, areaHeight / kViewHeight));
}

}  // namespace tdx
