#include "match/arena/start_positions.h"

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include "match/arena/worm.h"
#include "match/match.h"
#include "match/setup.h"

namespace tdx {

double HeadingTowards(double fromX, double fromY, double toX, double toY) {
  if (fromX == toX && fromY == toY) return 0;
  if (toX == fromX) return toY > fromY ? 90 : 270;
  if (toY == fromY) return toX > fromX ? 0 : 180;
  double a = std::atan((fromY - toY) / (fromX - toX)) * 180.0 / std::numbers::pi;
  return toX > fromX ? a : a + 180;
}

namespace {

// The three ellipse rules: even places round the centre, facing in, out or along.
StartPlace OnEllipse(int placeIndex, int count, double rx, double ry, double turn) {
  double a = placeIndex * 2 * std::numbers::pi / count;
  StartPlace p;
  p.x = kArenaCentreX + rx * std::cos(a);
  p.y = kArenaCentreY + ry * std::sin(a);
  double h = HeadingTowards(p.x, p.y, kArenaCentreX, kArenaCentreY) + turn;
  if (h >= 360) h -= 360;
  if (h < 0) h += 360;
  p.heading = h;
  return p;
}

StartPlace OnGrid(int placeIndex, int count, Rng& rng) {
  StartPlace p;
  if (count == 3) {
    p.x = (placeIndex + 1) * 608.0 / 4;
    p.y = kArenaCentreY;
  } else if (count == 2) {
    p.x = (placeIndex + 1) * 608.0 / 3;
    p.y = kArenaCentreY;
  } else {
    int c = static_cast<int>(std::sqrt(static_cast<double>(count)));
    int r = count / c + (count != c * c ? 1 : 0);
    p.x = ((placeIndex % r) + 1) * 608.0 / (r + 1);
    int row = placeIndex / r;  // whole rows of r places
    p.y = (row + 1) * 408.0 / (c + 1);
  }
  p.heading = rng.Random(360);
  return p;
}

double NearestDistance(double x, double y, std::span<const StartPoint> earlier) {
  double best = std::numeric_limits<double>::infinity();
  for (const StartPoint& e : earlier) best = std::min(best, std::hypot(x - e.x, y - e.y));
  return best;
}

StartPlace Scattered(Rng& rng, std::span<const StartPoint> earlier) {
  StartPlace p;
  double bestGap = -1;
  for (int draw = 0; draw < kRandomPlaceMaxDraws; ++draw) {
    double x = rng.Random(508) + 50;
    double y = rng.Random(308) + 50;
    double gap = NearestDistance(x, y, earlier);
    if (gap >= kRandomPlaceMinDistance) {
      p.x = x;
      p.y = y;
      break;
    }
    // No free place yet: remember the roomiest one in case none ever turns up.
    if (gap > bestGap) {
      bestGap = gap;
      p.x = x;
      p.y = y;
    }
  }
  p.heading = rng.Random(360);
  return p;
}

}  // namespace

StartPlace ComputeStartPlace(StartPositionRule rule, int placeIndex, int count, Rng& rng,
                             std::span<const StartPoint> earlier) {
  if (count < 1) count = 1;
  switch (rule) {
    case StartPositionRule::AwayFromTheMiddle: return OnEllipse(placeIndex, count, 60.8, 40.8, 180);
    case StartPositionRule::Circle: return OnEllipse(placeIndex, count, 243.2, 163.2, 90);
    case StartPositionRule::ProportionalRandom: return OnGrid(placeIndex, count, rng);
    case StartPositionRule::RandomPlaces: return Scattered(rng, earlier);
    case StartPositionRule::Race: {
      StartPlace p;
      p.x = 16;
      p.y = (placeIndex + 1) * 408.0 / (count + 1);
      p.heading = 0;
      return p;
    }
    case StartPositionRule::IntoTheMiddle:
    default: return OnEllipse(placeIndex, count, 273.6, 183.6, 0);
  }
}

void PlaceWorm(Match& m, TCerv& w) {
  w.energy = kStartEnergy;
  std::vector<StartPoint> earlier;
  for (int j = 0; j < kPlayerSlots && j < w.slot; ++j) {
    const TCerv& other = m.Worm(j);
    if (other.alive) earlier.push_back({other.tailX, other.tailY});
  }
  StartPlace p = ComputeStartPlace(static_cast<StartPositionRule>(m.settings.game.startPosition),
                                   w.placeIndex, ActivePlayerCount(m), m.matchRng, earlier);
  w.tailX = w.headX = p.x;
  w.tailY = w.headY = p.y;
  w.heading = p.heading;
  w.tailHeading = p.heading + 180;
}

void ShuffleAndPlace(Match& m) {
  std::vector<int> alive;
  for (int s = 0; s < kPlayerSlots; ++s) {
    if (m.Worm(s).alive) alive.push_back(s);
  }
  for (size_t i = 0; i < alive.size(); ++i) m.Worm(alive[i]).placeIndex = static_cast<int32_t>(i);
  int n = ActivePlayerCount(m);
  for (int swap = 0; swap < 101; ++swap) {
    int a = m.Random(n);
    int b = m.Random(n);
    // The counts agree at round start; a mismatch only skips the swap.
    if (a == b || a >= static_cast<int>(alive.size()) || b >= static_cast<int>(alive.size()))
      continue;
    std::swap(m.Worm(alive[static_cast<size_t>(a)]).placeIndex,
              m.Worm(alive[static_cast<size_t>(b)]).placeIndex);
  }
  for (int s : alive) {
    TCerv& w = m.Worm(s);
    w.slot = static_cast<uint8_t>(s);
    PlaceWorm(m, w);
  }
}

}  // namespace tdx
