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

bool OtherAliveWorm(const Match& m, const TCerv& w, int s) {
  const TCerv& o = m.worms[static_cast<size_t>(s)];
  return s != w.slot && o.alive;
}

}  // namespace

void GatherViruses(const Match& m, const TCerv& w, std::vector<HazardPoint>& out) {
  if (w.virusImmune) return;
  for (int s = 0; s < kPlayerSlots; ++s) {
    if (!OtherAliveWorm(m, w, s)) continue;
    const TCerv& o = m.worms[static_cast<size_t>(s)];
    for (size_t v = 0; v < kVirusCount; ++v) {
      if (o.virusActive[v]) out.push_back({o.virusX[v], o.virusY[v], kVirusReach, false});
    }
  }
}

void GatherRockets(const Match& m, const TCerv& w, std::vector<HazardPoint>& out) {
  if (w.rocketImmune) return;
  for (int s = 0; s < kPlayerSlots; ++s) {
    if (!OtherAliveWorm(m, w, s)) continue;
    const TCerv& o = m.worms[static_cast<size_t>(s)];
    if (o.rocketActive && o.rocketFlying) out.push_back({o.missileX, o.missileY, kRocketReach});
  }
}

void GatherBonusObjects(const Match& m, const TCerv& w, std::vector<HazardPoint>& out) {
  // The objects sit at view pixels; a worm's own fire balls and diggers never harm it.
  const BonusObjectLists& lists = m.bonus.objects;
  auto add = [&](const BonusObject& o, double reach) {
    out.push_back({o.look.x - kArenaViewX, o.look.y - kArenaViewY, reach});
  };
  for (const BonusObject& o : lists.Diggers) {
    if (o.owner != w.slot) add(o, kDiggerReach);
  }
  for (const BonusObject& o : lists.Bombs) add(o, kBombReach);
  for (const BonusObject& o : lists.BonusShots) {
    if (o.owner != w.slot) add(o, kFireBallReach);
  }
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

void GatherAtomicBombs(const Match& m, const TCerv& w, std::vector<HazardPoint>& out) {
  for (int s = 0; s < kPlayerSlots; ++s) {
    const TCerv& o = m.worms[static_cast<size_t>(s)];
    if (o.alive && o.atomicActive) out.push_back({o.missileX, o.missileY, kAtomicReach});
  }
}

void GatherHazards(const Match& m, const TCerv& w, std::vector<HazardPoint>& out) {
  GatherViruses(m, w, out);
  GatherRockets(m, w, out);
  GatherAtomicBombs(m, w, out);
  GatherBonusObjects(m, w, out);
  GatherWantedBonuses(m, out);
}

// ---------------------------------------------------------------- the index

int HazardIndex::TestPoint(const HazardPoint& p, double x, double y) {
  double d = PlanDistance(x, y, p.x, p.y);
  if (p.bonus) return d <= p.radius ? kHazardBonus : 0;
  return d < p.radius ? kHazardStop : 0;
}

int HazardIndex::TestList(uint32_t first, uint32_t last, double x, double y) const {
  int result = 0;
  for (uint32_t i = first; i < last; ++i) {
    result |= TestPoint(items_[i], x, y);
    if (result & kHazardStop) return result;  // the head stops; a bonus no longer matters
  }
  return result;
}

int HazardIndex::TestAll(double x, double y) const {
  int result = 0;
  for (const HazardPoint& p : points_) {
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
