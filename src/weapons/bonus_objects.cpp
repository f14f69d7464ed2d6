#include "weapons/bonus_objects.h"

#include <array>
#include <string>

#include "app/game.h"
#include "arena/arena.h"
#include "arena/worm_step.h"
#include "audio/sound.h"

namespace tdx {

namespace {

constexpr double kBombSoundPause = 0.3;

const std::string kFireBall = "fire_ball";
const std::array<std::string, 4> kDiggerFrames = {"digger1", "digger2", "digger3", "digger2"};
const std::array<std::string, 4> kFuseFrames = {"s_bomb_1", "s_bomb_2", "s_bomb_3", "s_bomb_2"};
const std::array<std::string, 4> kBlastFrames = {"x_bomb_1", "x_bomb_2", "x_bomb_3", "x_bomb_4"};

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
void HitHeads(Game& g, double a, double b, double radius, int spared) {
  for (int s = 0; s < kPlayerSlots; ++s) {
    if (s == spared || !g.worms[static_cast<size_t>(s)]) continue;
    TCerv& w = g.Worm(s);
    if (!w.alive) continue;
    if (Near(w.nextX, w.nextY, a, b, radius)) KillWorm(g, w);
    for (int k = 0; k < kCloneCount; ++k) {
      size_t i = static_cast<size_t>(k);
      if (w.cloneAlive[i] && Near(w.cloneX[i], w.cloneY[i], a, b, radius)) KillClone(w, k);
    }
  }
}

// Every object of the list is updated exactly once per frame, in list order; an object
// whose update says so is removed with its sprite. (Removing while walking forward keeps
// the order a walk that restarts after every removal and passes over the objects it has
// already updated would give.)
template <typename Update>
void WalkList(Game& g, std::vector<BonusObject>& list, Update update) {
  size_t kept = 0;
  for (size_t i = 0; i < list.size(); ++i) {
    if (update(list[i])) {
      g.scene.RemoveSprite(list[i].sprite);
      list[i].sprite = nullptr;
      continue;
    }
    if (kept != i) list[kept] = list[i];
    ++kept;
  }
  list.resize(kept);
}

Sprite* NewSprite(Game& g, const std::string& material, float size, double x, double y,
                  bool visible) {
  Sprite* s = g.scene.CreateSprite();
  s->SetMaterial(&g.scene.Library(LibGlmlshots), material);
  s->width = size;
  s->height = size;
  s->x = static_cast<float>(x);
  s->y = static_cast<float>(y);
  s->visible = visible;
  return s;
}

void ClearList(Game& g, std::vector<BonusObject>& list) {
  for (BonusObject& o : list) g.scene.RemoveSprite(o.sprite);
  list.clear();
}

}  // namespace

void UpdateFireBalls(Game& g) {
  const double step = 70 * g.FrameDelta * g.GlobalSpeed / 50;
  WalkList(g, g.bonus.objects.BonusShots, [&](BonusObject& o) {
    Sprite& sp = *o.sprite;
    sp.x += static_cast<float>(o.dirX * step);
    sp.y += static_cast<float>(o.dirY * step);
    double a = sp.x - kArenaViewX, b = sp.y - kArenaViewY;
    BurnSquare(g.ArenaMap, a, b, 5, 5);
    HitHeads(g, a, b, 7, o.owner);
    sp.rotation = static_cast<float>(g.LookRandom(360));  // the ball tumbles
    return !(sp.x >= -16 && sp.x <= 656 && sp.y >= -16 && sp.y <= 496);
  });
}

void UpdateDiggers(Game& g) {
  const double step = 30 * g.FrameDelta * g.GlobalSpeed / 50;
  WalkList(g, g.bonus.objects.Diggers, [&](BonusObject& o) {
    Sprite& sp = *o.sprite;
    sp.x += static_cast<float>(step);
    double a = sp.x - kArenaViewX, b = sp.y - kArenaViewY;
    // A tunnel 16 cells wide and 18 high: x from a - 10 to a + 5, y from b - 11 to b + 6.
    BurnSquare(g.ArenaMap, a - 2.5, b - 2.5, 7.5, 8.5);
    HitHeads(g, a, b, 8, o.owner);
    o.phase = static_cast<int>(PhaseAt(g.Now, o.startTime, 8));
    sp.SetMaterialName(kDiggerFrames[static_cast<size_t>(o.phase)]);
    return !(sp.x <= 660);
  });
}

void UpdateWallWalkers(Game& g) {
  const double step = 30 * g.FrameDelta * g.GlobalSpeed / 50;
  WalkList(g, g.bonus.objects.XonixWalkers, [&](BonusObject& o) {
    Sprite& sp = *o.sprite;  // arena units; never shown
    double x0 = RoundEven(sp.x);
    sp.x += static_cast<float>(step);
    double x1 = RoundEven(sp.x);
    double row = RoundEven(sp.y);
    if (row >= 0 && row < kArenaHeight) {
      // Only the columns inside the grid; the wall never leaves its row.
      double from = x0 < 0 ? 0 : x0;
      double to = x1 > kArenaWidth - 1 ? kArenaWidth - 1 : x1;
      for (double x = from; x <= to; x += 1) {
        g.ArenaMap.At(static_cast<int>(x), static_cast<int>(row)) = WallCell;
      }
    }
    return !(sp.x <= 640);
  });
}

void UpdateBombs(Game& g) {
  BonusObjectLists& lists = g.bonus.objects;
  lists.BombFuse = 100 / (g.GlobalSpeed > 0 ? g.GlobalSpeed : 1);
  const double now = g.Now;
  WalkList(g, lists.Bombs, [&](BonusObject& o) {
    Sprite& sp = *o.sprite;
    double cx = sp.x - kArenaViewX, cy = sp.y - kArenaViewY;
    if (o.stage == 0) {
      if (now - o.startTime > lists.BombFuse) {
        o.stage = 1;
        o.startTime = now;
        bool& ready = g.gates.BombSoundReady;
        if (!ready && lists.BombSoundNext < now) ready = true;
        if (ready) {
          PlaySound(g, "bomb.mp3", 0);
          ready = false;
          lists.BombSoundNext = now + kBombSoundPause;
        }
        return false;
      }
      o.phase = static_cast<int>(PhaseAt(now, o.startTime, 8));
      sp.SetMaterialName(kFuseFrames[static_cast<size_t>(o.phase)]);
      // A burning bomb is a mine for everybody, the eater of the bonus included.
      HitHeads(g, cx, cy, 7, -1);
      return false;
    }
    if (now - o.startTime > kBombBlastSeconds) return true;
    o.phase = static_cast<int>(PhaseAt(now, o.startTime, 7));
    sp.SetMaterialName(kBlastFrames[static_cast<size_t>(o.phase)]);
    // The blast is a cross of five points 16 apart, burnt again in every frame of it.
    const double px[5] = {cx, cx + 16, cx - 16, cx, cx};
    const double py[5] = {cy, cy, cy, cy + 16, cy - 16};
    for (int s = 0; s < kPlayerSlots; ++s) {
      if (!g.worms[static_cast<size_t>(s)]) continue;
      TCerv& w = g.Worm(s);
      if (!w.alive) continue;
      bool hit = false;
      for (int p = 0; p < 5; ++p) hit = hit || Near(w.nextX, w.nextY, px[p], py[p], 7);
      if (hit) KillWorm(g, w);
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
    for (int p = 0; p < 5; ++p) BurnSquare(g.ArenaMap, px[p], py[p], 8, 8);
    return false;
  });
}

void ClearBonusObjects(Game& g) {
  BonusObjectLists& lists = g.bonus.objects;
  ClearList(g, lists.BonusShots);
  ClearList(g, lists.Diggers);
  ClearList(g, lists.XonixWalkers);
  ClearList(g, lists.Bombs);
}

void AddFireBall(Game& g, double viewX, double viewY, double dirX, double dirY, int owner) {
  BonusObject o;
  o.sprite = NewSprite(g, kFireBall, 16, viewX, viewY, true);
  o.dirX = dirX;
  o.dirY = dirY;
  o.owner = owner;
  o.startTime = g.Now;
  g.bonus.objects.BonusShots.push_back(o);
}

void AddDigger(Game& g, double viewX, double viewY, int owner) {
  BonusObject o;
  o.sprite = NewSprite(g, kDiggerFrames[0], 30, viewX, viewY, true);
  o.owner = owner;
  o.startTime = g.Now;
  g.bonus.objects.Diggers.push_back(o);
}

void AddXonixWalker(Game& g, double arenaX, double arenaY) {
  BonusObject o;
  o.sprite = NewSprite(g, std::string(), 16, arenaX, arenaY, false);
  o.startTime = g.Now;
  g.bonus.objects.XonixWalkers.push_back(o);
}

void AddBomb(Game& g, double viewX, double viewY) {
  BonusObject o;
  o.sprite = NewSprite(g, kFuseFrames[0], 48, viewX, viewY, true);
  o.startTime = g.Now;
  g.bonus.objects.Bombs.push_back(o);
}

}  // namespace tdx
