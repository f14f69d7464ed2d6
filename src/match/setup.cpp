#include "match/setup.h"

namespace tdx {

int ClampedRoundLimit(uint8_t scoreLimitIndex) {
  return kRoundLimits[scoreLimitIndex > 5 ? 5 : scoreLimitIndex];
}

int ClampedSpeed(uint8_t speedIndex) { return kSpeedTable[speedIndex > 9 ? 9 : speedIndex]; }

}  // namespace tdx
