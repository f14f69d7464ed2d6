#include "match/computer/hazards.h"

#include <algorithm>
#include <cmath>

#include "match/match.h"

namespace tdx {

double PlanDistance(double ax, double ay, double bx, double by) {
  double dx = ax - bx, dy = ay - by;
  return std::sqrt(dx * dx + dy * dy);
}

namespace {

// The slots whose worms are protected against viruses (or rockets).
template <typename Protected>
uint32_t ProtectedSlots(const Match& m, Protected isProtected) {
  uint32_t bits = 0;
  for (int s = 0; s < kPlayerSlots; ++s) {
    if (isProtected(m.worms[static_cast<size_t>(s)])) bits |= SlotBit(s);
  }
  return bits;
}

}  // namespace

void GatherViruses(const Match& m, std::vector<HazardPoint>& out) {
  const uint32_t immune = ProtectedSlots(m, [](const TCerv& w) { return w.virusImmune != 0; });
  for (int s = 0; s < kPlayerSlots; ++s) {
    const TCerv& o = m.worms[static_cast<size_t>(s)];
    if (!o.alive) continue;
    for (size_t v = 0; v < kVirusCount; ++v) {
      if (o.virusActive[v])
        out.push_back({o.virusX[v], o.virusY[v], kVirusReach, false, immune | SlotBit(s)});
    }
  }
}

void GatherRockets(const Match& m, std::vector<HazardPoint>& out) {
  const uint32_t immune = ProtectedSlots(m, [](const TCerv& w) { return w.rocketImmune != 0; });
  for (int s = 0; s < kPlayerSlots; ++s) {
    const TCerv& o = m.worms[static_cast<size_t>(s)];
    if (o.alive && o.rocketActive && o.rocketFlying)
      out.push_back({o.missileX, o.missileY, kRocketReach, false, immune | SlotBit(s)});
  }
}

void GatherBonusObjects(const Match& m, std::vector<HazardPoint>& out) {
  // The objects sit at view pixels; a worm's own fire balls and diggers never harm it.
  const BonusObjectLists& lists = m.bonus.objects;
  auto add = [&](const BonusObject& o, double reach, uint32_t hidden) {
    out.push_back({o.look.x - kArenaViewX, o.look.y - kArenaViewY, reach, false, hidden});
  };
  for (const BonusObject& o : lists.Diggers) add(o, kDiggerReach, SlotBit(o.owner));
  for (const BonusObject& o : lists.Bombs) add(o, kBombReach, 0);
  for (const BonusObject& o : lists.BonusShots) add(o, kFireBallReach, SlotBit(o.owner));
}

void GatherWantedBonuses(const Match& m, std::vector<HazardPoint>& out) {
  if (!m.settings.game.bonus) return;
  const int used = std::min(m.match.BonusSlotCount, kBonusSlots);
  for (int i = 0; i < used; ++i) {
    const BonusSlot& b = m.bonus.slots[static_cast<size_t>(i)];
    bool visible = b.state >= BonusState::Shown && b.state <= BonusState::Blinking9;
    bool wanted =
        b.kind != BonusKind::Poison && b.kind != BonusKind::Up && b.kind != BonusKind::Down;
    if (visible && wanted) out.push_back({double(b.x), double(b.y), kBonusReach, true});
  }
}

void GatherAtomicBombs(const Match& m, std::vector<HazardPoint>& out) {
  for (int s = 0; s < kPlayerSlots; ++s) {
    const TCerv& o = m.worms[static_cast<size_t>(s)];
    if (o.alive && o.atomicActive) out.push_back({o.missileX, o.missileY, kAtomicReach});
  }
}

void GatherHazards(const Match& m, std::vector<HazardPoint>& out) {
  GatherViruses(m, out);
  GatherRockets(m, out);
  GatherAtomicBombs(m, out);
  GatherBonusObjects(m, out);
  GatherWantedBonuses(m, out);
}

// ---------------------------------------------------------------- the index

namespace {

// Squares this much past the reach's square have roots past the reach, however the last
// bits of either were rounded.
constexpr double kFarEnough = 1 + 1e-9;

}  // namespace

int HazardIndex::TestPoint(const HazardPoint& p, double x, double y) {
  // Most points are far from the head: a square well beyond the reach's square decides
  // without the root, and the root decides every case near the edge exactly as before.
  const double dx = x - p.x, dy = y - p.y;
  if (dx * dx + dy * dy > p.radius * p.radius * kFarEnough) return 0;
  double d = PlanDistance(x, y, p.x, p.y);
  if (p.bonus) return d <= p.radius ? kHazardBonus : 0;
  return d < p.radius ? kHazardStop : 0;
}

int HazardIndex::TestList(uint32_t first, uint32_t last, double x, double y,
                          uint32_t viewer) const {
  int result = 0;
  for (uint32_t i = first; i < last; ++i) {
    if (items_[i].hiddenFrom & viewer) continue;
    result |= TestPoint(items_[i], x, y);
    if (result & kHazardStop) return result;  // the head stops; a bonus no longer matters
  }
  return result;
}

int HazardIndex::TestAll(double x, double y, uint32_t viewer) const {
  int result = 0;
  for (const HazardPoint& p : points_) {
    if (p.hiddenFrom & viewer) continue;
    result |= TestPoint(p, x, y);
    if (result & kHazardStop) return result;
  }
  return result;
}

void HazardIndex::Build(const std::vector<HazardPoint>& points) {
  points_ = points;
  items_.clear();
  bucketed_ = points.size() >= kBucketFrom;
  if (!bucketed_) {
    items_ = points;
    return;
  }
  // Each point goes into every block its reach's bounding box touches: a superset of the
  // blocks where it can matter, so the exact test above decides as a plain loop would.
  auto range = [](double centre, double reach, int blocks, int& lo, int& hi) {
    double a = std::floor((centre - reach) / (1 << kShift));
    double b = std::floor((centre + reach) / (1 << kShift));
    if (!(a <= b) || b < 0 || a >= blocks) return false;  // also rejects NaN
    lo = a < 0 ? 0 : static_cast<int>(a);
    hi = b >= blocks ? blocks - 1 : static_cast<int>(b);
    return true;
  };
  start_.assign(static_cast<size_t>(kBlocksX) * static_cast<size_t>(kBlocksY) + 1, 0);
  for (const HazardPoint& p : points) {
    int x0, x1, y0, y1;
    if (!range(p.x, p.radius, kBlocksX, x0, x1) || !range(p.y, p.radius, kBlocksY, y0, y1))
      continue;
    for (int by = y0; by <= y1; ++by)
      for (int bx = x0; bx <= x1; ++bx) ++start_[static_cast<size_t>(by * kBlocksX + bx) + 1];
  }
  for (size_t b = 1; b < start_.size(); ++b) start_[b] += start_[b - 1];
  items_.resize(start_.back());
  fill_.assign(start_.begin(), start_.end() - 1);
  for (const HazardPoint& p : points) {
    int x0, x1, y0, y1;
    if (!range(p.x, p.radius, kBlocksX, x0, x1) || !range(p.y, p.radius, kBlocksY, y0, y1))
      continue;
    for (int by = y0; by <= y1; ++by)
      for (int bx = x0; bx <= x1; ++bx)
        items_[fill_[static_cast<size_t>(by) * static_cast<size_t>(kBlocksX) +
                     static_cast<size_t>(bx)]++] = p;
  }
}

}  // namespace tdx
