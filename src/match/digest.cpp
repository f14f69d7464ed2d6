#include "match/digest.h"

#include <cstring>

#include "match/match.h"

namespace tdx {

namespace {

// FNV-1a over bytes: small, fast enough for once a round, and the same on every machine
// of one byte order.
struct Fnv {
  uint64_t h = 0xcbf29ce484222325ull;
  void Bytes(const void* p, size_t n) {
    const auto* b = static_cast<const uint8_t*>(p);
    for (size_t i = 0; i < n; ++i) h = (h ^ b[i]) * 0x100000001b3ull;
  }
  template <typename T>
  void Add(const T& v) {
    Bytes(&v, sizeof v);
  }
  void Add(double v) {
    if (v == 0) v = 0;  // +0 and -0 are the same place
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    Add(bits);
  }
};

}  // namespace

uint64_t RoundDigest(const Match& m) {
  Fnv f;
  f.Bytes(m.ArenaMap.cells.data(), m.ArenaMap.cells.size());
  for (int s = 0; s < kWormCount; ++s) {
    const TCerv& w = m.worms[static_cast<size_t>(s)];
    f.Add(w.alive);
    f.Add(static_cast<uint8_t>(w.kind));
    f.Add(w.headX);
    f.Add(w.headY);
    f.Add(w.heading);
    f.Add(w.energy);
    f.Add(w.speed);
    f.Add(w.tailX);
    f.Add(w.tailY);
    f.Add(w.placeIndex);
    for (int k = 0; k < kCloneCount; ++k) {
      auto i = static_cast<size_t>(k);
      f.Add(w.cloneAlive[i]);
      if (!w.cloneAlive[i]) continue;
      f.Add(w.cloneX[i]);
      f.Add(w.cloneY[i]);
      f.Add(w.cloneHeading[i]);
    }
  }
  for (int wins : m.match.RoundWins) f.Add(wins);
  for (int wins : m.match.TeamWins) f.Add(wins);
  f.Add(m.GlobalSpeed);
  return f.h;
}

}  // namespace tdx
