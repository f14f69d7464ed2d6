#include "display/palette.h"

#include <algorithm>

#include "match/arena/worm.h"

namespace tdx {

uint32_t ShownColour(const Presentation& p, int slot) {
  (void)p;
  return kSlotColours[std::clamp(slot, 0, kWormCount - 1)];
}

}  // namespace tdx
