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
  // The three controls now as bits: 0 left, 1 right, 2 fire.
  uint8_t NowBits() const { return static_cast<uint8_t>(now[0] | now[1] << 1 | now[2] << 2); }
};

}  // namespace tdx
