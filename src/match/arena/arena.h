// The arena grid: 608 by 408 cells of trail owners (255 empty, 0..12 the owning slot).
#pragma once

#include <array>
#include <cmath>
#include <cstdint>

namespace tdx {

inline constexpr int kArenaWidth = 608;
inline constexpr int kArenaHeight = 408;
inline constexpr int kArenaCells = kArenaWidth * kArenaHeight;
inline constexpr uint8_t EmptyCell = 255;
// Cells of slot 12 are neutral walls: nobody's trail, an obstacle for everybody.
inline constexpr uint8_t WallCell = 12;
// The arena's top-left cell is drawn at this view pixel.
inline constexpr int kArenaViewX = 16;
inline constexpr int kArenaViewY = 56;

struct ArenaGrid {
  std::array<uint8_t, kArenaCells> cells{};
  ArenaGrid() { Clear(); }
  void Clear() { cells.fill(EmptyCell); }
  uint8_t& At(int x, int y) {
    return cells[static_cast<size_t>(y) * kArenaWidth + static_cast<size_t>(x)];
  }
  uint8_t At(int x, int y) const {
    return cells[static_cast<size_t>(y) * kArenaWidth + static_cast<size_t>(x)];
  }
};

// Nearest integer with exact halves to the even one (2.5 -> 2, 3.5 -> 4). The default
// floating-point rounding mode does exactly that; every grid mapping goes through here.
inline double RoundEven(double v) { return std::nearbyint(v); }

struct Cell {
  int x = 0;
  int y = 0;
  bool operator==(const Cell&) const = default;
};

// The cell of an arena point, held inside the grid (so a probe never reads outside it).
// Clamping happens before the conversion to int, so NaN or huge values stay harmless.
inline Cell ClampCell(double x, double y) {
  double rx = RoundEven(x);
  double ry = RoundEven(y);
  Cell c;
  c.x = rx >= 0 ? (rx <= kArenaWidth - 1 ? static_cast<int>(rx) : kArenaWidth - 1) : 0;
  c.y = ry >= 0 ? (ry <= kArenaHeight - 1 ? static_cast<int>(ry) : kArenaHeight - 1) : 0;
  return c;
}

// The worm's pen: the 2 by 2 block up and to the left of the point's cell.
inline void Stamp(ArenaGrid& a, uint8_t value, double px, double py) {
  Cell c = ClampCell(px, py);
  a.At(c.x, c.y) = value;
  c = ClampCell(px - 1, py);
  a.At(c.x, c.y) = value;
  c = ClampCell(px, py - 1);
  a.At(c.x, c.y) = value;
  c = ClampCell(px - 1, py - 1);
  a.At(c.x, c.y) = value;
}

// Burns a block of the arena back to empty: every cell from round(px - halfW) to
// round(px + halfW) and from round(py - halfH) to round(py + halfH) that lies inside the
// grid. Fireballs, bullets, rockets and fire balls all burn this way.
void BurnSquare(ArenaGrid& a, double px, double py, double halfW, double halfH);

// Drags the pen from (x0, y0) to (x1, y1) at half-unit steps, so a move of any length
// leaves a gap-free trail; a short move only stamps its end.
void PaintMove(ArenaGrid& a, uint8_t value, double x0, double y0, double x1, double y1);

// The erector's straight line from A to B. Each point writes three flat indices
// (x, y), (x - 1, y) and (x - 1, y - 1); at x = 0 the left neighbours therefore land on
// the last column of the row above; the flat indices are kept on purpose.
void PaintLine(ArenaGrid& a, uint8_t value, double ax, double ay, double bx, double by);

}  // namespace tdx
