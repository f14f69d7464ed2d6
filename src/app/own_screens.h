// What the game's own full-window screens (network play, replays) share: reading a frame
// of the window's devices into the game, and handing the window back to the main menu.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "menu/settings.h"
#include "platform/platform.h"

namespace tdx {

struct Game;
class FrameClock;

// The frame's pointer events into `mouse` (moves and clicks handed to the menus) and the
// keys into `keys`, last frame's into `before`. False when the window was closed.
bool ReadWindowFrame(Platform& platform, Game& g, std::vector<MouseEvent>& mouse,
                     std::array<uint8_t, 256>& keys, std::array<uint8_t, 256>& before);

// The main menu is built next, with the set-up `own` it had before the screens and the
// frame clock going on from now.
void HandBackToMainMenu(Game& g, const FrameClock& clock, const SettingsBlock& own);

}  // namespace tdx
