// A network match from the command line: the host waits for its machines and starts the
// match; every machine steps it (headless: as fast as the others' controls allow), prints
// the usual trace lines, records the match and ends at the final screen.
#pragma once

#include "app/app.h"

namespace tdx {

int RunNetworkHeadless(const AppOptions& options);
// The same in a window: the game loads, waits for the match ("please_wait"), then shows
// the match as this machine steps it, its people steering with their own keys.
int RunNetworkWindow(const AppOptions& options);

class Platform;
class FrameClock;
struct Game;
// The main menu's "network": the screens to host or join a match, its lobby and the match,
// in the game's own window; back at the main menu after. False when the program is to end
// (the window closed, or "exit_program" clicked).
// `frames`: those the program showed so far, counted on through the network screens.
bool RunNetworkFromMenu(Platform& platform, Game& g, FrameClock& clock, const AppOptions& options,
                        long long& frames);

// The people's controls a scripted run gives (bit 0 left, 1 right, 2 fire): turns held
// for a while and fire now and then, the same for the same seed, slot and frame.
uint8_t ScriptedControls(uint64_t seed, int slot, uint32_t frame);

}  // namespace tdx
