#include "match/weapons/bonus_objects.h"

#include <array>

#include "match/arena/arena.h"
#include "match/arena/worm_step.h"
#include "match/match.h"

namespace tdx {

namespace {

constexpr double kBombSoundPause = 0.3;

constexpr const char* kFireBall = "fire_ball";
constexpr std::array<const char*, 4> kDiggerFrames = {"digger1", "digger2", "digger3", "digger2"};
constexpr std::array<const char*, 4> kFuseFrames = {"s_bomb_1", "s_bomb_2", "s_bomb_3", "s_bomb_2"};
constexpr std::array<const char*, 4> kBlastFrames = {"x_bomb_1", "x_bomb_2", "x_bomb_3",
                                                     "x_bomb_4"};

bool Near(double x, double y, double px, double py, double radius) {
  double dx = x - px, dy = y - py;
  return dx * dx + dy * dy < radius * radius;
}

// Animation phase 0..3 at `rate` steps a second since `since`.
size_t PhaseAt(double now, double since, double rate) {
  long long n = static_cast<long long>(RoundEven((now - since) * rate));
  return static_cast<size_t>(((n % 4) + 4) % 4);
}

// Kills the heads of every alive worm but `spared` (-1: nobody) that lie within `radius`
// of (a, b): the main head with KillWorm, extra heads with KillClone.
void HitHeads(Match& m, DeathBlame blame, double a, double b, double radius, int spared) {
  for (int s = 0; s < kPlayerSlots; ++s) {
    if (s == spared) continue;
    TCerv& w = m.Worm(s);
    if (!w.alive) continue;
    if (Near(w.nextX, w.nextY, a, b, radius)) KillWorm(m, w, blame);
    for (int k = 0; k < kCloneCount; ++k) {
      size_t i = static_cast<size_t>(k);
      if (w.cloneAlive[i] && Near(w.cloneX[i], w.cloneY[i], a, b, radius)) KillClone(w, k);
    }
  }
}

// Every object of the list is updated exactly once per frame, in list order; an object
// whose update says so is removed. (Removing while walking forward keeps
// the order a walk that restarts after every removal and passes over the objects it has
// already updated would give.)
template <typename Update>
void WalkList(std::vector<BonusObject>& list, Update update) {
  size_t kept = 0;
  for (size_t i = 0; i < list.size(); ++i) {
    if (update(list[i])) continue;
    if (kept != i) list[kept] = list[i];
    ++kept;
  }
  list.resize(kept);
}

Look NewLook(const char* material, float size, double x, double y, bool visible) {
  Look l;
  l.SetMaterial(LibGlmlshots, material);
  l.width = size;
  l.height = size;
  l.x = static_cast<float>(x);
  l.y = static_cast<float>(y);
  l.visible = visible;
  return l;
}

}  // namespace

void UpdateFireBalls(Match& m) {
  const double step = 70 * m.FrameDelta * m.GlobalSpeed / 50;
  WalkList(m.bonus.objects.BonusShots, [&](BonusObject& o) {
    Look& sp = o.look;
    sp.x += static_cast<float>(o.dirX * step);
    sp.y += static_cast<float>(o.dirY * step);
    double a = sp.x - kArenaViewX, b = sp.y - kArenaViewY;
    BurnSquare(m.ArenaMap, a, b, 5, 5);
    HitHeads(m, {DeathCause::BonusFireBall, o.owner}, a, b, 7, o.owner);
    return !(sp.x >= -16 && sp.x <= 656 && sp.y >= -16 && sp.y <= 496);
  });
}

void UpdateDiggers(Match& m) {
  const double step = 30 * m.FrameDelta * m.GlobalSpeed / 50;
  WalkList(m.bonus.objects.Diggers, [&](BonusObject& o) {
    Look& sp = o.look;
    sp.x += static_cast<float>(step);
    double a = sp.x - kArenaViewX, b = sp.y - kArenaViewY;
    // A tunnel 16 cells wide and 18 high: x from a - 10 to a + 5, y from b - 11 to b + 6.
    BurnSquare(m.ArenaMap, a - 2.5, b - 2.5, 7.5, 8.5);
    HitHeads(m, {DeathCause::Digger, o.owner}, a, b, 8, o.owner);
    o.phase = static_cast<int>(PhaseAt(m.Now, o.startTime, 8));
    sp.SetMaterialName(kDiggerFrames[static_cast<size_t>(o.phase)]);
    return !(sp.x <= 660);
  });
}

void UpdateWallWalkers(Match& m) {
  const double step = 30 * m.FrameDelta * m.GlobalSpeed / 50;
  WalkList(m.bonus.objects.XonixWalkers, [&](BonusObject& o) {
    Look& sp = o.look;  // arena units; never shown
    double x0 = RoundEven(sp.x);
    sp.x += static_cast<float>(step);
    double x1 = RoundEven(sp.x);
    double row = RoundEven(sp.y);
    if (row >= 0 && row < kArenaHeight) {
      // Only the columns inside the grid; the wall never leaves its row.
      double from = x0 < 0 ? 0 : x0;
      double to = x1 > kArenaWidth - 1 ? kArenaWidth - 1 : x1;
      for (double x = from; x <= to; x += 1) {
        m.ArenaMap.At(static_cast<int>(x), static_cast<int>(row)) = WallCell;
      }
    }
    return !(sp.x <= 640);
  });
}

void UpdateBombs(Match& m) {
  BonusObjectLists& lists = m.bonus.objects;
  lists.BombFuse = 100 / (m.GlobalSpeed > 0 ? m.GlobalSpeed : 1);
  const double now = m.Now;
  WalkList(lists.Bombs, [&](BonusObject& o) {
    Look& sp = o.look;
    double cx = sp.x - kArenaViewX, cy = sp.y - kArenaViewY;
    if (o.stage == 0) {
      if (now - o.startTime > lists.BombFuse) {
        o.stage = 1;
        o.startTime = now;
        bool& ready = m.gates.BombSoundReady;
        if (!ready && lists.BombSoundNext < now) ready = true;
        if (ready) {
          m.events.SoundPanned("bomb.mp3", 0);
          ready = false;
          lists.BombSoundNext = now + kBombSoundPause;
        }
        return false;
      }
      o.phase = static_cast<int>(PhaseAt(now, o.startTime, 8));
      sp.SetMaterialName(kFuseFrames[static_cast<size_t>(o.phase)]);
      // A burning bomb is a mine for everybody, the eater of the bonus included.
      HitHeads(m, {DeathCause::Bomb, o.owner}, cx, cy, 7, -1);
      return false;
    }
    if (now - o.startTime > kBombBlastSeconds) return true;
    o.phase = static_cast<int>(PhaseAt(now, o.startTime, 7));
    sp.SetMaterialName(kBlastFrames[static_cast<size_t>(o.phase)]);
    // The blast is a cross of five points 16 apart, burnt again in every frame of it.
    const double px[5] = {cx, cx + 16, cx - 16, cx, cx};
    const double py[5] = {cy, cy, cy, cy + 16, cy - 16};
    for (int s = 0; s < kPlayerSlots; ++s) {
      TCerv& w = m.Worm(s);
      if (!w.alive) continue;
      bool hit = false;
      for (int p = 0; p < 5; ++p) hit = hit || Near(w.nextX, w.nextY, px[p], py[p], 7);
      if (hit) KillWorm(m, w, {DeathCause::Bomb, o.owner});
      for (int k = 0; k < kCloneCount; ++k) {
        size_t i = static_cast<size_t>(k);
        if (!w.cloneAlive[i]) continue;
        bool cloneHit = false;
        for (int p = 0; p < 5; ++p) {
          cloneHit = cloneHit || Near(w.cloneX[i], w.cloneY[i], px[p], py[p], 7);
        }
        if (cloneHit) KillClone(w, k);
      }
    }
    for (int p = 0; p < 5; ++p) BurnSquare(m.ArenaMap, px[p], py[p], 8, 8);
    return false;
  });
}

void ClearBonusObjects(Match& m) {
  BonusObjectLists& lists = m.bonus.objects;
  lists.BonusShots.clear();
  lists.Diggers.clear();
  lists.XonixWalkers.clear();
  lists.Bombs.clear();
}

void AddFireBall(Match& m, double viewX, double viewY, double dirX, double dirY, int owner) {
  BonusObject o;
  o.look = NewLook(kFireBall, 16, viewX, viewY, true);
  o.dirX = dirX;
  o.dirY = dirY;
  o.owner = owner;
  o.startTime = m.Now;
  m.bonus.objects.BonusShots.push_back(o);
}

void AddDigger(Match& m, double viewX, double viewY, int owner) {
  BonusObject o;
  o.look = NewLook(kDiggerFrames[0], 30, viewX, viewY, true);
  o.owner = owner;
  o.startTime = m.Now;
  m.bonus.objects.Diggers.push_back(o);
}

void AddXonixWalker(Match& m, double arenaX, double arenaY) {
  BonusObject o;
  o.look = NewLook("", 16, arenaX, arenaY, false);
  o.startTime = m.Now;
  m.bonus.objects.XonixWalkers.push_back(o);
}

void AddBomb(Match& m, double viewX, double viewY, int owner) {
  BonusObject o;
  o.look = NewLook(kFuseFrames[0], 48, viewX, viewY, true);
  o.owner = owner;
  o.startTime = m.Now;
  m.bonus.objects.Bombs.push_back(o);
}

}  // namespace tdx
