// Where each playing worm starts a round: six rules, a shuffle of the places, and the
// placement itself.
#pragma once

#include <cstdint>
#include <span>

#include "match/random.h"
#include "match/setup.h"

namespace tdx {

struct Match;
class TCerv;

inline constexpr double kArenaCentreX = 304;
inline constexpr double kArenaCentreY = 204;
// The random rule keeps every new worm this far from the start points of the worms
// placed before it.
inline constexpr double kRandomPlaceMinDistance = 100;
// Draws before the random rule settles for the best place it has seen (with many worms
// the remaining free space can be too small for any draw to pass).
inline constexpr int kRandomPlaceMaxDraws = 10000;

struct StartPoint {
  double x = 0;
  double y = 0;
};

struct StartPlace {
  double x = 0;
  double y = 0;
  double heading = 0;  // degrees
};

// The heading pointing from the first point to the second, in (-90, 270]; 0 when the
// points are equal. Callers normalise it.
double HeadingTowards(double fromX, double fromY, double toX, double toY);

// One worm's start point and heading under `rule` (StartPositionRule; unknown values
// act as into_the_middle), for place `placeIndex` of `count` playing worms. `earlier`
// holds the start points of the alive worms of lower slots (the random rule keeps away
// from them). Draws from `rng` only for the rules that need chance.
StartPlace ComputeStartPlace(StartPositionRule rule, int placeIndex, int count, Rng& rng,
                             std::span<const StartPoint> earlier);

// Gives the worm its start point as head and tail, its heading, the tail heading
// (heading + 180, not reduced) and full energy. Reads the worm's placeIndex and slot.
void PlaceWorm(Match& m, TCerv& w);

// Round start, after `alive` is set: place indices in slot order, 101 random swaps,
// then for every alive slot in order: slot := its index and PlaceWorm.
void ShuffleAndPlace(Match& m);

}  // namespace tdx
