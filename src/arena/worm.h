// One worm (TCerv) and its screen objects.
#pragma once

#include <cstdint>

#include "display/scene.h"

namespace tdx {

inline constexpr int kWormCount = 13;  // slots 0..11 play; slot 12 owns the neutral walls
inline constexpr int kPlayerSlots = 12;

class TCerv {
 public:
  explicit TCerv(Scene& scene);
  ~TCerv();
  TCerv(const TCerv&) = delete;
  TCerv& operator=(const TCerv&) = delete;

  // Identity and state
  uint8_t alive = 0;
  uint8_t slot = 0;
  uint8_t kind = 0;
  uint32_t colour = 0;
  uint32_t dimColour = 0;

  // Geometry
  double headX = 0, headY = 0, nextX = 0, nextY = 0, heading = 0;
  double tailX = 0, tailY = 0, tailHeading = 0;
  int32_t placeIndex = 0;

  // Movement and input
  double speed = 0;
  uint8_t turnLeft = 0, turnRight = 0, fireHeld = 0;
  uint8_t leftKey = 0, rightKey = 0, fireKey = 0;
  uint8_t stopped = 0, stoppedBy = 0;

  double energy = 81;

 private:
  Scene& scene_;
};

}  // namespace tdx
