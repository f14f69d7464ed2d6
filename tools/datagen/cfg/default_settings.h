// The set-up the game ships with: two people at the keyboard against two planning
// computer players, every worm of a random kind.
#pragma once

#include "menu/settings.h"

namespace tdx {

SettingsBlock DefaultSettings();

}  // namespace tdx
