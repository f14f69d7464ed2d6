// The colours worms, trails and labels are drawn in, by the player's colour-vision palette.
// The match keeps its own colour for every slot; this only changes what is seen.
#pragma once

#include <cstdint>

#include "display/presentation.h"

namespace tdx {

// The colour ($00BBGGRR, as the match keeps its own) the worm of `slot` is drawn in;
// slot 12, the neutral walls, stays white.
uint32_t ShownColour(const Presentation& p, int slot);

}  // namespace tdx
