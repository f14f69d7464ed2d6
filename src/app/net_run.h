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

// The people's controls a scripted run gives (bit 0 left, 1 right, 2 fire): turns held
// for a while and fire now and then, the same for the same seed, slot and frame.
uint8_t ScriptedControls(uint64_t seed, int slot, uint32_t frame);

}  // namespace tdx
