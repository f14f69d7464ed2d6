// Viruses: released in rings by the virus infester and the virus controller, they walk
// at random with a pull towards the arena centre, burn and kill, and once out of the
// arena run clockwise round it until they vanish at the bottom-left corner.
#pragma once

namespace tdx {

struct Match;
class TCerv;

// Releases `count` viruses on a circle of `radius` round the worm's next head position,
// `stepDegrees` apart, each into the lowest free place among its first `places`.
// Returns how many were released.
int ReleaseViruses(Match& m, TCerv& w, int count, double radius, double stepDegrees, int places);
// The number of free virus places among the worm's first `places`.
int FreeVirusPlaces(const TCerv& w, int places);

// Pass 7 of the projectile update.
void UpdateViruses(Match& m, double dt);

}  // namespace tdx
