// What a planning computer worm steers around: the dangerous points of this frame, gathered
// kind by kind once for every planner and indexed by place so that a whole search,
// thousands of simulated ticks, tests only the few points near each simulated head. Each
// point says which worms do not steer around it (its owner, worms protected against it),
// so every planner of the frame shares one index and sees what it saw alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tdx {

struct Match;
class TCerv;

// One point a simulated head must keep away from, or a wanted bonus it would like to pass.
struct HazardPoint {
  double x = 0, y = 0;  // arena units
  double radius = 0;    // a hazard stops a head closer than this; a bonus counts at most this far
  bool bonus = false;
  uint32_t hiddenFrom = 0;  // one bit per slot: the worms that ignore this point
};

// The bit of slot s in HazardPoint::hiddenFrom, and what a worm passes to HazardIndex::Test.
inline uint32_t SlotBit(int s) { return s >= 0 && s < 32 ? 1u << s : 0u; }

// Reach of each hazard kind (arena units).
inline constexpr double kVirusReach = 10;
inline constexpr double kRocketReach = 40;
inline constexpr double kAtomicReach = 60;
inline constexpr double kDiggerReach = 12;
inline constexpr double kBombReach = 24;
inline constexpr double kFireBallReach = 12;
inline constexpr double kBonusReach = 6;

// The one distance every hazard test uses, so that the indexed and the plain tests agree
// to the last bit.
double PlanDistance(double ax, double ay, double bx, double by);

// Each kind of hazard in this frame, with the worms that ignore each point.
// Viruses of alive worms: their owner and worms protected against viruses ignore them.
void GatherViruses(const Match& m, std::vector<HazardPoint>& out);
// Flying rockets of alive worms: their owner and worms protected against rockets ignore them.
void GatherRockets(const Match& m, std::vector<HazardPoint>& out);
// Armed or exploding atomic bombs of every alive worm: nobody ignores them, their owner
// included.
void GatherAtomicBombs(const Match& m, std::vector<HazardPoint>& out);
// Diggers and fire balls (their owner ignores them), and every bomb.
void GatherBonusObjects(const Match& m, std::vector<HazardPoint>& out);
// Bonuses worth driving through, when the bonus option is on.
void GatherWantedBonuses(const Match& m, std::vector<HazardPoint>& out);
// Everything above, in one list.
void GatherHazards(const Match& m, std::vector<HazardPoint>& out);

// Test results of HazardIndex::Test.
inline constexpr int kHazardStop = 1;   // a hazard is in reach: the simulated head stops
inline constexpr int kHazardBonus = 2;  // a wanted bonus is in reach

// The points of a frame, bucketed by 16 by 16 blocks of the arena. Building reuses its
// storage, so a search allocates nothing once the game has run a few frames.
class HazardIndex {
 public:
  void Build(const std::vector<HazardPoint>& points);
  // kHazardStop and/or kHazardBonus for a head at (x, y) inside the arena, as the worms of
  // `viewer` (SlotBit) see it: points hidden from them are left out.
  int Test(double x, double y, uint32_t viewer = 0) const {
    if (points_.empty()) return 0;
    if (!bucketed_) return TestList(0, static_cast<uint32_t>(items_.size()), x, y, viewer);
    if (!(x >= 0 && y >= 0 && x < 608 && y < 408)) return TestAll(x, y, viewer);
    int bx = static_cast<int>(x) >> kShift, by = static_cast<int>(y) >> kShift;
    size_t b = static_cast<size_t>(by) * static_cast<size_t>(kBlocksX) + static_cast<size_t>(bx);
    uint32_t first = start_[b], last = start_[b + 1];
    return first == last ? 0 : TestList(first, last, x, y, viewer);
  }
  bool Empty() const { return points_.empty(); }

 private:
  static constexpr int kShift = 4;
  static constexpr int kBlocksX = (608 >> kShift) + 1;
  static constexpr int kBlocksY = (408 >> kShift) + 1;
  // Few points are cheaper tested one by one than bucketed.
  static constexpr size_t kBucketFrom = 16;
  int TestList(uint32_t first, uint32_t last, double x, double y, uint32_t viewer) const;
  int TestAll(double x, double y, uint32_t viewer) const;
  static int TestPoint(const HazardPoint& p, double x, double y);
  bool bucketed_ = false;
  std::vector<HazardPoint> points_;  // every point, for heads outside the blocks
  std::vector<HazardPoint> items_;   // bucketed copies (or every point when not bucketed)
  std::vector<uint32_t> start_;      // first item of each block; one extra entry at the end
  std::vector<uint32_t> fill_;
};

}  // namespace tdx
