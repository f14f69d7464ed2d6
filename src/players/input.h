// The keyboard as the game sees it (256 virtual-key states, this frame's and the last) and
// the one controls record per player that everything in play reads.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "match/controls.h"
#include "players/key_codes.h"
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

// Once a frame in every phase: the key snapshot, the poll, and the people's controls
// records. It only reads devices: the computer players decide in the match's step, and
// what the controls do happens there too (StepMatchControls).
void processkeyboard(Game& g);

bool KeyDown(const Game& g, uint8_t code);
// Control 0 left, 1 right, 2 fire, as the slot's controls record holds them.
bool ControlNow(const Game& g, int slot, int control);
bool ControlBefore(const Game& g, int slot, int control);
bool AnyHumanPlayer(const Game& g);
// Key capture: one key was held alone (PrevKeys) and none is down now.
bool SingleKeyDown(const Game& g);
bool NoKeyDown(const Game& g);
uint8_t LastKeyDown(const Game& g);

}  // namespace tdx
