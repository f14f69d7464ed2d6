#include "display/canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace tdx {

namespace {

// Liang-Barsky: cuts the segment to the box; false when nothing of it is inside.
bool ClipToBox(double& x0, double& y0, double& x1, double& y1, double minX, double minY,
               double maxX, double maxY) {
  double t0 = 0, t1 = 1, dx = x1 - x0, dy = y1 - y0;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {x0 - minX, maxX - x0, y0 - minY, maxY - y0};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    double t = q[i] / p[i];
    if (p[i] < 0) {
      t0 = std::max(t0, t);
    } else {
      t1 = std::min(t1, t);
    }
    if (t0 > t1) return false;
  }
  double sx = x0, sy = y0;
  x0 = sx + t0 * dx;
  y0 = sy + t0 * dy;
  x1 = sx + t1 * dx;
  y1 = sy + t1 * dy;
  return true;
}

}  // namespace

Canvas::Canvas() : pixels_(static_cast<size_t>(kViewWidth) * kViewHeight, 0) {}

void Canvas::Begin() {
  if (touched_) std::memset(pixels_.data(), 0, pixels_.size() * sizeof(uint32_t));
  touched_ = false;
  penColour_ = 0xFFFFFF;
  penAlpha_ = 1.0f;
  penWidth_ = 1;
  Recompose();
}

void Canvas::SetPenAlpha(float alpha) {
  alpha = std::clamp(alpha, 0.0f, 1.0f);
  if (alpha == penAlpha_) return;
  penAlpha_ = alpha;
  Recompose();
}

void Canvas::Recompose() {
  uint32_t a = static_cast<uint32_t>(std::lround(penAlpha_ * 255.0f));
  opaque_ = a == 255;
  auto premul = [a](uint32_t c) { return (c * a + 127) / 255; };
  uint32_t r = premul(penColour_ & 0xFF);
  uint32_t g = premul((penColour_ >> 8) & 0xFF);
  uint32_t b = premul((penColour_ >> 16) & 0xFF);
  composed_ = r | (g << 8) | (b << 16) | (a << 24);
}

// Source-over with premultiplied colours, as the GL canvas blends.
void Canvas::Blend(int x, int y) {
  if (static_cast<unsigned>(x) >= static_cast<unsigned>(kViewWidth) ||
      static_cast<unsigned>(y) >= static_cast<unsigned>(kViewHeight)) {
    return;
  }
  touched_ = true;
  uint32_t& d = pixels_[static_cast<size_t>(y) * kViewWidth + static_cast<size_t>(x)];
  if (opaque_) {
    d = composed_;
    return;
  }
  uint32_t inv = 255 - (composed_ >> 24);
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    uint32_t s = (composed_ >> shift) & 0xFF;
    uint32_t dc = (d >> shift) & 0xFF;
    uint32_t v = s + (dc * inv + 127) / 255;
    out |= std::min(v, 255u) << shift;
  }
  d = out;
}

void Canvas::Dot(int x, int y) {
  if (penWidth_ == 1) {
    Blend(x, y);
    return;
  }
  int lo = -(penWidth_ - 1) / 2;
  int hi = lo + penWidth_;
  for (int dy = lo; dy < hi; ++dy) {
    for (int dx = lo; dx < hi; ++dx) Blend(x + dx, y + dy);
  }
}

void Canvas::Line(int x1, int y1, int x2, int y2) {
  // A line reaching far outside the view (a corrupt position) is cut to a margin around
  // it first, so the walk stays short; lines inside the view are drawn exactly.
  constexpr long long kMargin = 64;
  auto far = [](long long v, long long limit) { return v < -kMargin || v > limit + kMargin; };
  if (far(x1, kViewWidth) || far(x2, kViewWidth) || far(y1, kViewHeight) || far(y2, kViewHeight)) {
    double ax = x1, ay = y1, bx = x2, by = y2;
    if (!ClipToBox(ax, ay, bx, by, -kMargin, -kMargin, kViewWidth + kMargin,
                   kViewHeight + kMargin)) {
      return;
    }
    x1 = static_cast<int>(std::lround(ax));
    y1 = static_cast<int>(std::lround(ay));
    x2 = static_cast<int>(std::lround(bx));
    y2 = static_cast<int>(std::lround(by));
  }
  // Bresenham; both end points are drawn.
  int dx = std::abs(x2 - x1), sx = x1 < x2 ? 1 : -1;
  int dy = -std::abs(y2 - y1), sy = y1 < y2 ? 1 : -1;
  int err = dx + dy;
  for (;;) {
    Dot(x1, y1);
    if (x1 == x2 && y1 == y2) break;
    int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x1 += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y1 += sy;
    }
  }
}

void Canvas::FillRect(float x1, float y1, float x2, float y2) {
  float lx = std::min(x1, x2), hx = std::max(x1, x2);
  float ly = std::min(y1, y2), hy = std::max(y1, y2);
  int ix0 = std::max(0, static_cast<int>(std::ceil(lx - 0.5f)));
  int ix1 = std::min(kViewWidth - 1, static_cast<int>(std::ceil(hx - 0.5f)) - 1);
  int iy0 = std::max(0, static_cast<int>(std::ceil(ly - 0.5f)));
  int iy1 = std::min(kViewHeight - 1, static_cast<int>(std::ceil(hy - 0.5f)) - 1);
  for (int y = iy0; y <= iy1; ++y) {
    for (int x = ix0; x <= ix1; ++x) Blend(x, y);
  }
}

}  // namespace tdx
