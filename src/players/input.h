// The keyboard as the game sees it: 256 virtual-key states, this frame's and the last.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "players/key_names.h"

namespace tdx {

struct InputState {
  std::array<uint8_t, 256> Keys{};      // live states as polled (nonzero = down)
  std::array<uint8_t, 256> PrevKeys{};  // the states of the frame before
  std::array<uint8_t, 256> Polled{};    // what the platform reported, taken by the next poll
  bool ForgetHeldKeys = false;
  std::vector<KeyNameEntry> KeyNameTable;
};

struct Game;

// Once a frame in every phase: the key snapshot, the poll, and in play the worms' controls.
void processkeyboard(Game& g);

bool KeyDown(const Game& g, uint8_t code);

}  // namespace tdx
