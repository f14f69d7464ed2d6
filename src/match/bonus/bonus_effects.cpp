#include "match/bonus/bonus_effects.h"

#include <cmath>

#include "match/arena/arena.h"
#include "match/match.h"
#include "match/weapons/bonus_objects.h"

namespace tdx {

namespace {

constexpr double kDegToRad = 3.14159265358979323846 / 180.0;
constexpr double kFireballSoundPause = 0.3;

// One fire ball from the taking point towards (tx, ty). A target exactly on the taking
// point has no direction; that ball flies right instead of carrying a position that is
// no number and would never leave the screen.
void ThrowFireBall(Match& m, double fromX, double fromY, double tx, double ty, int owner) {
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
  AddFireBall(m, fromX + kArenaViewX, fromY + kArenaViewY, dx, dy, owner);
}

void FireballSound(Match& m, double soundX) {
  Bonuses& bs = m.bonus;
  bool& ready = m.gates.FireballSoundGate;
  if (!ready && bs.FireballSoundTime < m.Now) ready = true;
  if (ready) {
    m.events.Sound("fireball.mp3", soundX);
    ready = false;
    bs.FireballSoundTime = m.Now + kFireballSoundPause;
  }
}

void Fire(Match& m, int taker, double fromX, double fromY, double soundX) {
  if (ActivePlayerCount(m) - 1 <= 0) return;
  for (int j = 0; j < kPlayerSlots; ++j) {
    if (!IsEnemyOf(m, taker, j)) continue;
    const TCerv& e = m.Worm(j);
    ThrowFireBall(m, fromX, fromY, e.nextX, e.nextY, taker);
    FireballSound(m, soundX);
    for (int k = 0; k < kCloneCount; ++k) {
      size_t i = static_cast<size_t>(k);
      if (e.cloneAlive[i]) ThrowFireBall(m, fromX, fromY, e.cloneX[i], e.cloneY[i], taker);
    }
  }
}

// A bomb where the head will be after the fuse has burnt, at the speed of now.
void BombAhead(Match& m, double x, double y, double heading, int taker) {
  double rad = heading * kDegToRad;
  AddBomb(m, x + kArenaViewX + std::cos(rad) * kBombLead,
          y + kArenaViewY + std::sin(rad) * kBombLead, taker);
}

void Bombs(Match& m, int taker) {
  if (ActivePlayerCount(m) - 1 <= 0) return;
  for (int j = 0; j < kPlayerSlots; ++j) {
    if (!IsEnemyOf(m, taker, j)) continue;
    const TCerv& e = m.Worm(j);
    BombAhead(m, e.nextX, e.nextY, e.heading, taker);
    for (int k = 0; k < kCloneCount; ++k) {
      size_t i = static_cast<size_t>(k);
      if (e.cloneAlive[i]) BombAhead(m, e.cloneX[i], e.cloneY[i], e.cloneHeading[i], taker);
    }
  }
}

}  // namespace

bool IsEnemyOf(const Match& m, int taker, int other) {
  if (other == taker || other < 0 || other >= kPlayerSlots) return false;
  if (!m.worms[static_cast<size_t>(other)].alive) return false;
  if (m.match.TeamMode != 1) return true;
  return TeamNumber(m.settings.players[static_cast<size_t>(taker)]) !=
         TeamNumber(m.settings.players[static_cast<size_t>(other)]);
}

void PickUpBonus(Match& m, int taker, BonusKind kind, int extraHead) {
  if (taker < 0 || taker >= kPlayerSlots) return;
  TCerv& w = m.Worm(taker);
  const double soundX = w.nextX;
  double fromX = w.nextX, fromY = w.nextY;
  if (extraHead >= 0 && extraHead < kCloneCount) {
    fromX = w.cloneX[static_cast<size_t>(extraHead)];
    fromY = w.cloneY[static_cast<size_t>(extraHead)];
  }
  if (static_cast<size_t>(kind) < m.bonus.TakenCount.size()) {
    m.bonus.TakenCount[static_cast<size_t>(kind)] += 1;
  }
  switch (kind) {
    case BonusKind::Cherry:
      w.energy += 40;
      m.events.Sound("ceresna.mp3", soundX);
      break;
    case BonusKind::Fire: Fire(m, taker, fromX, fromY, soundX); break;
    case BonusKind::Bomb:
      m.events.Sound("bombeaten.mp3", soundX);
      Bombs(m, taker);
      break;
    case BonusKind::Heart:
      w.energy += 80;
      m.events.Sound("srdce.mp3", soundX);
      break;
    case BonusKind::Poison:
      w.energy -= 80;
      if (w.energy < 1.0) w.energy = 1.0;
      m.events.Sound("poison.mp3", soundX);
      break;
    case BonusKind::Up:
    case BonusKind::Down:
      // A second speed bonus starts the five seconds again with its own factor.
      w.speedBonusActive = 1;
      w.speedBonusStart = m.Now;
      w.speedBonusFactor = kind == BonusKind::Up ? 2.0 : 0.5;
      m.events.Sound(kind == BonusKind::Up ? "faster.mp3" : "slower.mp3", soundX);
      break;
    case BonusKind::Digger:
      AddDigger(m, -10, m.Random(kArenaHeight) + kArenaViewY, taker);
      m.events.Sound("digger.mp3", soundX);
      break;
    case BonusKind::Xonix:
      AddXonixWalker(m, 0, m.Random(kArenaHeight));
      m.events.Sound("xonix.mp3", soundX);
      break;
    case BonusKind::NoRocket:
      w.rocketImmune = 1;
      m.bonus.NoRocketCount += 1;
      m.events.Sound("rocket.mp3", soundX);
      break;
    case BonusKind::NoVirus:
      w.virusImmune = 1;
      m.bonus.NoVirusCount += 1;
      m.events.Sound("viruses.mp3", soundX);
      break;
  }
}

}  // namespace tdx
