// The keyboard as the game sees it: 256 virtual-key states, this frame's and the last.
#pragma once

#include <array>
#include <cstdint>

namespace tdx {

struct InputState {
  std::array<uint8_t, 256> Keys{};      // live states as polled (nonzero = down)
  std::array<uint8_t, 256> PrevKeys{};  // the states of the frame before
};

}  // namespace tdx
