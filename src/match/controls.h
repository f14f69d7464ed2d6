// A player's three controls, whoever gives them: the keys of a person, the computer
// player, or a recording.
#pragma once

#include <array>
#include <cstdint>

namespace tdx {

inline constexpr int kControlLeft = 0, kControlRight = 1, kControlFire = 2;

// The three controls this frame and the frame before.
struct Controls {
  std::array<bool, 3> now{};
  std::array<bool, 3> before{};
  bool Pressed(int c) const { return now[c] && !before[c]; }
  bool Held(int c) const { return now[c] && before[c]; }
  bool Released(int c) const { return !now[c] && before[c]; }
};

}  // namespace tdx
