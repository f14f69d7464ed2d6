#include "match/snapshot.h"

#include <cmath>
#include <cstddef>
#include <cstring>
#include <type_traits>

#include "match/match.h"
#include "match/round.h"

namespace tdx {

namespace {

constexpr char kMagic[4] = {'T', 'D', 'X', 'S'};

// Changes whenever a record stored raw changes size; a change of meaning at the same size
// must bump kRulesRecords by hand.
constexpr uint32_t kRulesRecords = 1;
constexpr uint32_t Layout() {
  uint32_t h = 2166136261u;
  for (uint32_t v :
       {kRulesRecords, static_cast<uint32_t>(sizeof(TCerv)), static_cast<uint32_t>(sizeof(Look)),
        static_cast<uint32_t>(sizeof(BonusSlot)), static_cast<uint32_t>(sizeof(BonusObject)),
        static_cast<uint32_t>(sizeof(SoundGates)), static_cast<uint32_t>(sizeof(SettingsBlock)),
        static_cast<uint32_t>(kWormCount), static_cast<uint32_t>(kBonusSlots)}) {
    h = (h ^ v) * 16777619u;
  }
  return h;
}

}  // namespace

uint32_t SnapshotLayout() { return Layout(); }

namespace {

static_assert(std::is_trivially_copyable_v<TCerv>);
static_assert(std::is_trivially_copyable_v<BonusSlot>);
static_assert(std::is_trivially_copyable_v<BonusObject>);
static_assert(std::is_trivially_copyable_v<SoundGates>);

// Every list is far shorter in any match; a larger count is damage.
constexpr uint32_t kMaxList = 1u << 16;

class Out {
 public:
  std::vector<uint8_t> bytes;
  template <typename T>
  void Put(const T& v) {
    static_assert(std::is_trivially_copyable_v<T>);
    const auto* p = reinterpret_cast<const uint8_t*>(&v);
    bytes.insert(bytes.end(), p, p + sizeof v);
  }
  template <typename T>
  void List(const std::vector<T>& v) {
    Put(static_cast<uint32_t>(v.size()));
    for (const T& e : v) Put(e);
  }
  // One field of MatchFields.
  template <typename T>
  void Field(const T& v) {
    Put(v);
  }
  template <typename T>
  void Field(const std::vector<T>& v) {
    List(v);
  }
  void Field(const bool& v) { Put(static_cast<uint8_t>(v)); }
  void Field(const Rng& r) { Put(r.State()); }
  void Field(const Controls& k) {
    uint8_t bits = 0;
    for (size_t i = 0; i < 3; ++i) bits |= (k.now[i] ? 1 : 0) << i | (k.before[i] ? 8 : 0) << i;
    Put(bits);
  }
  void Field(const ArenaGrid& a);
  // A worm as it lies in memory, but for the unused bytes inside its plan steps: copying a
  // plan can fill them with whatever was on the stack, and the same match must always give
  // the same bytes (a replay sought to a frame is checked against one played through).
  void Field(const TCerv& w) {
    static_assert(offsetof(PlanStep, action) == 0 && sizeof(PlanStep::action) == 1);
    const size_t at = bytes.size();
    Put(w);
    const auto* base = reinterpret_cast<const uint8_t*>(&w);
    for (const auto* list : {&w.plan, &w.bestPlan}) {
      const size_t from = at + static_cast<size_t>(reinterpret_cast<const uint8_t*>(list) - base);
      for (size_t i = 0; i < list->size(); ++i) {
        std::memset(bytes.data() + from + i * sizeof(PlanStep) + 1, 0,
                    offsetof(PlanStep, duration) - 1);
      }
    }
  }
};

class In {
 public:
  In(const std::vector<uint8_t>& b) : b_(b) {}
  bool ok = true;
  template <typename T>
  void Get(T& v) {
    static_assert(std::is_trivially_copyable_v<T>);
    if (!ok || b_.size() - at_ < sizeof v) {
      ok = false;
      return;
    }
    std::memcpy(&v, b_.data() + at_, sizeof v);
    at_ += sizeof v;
  }
  template <typename T>
  void List(std::vector<T>& v) {
    uint32_t n = 0;
    Get(n);
    if (!ok || n > kMaxList || n > (b_.size() - at_) / sizeof(T)) {
      ok = false;
      return;
    }
    v.resize(n);
    for (T& e : v) Get(e);
  }
  bool AtEnd() const { return at_ == b_.size(); }
  // One field of MatchFields.
  template <typename T>
  void Field(T& v) {
    Get(v);
  }
  template <typename T>
  void Field(std::vector<T>& v) {
    List(v);
  }
  void Field(bool& v) {
    uint8_t flag = 0;
    Get(flag);
    v = flag != 0;
  }
  void Field(Rng& r) {
    std::array<uint64_t, 4> state{};
    Get(state);
    r.SetState(state);
  }
  void Field(Controls& k) {
    uint8_t bits = 0;
    Get(bits);
    for (size_t i = 0; i < 3; ++i) {
      k.now[i] = (bits >> i & 1) != 0;
      k.before[i] = (bits >> (i + 3) & 1) != 0;
    }
  }
  void Field(ArenaGrid& a);

 private:
  const std::vector<uint8_t>& b_;
  size_t at_ = 0;
};

// The grid as runs of one owner: an arena is mostly empty, so it takes a few kilobytes.
void Out::Field(const ArenaGrid& a) {
  size_t i = 0;
  while (i < a.cells.size()) {
    size_t j = i;
    while (j < a.cells.size() && a.cells[j] == a.cells[i] && j - i < 0xFFFF) ++j;
    Put(a.cells[i]);
    Put(static_cast<uint16_t>(j - i));
    i = j;
  }
}

void In::Field(ArenaGrid& a) {
  size_t i = 0;
  while (ok && i < a.cells.size()) {
    uint8_t cell = 0;
    uint16_t run = 0;
    Get(cell);
    Get(run);
    if (!ok || run == 0 || run > a.cells.size() - i) {
      ok = false;
      return;
    }
    std::memset(a.cells.data() + i, cell, run);
    i += run;
  }
}

// Every field of a match, in the order the bytes hold them: the one list the writer and
// the reader both walk, so the two cannot disagree. `M` is Match or const Match.
template <typename Io, typename M>
void MatchFields(Io& io, M& m) {
  io.Field(m.matchRng);
  io.Field(m.settings);
  for (auto& w : m.worms) io.Field(w);
  io.Field(m.Now);
  io.Field(m.LastFrameTime);
  io.Field(m.FrameDelta);
  io.Field(m.PhaseStart);
  io.Field(m.phase);
  io.Field(m.frameNumber);
  auto& s = m.match;
  io.Field(s.Scored);
  io.Field(s.TeamMode);
  io.Field(s.RoundsLeft);
  io.Field(s.RoundWins);
  io.Field(s.TeamWins);
  io.Field(s.ReadyFlags);
  io.Field(s.RoundStartTime);
  io.Field(s.BonusSlotCount);
  io.Field(s.HalfPlayerCount);
  io.Field(m.gates);
  auto& b = m.bonus;
  io.Field(b.placesOpen);
  io.Field(b.slots);
  io.Field(b.NoRocketCount);
  io.Field(b.NoVirusCount);
  io.Field(b.FireballSoundTime);
  io.Field(b.objects.BonusShots);
  io.Field(b.objects.Diggers);
  io.Field(b.objects.XonixWalkers);
  io.Field(b.objects.Bombs);
  io.Field(b.objects.BombFuse);
  io.Field(b.objects.BombSoundNext);
  io.Field(b.TakenCount);
  io.Field(m.GlobalSpeed);
  auto& c = m.cpu;
  io.Field(c.PlanScore);
  io.Field(c.BestScore);
  io.Field(c.BonusOnPath);
  io.Field(c.SearchLocked);
  io.Field(c.planRan);
  io.Field(c.planRanFrame);
  io.Field(m.ArenaMap);
  for (auto& k : m.controls) io.Field(k);
}

bool Finite(double v) { return std::isfinite(v) && std::fabs(v) < 1e9; }

template <size_t N>
bool AllFinite(const std::array<double, N>& a) {
  for (double v : a) {
    if (!Finite(v)) return false;
  }
  return true;
}

template <size_t N>
bool AllLooks(const std::array<Look, N>& a) {
  for (const Look& l : a) {
    if (!l.Plausible()) return false;
  }
  return true;
}

// What a crafted or damaged snapshot could hold that the rules would index with or turn
// into a whole number: every such value is checked before the match takes it.
bool WormPlausible(const TCerv& w, int slot) {
  return w.slot == slot && static_cast<int>(w.kind) <= 20 && w.alive <= 1 &&
         w.planCount <= kPlanSteps && w.planStep <= kPlanSteps && w.bestPlanCount <= kPlanSteps &&
         w.stoppedBy < kWormCount && w.burstCount <= 64 && w.virusColour >= 'a' &&
         w.virusColour <= 'l' && w.placeIndex >= 0 && w.placeIndex < kPlayerSlots &&
         Finite(w.headX) && Finite(w.headY) && Finite(w.nextX) && Finite(w.nextY) &&
         Finite(w.heading) && Finite(w.tailX) && Finite(w.tailY) && Finite(w.tailHeading) &&
         Finite(w.speed) && Finite(w.energy) && Finite(w.thickness) && Finite(w.missileX) &&
         Finite(w.missileY) && Finite(w.missileTime) && Finite(w.fireballX) &&
         Finite(w.fireballY) && Finite(w.rocketLeadX) && Finite(w.rocketLeadY) &&
         Finite(w.rocketTargetX) && Finite(w.rocketTargetY) && w.missileFrame >= 0 &&
         w.missileFrame <= 1000 && AllFinite(w.cloneX) && AllFinite(w.cloneY) &&
         AllFinite(w.cloneHeading) && AllFinite(w.bulletX) && AllFinite(w.bulletY) &&
         AllFinite(w.virusX) && AllFinite(w.virusY) && AllFinite(w.infernalAngle) &&
         w.teleportLook.Plausible() && w.fireballLook.Plausible() && w.missileLook.Plausible() &&
         w.ripLook.Plausible() && AllLooks(w.infernalCarrier) && AllLooks(w.bulletLook) &&
         AllLooks(w.laserBeam) && AllLooks(w.virusLook);
}

bool ObjectsPlausible(const std::vector<BonusObject>& list) {
  for (const BonusObject& o : list) {
    if (!o.look.Plausible() || o.owner < -1 || o.owner >= kPlayerSlots || o.phase < 0 ||
        o.phase > 3 || o.stage < 0 || o.stage > 1 || !Finite(o.look.x) || !Finite(o.look.y) ||
        !Finite(o.dirX) || !Finite(o.dirY)) {
      return false;
    }
  }
  return true;
}

bool Plausible(const Match& m) {
  for (int s = 0; s < kWormCount; ++s) {
    if (!WormPlausible(m.Worm(s), s)) return false;
  }
  // A generator of all zeros draws nothing but zeros, and a rule that draws until it
  // finds a free place would wait on it for ever.
  const std::array<uint64_t, 4> rng = m.matchRng.State();
  if ((rng[0] | rng[1] | rng[2] | rng[3]) == 0) return false;
  const MatchState& st = m.match;
  for (const ScoredRound& r : st.Scored) {
    if (r.winner < -1 || r.winner >= kPlayerSlots) return false;
  }
  for (const BonusSlot& b : m.bonus.slots) {
    if (static_cast<int>(b.kind) >= kBonusKindCount || b.state > BonusState::LastShow ||
        !b.swirl.Plausible() || !b.picture.Plausible() || b.x < 0 || b.x >= kArenaWidth ||
        b.y < 0 || b.y >= kArenaHeight || !Finite(b.timer)) {
      return false;
    }
  }
  const BonusObjectLists& o = m.bonus.objects;
  return (IsMatchPhase(static_cast<uint8_t>(m.phase)) || m.phase == GamePhase::GameOver) &&
         (st.TeamMode == 0 || st.TeamMode == 1) && st.RoundsLeft >= 0 && st.RoundsLeft <= 1000 &&
         st.BonusSlotCount >= 0 && st.BonusSlotCount <= kBonusSlots && st.HalfPlayerCount >= 0 &&
         st.HalfPlayerCount <= kPlayerSlots && Finite(m.Now) && Finite(m.LastFrameTime) &&
         Finite(m.PhaseStart) && Finite(st.RoundStartTime) && Finite(m.GlobalSpeed) &&
         ObjectsPlausible(o.BonusShots) && ObjectsPlausible(o.Diggers) &&
         ObjectsPlausible(o.XonixWalkers) && ObjectsPlausible(o.Bombs);
}

}  // namespace

std::vector<uint8_t> SaveSnapshot(const Match& m) {
  Out o;
  o.bytes.reserve(sizeof(TCerv) * kWormCount + 16384);
  for (char c : kMagic) o.Put(c);
  o.Put(Layout());
  MatchFields(o, m);
  return o.bytes;
}

bool LoadSnapshot(const std::vector<uint8_t>& bytes, Match& out, std::string& error) {
  In in(bytes);
  char magic[4] = {};
  for (char& c : magic) in.Get(c);
  if (!in.ok || std::memcmp(magic, kMagic, sizeof kMagic) != 0) {
    error = "not a match snapshot";
    return false;
  }
  uint32_t layout = 0;
  in.Get(layout);
  if (in.ok && layout != Layout()) {
    error = "written by another build of the rules (layout " + std::to_string(layout) +
            ", this build has " + std::to_string(Layout()) + ")";
    return false;
  }
  Match m;  // read whole before anything of `out` changes
  MatchFields(in, m);
  if (!in.ok) {
    error = "cut short or damaged";
    return false;
  }
  if (!in.AtEnd()) {
    error = "damaged: bytes after its end";
    return false;
  }
  if (!Plausible(m)) {
    error = "damaged: it holds values no match can have";
    return false;
  }
  out = std::move(m);
  return true;
}

}  // namespace tdx
