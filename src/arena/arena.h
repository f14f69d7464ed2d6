// The arena grid: 608 by 408 cells of trail owners (255 empty, 0..12 the owning slot).
#pragma once

#include <array>
#include <cstdint>

namespace tdx {

inline constexpr int kArenaWidth = 608;
inline constexpr int kArenaHeight = 408;
inline constexpr int kArenaCells = kArenaWidth * kArenaHeight;
inline constexpr uint8_t EmptyCell = 255;
// The arena's top-left cell is drawn at this view pixel.
inline constexpr int kArenaViewX = 16;
inline constexpr int kArenaViewY = 56;

struct ArenaGrid {
  std::array<uint8_t, kArenaCells> cells;
  ArenaGrid() { Clear(); }
  void Clear() { cells.fill(EmptyCell); }
  uint8_t& At(int x, int y) { return cells[static_cast<size_t>(y) * kArenaWidth + static_cast<size_t>(x)]; }
  uint8_t At(int x, int y) const { return cells[static_cast<size_t>(y) * kArenaWidth + static_cast<size_t>(x)]; }
};

}  // namespace tdx
