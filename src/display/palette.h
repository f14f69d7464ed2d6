// The colours worms, trails and labels are drawn in, by the player's colour-vision palette.
// The match keeps its own colour for every slot; this only changes what is seen.
#pragma once

#include <cstdint>

#include "display/presentation.h"

namespace tdx {

// The colour (RRGGBB) the worm of `slot` (0..11) is drawn in.
uint32_t ShownColour(const Presentation& p, int slot);

}  // namespace tdx
