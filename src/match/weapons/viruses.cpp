#include "match/weapons/viruses.h"

#include <cmath>
#include <string>

#include "match/arena/arena.h"
#include "match/match.h"
#include "match/weapons/victims.h"

namespace tdx {

namespace {

constexpr double kVirusHitRadius = 6;
constexpr double kLapSpeed = 100;  // units per second round the outside, whatever the speed

// The picture digit of each of the sixteen animation frames: the spikes breathe out
// over 1..5 and back, then the body turns over 6..9 and back.
constexpr char kFrameDigit[16] = {'1', '2', '3', '4', '5', '4', '3', '2',
                                  '1', '6', '7', '8', '9', '8', '7', '6'};

void Inside(Match& m, int slot, TCerv& w, size_t i, double dt) {
  const double s = m.GlobalSpeed;
  // The x number is drawn first: a replay depends on the order.
  int rx = m.Random(3648);
  w.virusX[i] += (rx + w.virusDriftX[i] - 1824) * (s / 50) * 2 * dt / 80;
  int ry = m.Random(2448);
  w.virusY[i] += (ry + w.virusDriftY[i] - 1224) * (s / 50) * 2 * dt / 80;

  if (w.virusControl && !w.virusFree) {
    // Held viruses home on their controller.
    double dx = w.nextX - w.virusX[i], dy = w.nextY - w.virusY[i];
    double d = std::sqrt(dx * dx + dy * dy);
    if (d == 0) d = 0.1;
    double step = (s / 50) * 10 * dt;
    w.virusX[i] += dx / d * step;
    w.virusY[i] += dy / d * step;
  }

  BurnSquare(m.ArenaMap, w.virusX[i], w.virusY[i], 5, 5);
  HitVictimsNear(m, {DeathCause::Virus, slot}, slot, w.virusX[i], w.virusY[i], kVirusHitRadius,
                 true);

  if (w.virusX[i] < -8) w.virusEdgeState[i] = 1;
  if (w.virusX[i] > 616) w.virusEdgeState[i] = 3;
  if (w.virusY[i] < -8) w.virusEdgeState[i] = 2;
  if (w.virusY[i] > 416) w.virusEdgeState[i] = 4;
}

// Clockwise round the arena: up the left side, right along the top, down the right
// side, left along the bottom and gone.
void Outside(TCerv& w, size_t i, double dt) {
  uint8_t& e = w.virusEdgeState[i];
  if (e == 1) {
    w.virusY[i] -= kLapSpeed * dt;
    if (w.virusY[i] < -8) e = 2;
  }
  if (e == 3) {
    w.virusY[i] += kLapSpeed * dt;
    if (w.virusY[i] > 416) e = 4;
  }
  if (e == 2) {
    w.virusX[i] += kLapSpeed * dt;
    if (w.virusX[i] > 616) e = 3;
  }
  if (e == 4) {
    w.virusX[i] -= kLapSpeed * dt;
    if (w.virusX[i] + 16 < -10) {
      w.virusActive[i] = 0;
      w.virusLook[i].visible = false;
    }
  }
}

}  // namespace

int FreeVirusPlaces(const TCerv& w, int places) {
  int n = 0;
  for (int j = 0; j < places && j < kVirusCount; ++j) n += !w.virusActive[static_cast<size_t>(j)];
  return n;
}

int ReleaseViruses(Match& m, TCerv& w, int count, double radius, double stepDegrees, int places) {
  // The material is set with the colour at once, so no frame shows an unknown picture.
  const std::string first = std::string("virus1") + w.virusColour;
  const LibraryId shots = LibGlmlshots;
  int released = 0;
  size_t j = 0;
  for (int k = 0; k < count; ++k) {
    while (j < static_cast<size_t>(places) && j < kVirusCount && w.virusActive[j]) ++j;
    if (j >= static_cast<size_t>(places) || j >= kVirusCount) break;
    double a = k * stepDegrees * kDegToRad;
    w.virusX[j] = w.nextX + radius * std::cos(a);
    w.virusY[j] = w.nextY + radius * std::sin(a);
    w.virusActive[j] = 1;
    w.virusAnimTime[j] = 0;
    w.virusAnimPeriod[j] = m.Random(5) / 100.0 + 0.02;
    w.virusFrame[j] = 0;
    // A pull towards the arena centre plus noise.
    w.virusDriftX[j] = m.Random(200) + static_cast<int>(RoundEven(304 - w.nextX)) - 100;
    w.virusDriftY[j] = m.Random(200) + static_cast<int>(RoundEven(204 - w.nextY)) - 100;
    w.virusEdgeState[j] = 0;
    Look& sp = w.virusLook[j];
    sp.SetMaterial(shots, first);
    PlaceAtArena(sp, w.virusX[j], w.virusY[j]);
    sp.visible = true;
    ++released;
  }
  return released;
}

void UpdateViruses(Match& m, double dt) {
  std::string material = "virus1";
  for (int slot = 0; slot < kPlayerSlots; ++slot) {
    TCerv& w = m.Worm(slot);
    material.resize(6);
    material += w.virusColour;
    for (size_t i = 0; i < kVirusCount; ++i) {
      if (!w.virusActive[i]) continue;
      if (w.virusEdgeState[i] == 0) Inside(m, slot, w, i, dt);
      if (w.virusEdgeState[i] != 0) Outside(w, i, dt);
      Look& sp = w.virusLook[i];
      PlaceAtArena(sp, w.virusX[i], w.virusY[i]);
      w.virusAnimTime[i] += dt;
      if (w.virusAnimPeriod[i] > 0) {
        while (w.virusAnimTime[i] > w.virusAnimPeriod[i]) {
          w.virusAnimTime[i] -= w.virusAnimPeriod[i];
          if (++w.virusFrame[i] >= 16) w.virusFrame[i] = 0;
        }
      }
      material[5] = kFrameDigit[w.virusFrame[i] & 15];
      sp.SetMaterialName(material);
    }
  }
}

}  // namespace tdx
