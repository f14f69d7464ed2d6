#include "match/arena/arena.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tdx {

void PaintMove(ArenaGrid& a, uint8_t value, double x0, double y0, double x1, double y1) {
  double dx = x1 - x0;
  double dy = y1 - y0;
  double d = std::sqrt(dx * dx + dy * dy);
  if (!(d > 1)) {
    Stamp(a, value, x1, y1);
    return;
  }
  // A move is at most a few units a frame; the cap only keeps a corrupt position from
  // stalling the frame (the stamps are clamped into the grid anyway).
  double n = std::min(RoundEven(2 * d), 4.0 * (kArenaWidth + kArenaHeight));
  double twoD = 2 * d;
  for (int i = 0; i <= static_cast<int>(n); ++i) {
    double f = i / twoD;
    Stamp(a, value, x0 + dx * f, y0 + dy * f);
  }
}

namespace {

// Writes one point of the erector's line by flat index, skipping indices off the grid.
inline void LinePoint(ArenaGrid& a, uint8_t value, long long x, long long y) {
  long long i = y * kArenaWidth + x;
  for (long long j : {i, i - 1, i - kArenaWidth - 1}) {
    if (j >= 0 && j < kArenaCells) a.cells[static_cast<size_t>(j)] = value;
  }
}

// The integer run of a line's long axis, limited to a range that can still reach the
// grid so that a corrupt end point cannot make the walk endless.
inline void RunRange(double p, double q, long long& lo, long long& hi) {
  constexpr double kLimit = 2.0 * kArenaCells;
  double a = std::clamp(RoundEven(std::min(p, q)), -kLimit, kLimit);
  double b = std::clamp(RoundEven(std::max(p, q)), -kLimit, kLimit);
  lo = static_cast<long long>(a);
  hi = static_cast<long long>(b);
}

}  // namespace

void PaintLine(ArenaGrid& a, uint8_t value, double ax, double ay, double bx, double by) {
  if (ax == bx && ay == by) return;
  if (!std::isfinite(ax) || !std::isfinite(ay) || !std::isfinite(bx) || !std::isfinite(by)) return;
  long long lo = 0, hi = 0;
  if (std::fabs(bx - ax) > std::fabs(by - ay)) {
    RunRange(ax, bx, lo, hi);
    for (long long x = lo; x <= hi; ++x) {
      double y = RoundEven((by - ay) * (static_cast<double>(x) - ax) / (bx - ax) + ay);
      LinePoint(a, value, x,
                static_cast<long long>(std::clamp(y, -2.0 * kArenaCells, 2.0 * kArenaCells)));
    }
  } else {
    RunRange(ay, by, lo, hi);
    for (long long y = lo; y <= hi; ++y) {
      double x = RoundEven((bx - ax) * (static_cast<double>(y) - ay) / (by - ay) + ax);
      LinePoint(a, value,
                static_cast<long long>(std::clamp(x, -2.0 * kArenaCells, 2.0 * kArenaCells)), y);
    }
  }
}

void BurnSquare(ArenaGrid& a, double px, double py, double halfW, double halfH) {
  // Clamped to the grid before the conversion, so a far-off or NaN point burns nothing.
  auto range = [](double lo, double hi, int size, int& from, int& to) {
    double l = RoundEven(lo), h = RoundEven(hi);
    if (!(l <= h) || h < 0 || l > size - 1) return false;
    from = l < 0 ? 0 : static_cast<int>(l);
    to = h > size - 1 ? size - 1 : static_cast<int>(h);
    return true;
  };
  int x0, x1, y0, y1;
  if (!range(px - halfW, px + halfW, kArenaWidth, x0, x1)) return;
  if (!range(py - halfH, py + halfH, kArenaHeight, y0, y1)) return;
  // Rows are short (a dozen cells): cleared eight cells at a time, the last eight
  // overlapping, which costs far less than a call to clear memory per row.
  const size_t n = static_cast<size_t>(x1 - x0 + 1);
  const uint64_t empty = 0x0101010101010101ull * EmptyCell;
  for (int y = y0; y <= y1; ++y) {
    uint8_t* row = &a.At(x0, y);
    if (n < 8) {
      for (size_t i = 0; i < n; ++i) row[i] = EmptyCell;
      continue;
    }
    for (size_t i = 0; i + 8 < n; i += 8) std::memcpy(row + i, &empty, 8);
    std::memcpy(row + n - 8, &empty, 8);
  }
}

}  // namespace tdx
