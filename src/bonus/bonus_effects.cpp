#include "bonus/bonus_effects.h"

#include <cmath>

#include "app/game.h"
#include "arena/arena.h"
#include "audio/sound.h"
#include "display/hud.h"
#include "weapons/bonus_objects.h"

namespace tdx {

namespace {

constexpr double kDegToRad = 3.14159265358979323846 / 180.0;
constexpr double kFireballSoundPause = 0.3;

// One fire ball from the taking point towards (tx, ty). A target exactly on the taking
// point has no direction; that ball flies right instead of carrying a position that is
// no number and would never leave the screen.
void ThrowFireBall(Game& g, double fromX, double fromY, double tx, double ty, int owner) {
  double dx = tx - fromX;
  double dy = ty - fromY;
  double len = std::sqrt(dx * dx + dy * dy);
  if (len > 0) {
    dx /= len;
    dy /= len;
  } else {
    dx = 1;
    dy = 0;
  }
  AddFireBall(g, fromX + kArenaViewX, fromY + kArenaViewY, dx, dy, owner);
}

void FireballSound(Game& g, double soundX) {
  Bonuses& bs = g.bonus;
  bool& ready = g.gates.FireballSoundGate;
  if (!ready && bs.FireballSoundTime < g.Now) ready = true;
  if (ready) {
    PlaySoundByName(g, "fireball.mp3", soundX);
    ready = false;
    bs.FireballSoundTime = g.Now + kFireballSoundPause;
  }
}

void Fire(Game& g, int taker, double fromX, double fromY, double soundX) {
  if (ActivePlayerCount(g) - 1 <= 0) return;
  for (int j = 0; j < kPlayerSlots; ++j) {
    if (!IsEnemyOf(g, taker, j)) continue;
    const TCerv& e = g.Worm(j);
    ThrowFireBall(g, fromX, fromY, e.nextX, e.nextY, taker);
    FireballSound(g, soundX);
    for (int k = 0; k < kCloneCount; ++k) {
      size_t i = static_cast<size_t>(k);
      if (e.cloneAlive[i]) ThrowFireBall(g, fromX, fromY, e.cloneX[i], e.cloneY[i], taker);
    }
  }
}

// A bomb where the head will be after the fuse has burnt, at the speed of now.
void BombAhead(Game& g, double x, double y, double heading) {
  double rad = heading * kDegToRad;
  AddBomb(g, x + kArenaViewX + std::cos(rad) * kBombLead,
          y + kArenaViewY + std::sin(rad) * kBombLead);
}

void Bombs(Game& g, int taker) {
  if (ActivePlayerCount(g) - 1 <= 0) return;
  for (int j = 0; j < kPlayerSlots; ++j) {
    if (!IsEnemyOf(g, taker, j)) continue;
    const TCerv& e = g.Worm(j);
    BombAhead(g, e.nextX, e.nextY, e.heading);
    for (int k = 0; k < kCloneCount; ++k) {
      size_t i = static_cast<size_t>(k);
      if (e.cloneAlive[i]) BombAhead(g, e.cloneX[i], e.cloneY[i], e.cloneHeading[i]);
    }
  }
}

}  // namespace

bool IsEnemyOf(const Game& g, int taker, int other) {
  if (other == taker || other < 0 || other >= kPlayerSlots) return false;
  if (!g.worms[static_cast<size_t>(other)] || !g.worms[static_cast<size_t>(other)]->alive)
    return false;
  if (g.match.TeamMode != 1) return true;
  return TeamNumber(g.settings.players[static_cast<size_t>(taker)]) !=
         TeamNumber(g.settings.players[static_cast<size_t>(other)]);
}

void PickUpBonus(Game& g, int taker, BonusKind kind, int extraHead) {
  if (taker < 0 || taker >= kPlayerSlots || !g.worms[static_cast<size_t>(taker)]) return;
  TCerv& w = g.Worm(taker);
  const double soundX = w.nextX;
  double fromX = w.nextX, fromY = w.nextY;
  if (extraHead >= 0 && extraHead < kCloneCount) {
    fromX = w.cloneX[static_cast<size_t>(extraHead)];
    fromY = w.cloneY[static_cast<size_t>(extraHead)];
  }
  if (static_cast<size_t>(kind) < g.bonus.TakenCount.size()) {
    g.bonus.TakenCount[static_cast<size_t>(kind)] += 1;
  }
  switch (kind) {
    case BonusKind::Cherry:
      w.energy += 40;
      PlaySoundByName(g, "ceresna.mp3", soundX);
      break;
    case BonusKind::Fire: Fire(g, taker, fromX, fromY, soundX); break;
    case BonusKind::Bomb:
      PlaySoundByName(g, "bombeaten.mp3", soundX);
      Bombs(g, taker);
      break;
    case BonusKind::Heart:
      w.energy += 80;
      PlaySoundByName(g, "srdce.mp3", soundX);
      break;
    case BonusKind::Poison:
      w.energy -= 80;
      if (w.energy < 1.0) w.energy = 1.0;
      PlaySoundByName(g, "poison.mp3", soundX);
      break;
    case BonusKind::Up:
    case BonusKind::Down:
      // A second speed bonus starts the five seconds again with its own factor.
      w.speedBonusActive = 1;
      w.speedBonusStart = g.Now;
      w.speedBonusFactor = kind == BonusKind::Up ? 2.0 : 0.5;
      PlaySoundByName(g, kind == BonusKind::Up ? "faster.mp3" : "slower.mp3", soundX);
      break;
    case BonusKind::Digger:
      AddDigger(g, -10, g.Random(kArenaHeight) + kArenaViewY, taker);
      PlaySoundByName(g, "digger.mp3", soundX);
      break;
    case BonusKind::Xonix:
      AddXonixWalker(g, 0, g.Random(kArenaHeight));
      PlaySoundByName(g, "xonix.mp3", soundX);
      break;
    case BonusKind::NoRocket:
      w.rocketImmune = 1;
      g.bonus.NoRocketCount += 1;
      PlaySoundByName(g, "rocket.mp3", soundX);
      break;
    case BonusKind::NoVirus:
      w.virusImmune = 1;
      g.bonus.NoVirusCount += 1;
      PlaySoundByName(g, "viruses.mp3", soundX);
      break;
  }
}

}  // namespace tdx
