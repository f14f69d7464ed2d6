#include "display/death_notice.h"

namespace tdx {

namespace {

// How each cause is told: what happened to the worm and the thing that did it, whose it
// was going in between ("its own", "player 5's", or "a" when nobody's).
struct Telling {
  const char* happened;
  const char* thing;  // empty: nothing follows
};

Telling TellingOf(DeathCause cause) {
  switch (cause) {
    case DeathCause::OwnTrail:
    case DeathCause::Trail: return {"ran into", "trail"};
    case DeathCause::Wall: return {"ran into", "xonix wall"};
    case DeathCause::Edge: return {"hit the wall", ""};
    case DeathCause::Fireball: return {"was burnt by", "fireball"};
    case DeathCause::Laser: return {"was cut down by", "laser"};
    case DeathCause::Shot: return {"was shot by", "bullet"};
    case DeathCause::Rocket: return {"was hit by", "rocket"};
    case DeathCause::AtomicBomb: return {"was caught in", "atomic blast"};
    case DeathCause::Virus: return {"was infected by", "virus"};
    case DeathCause::InfernalFire: return {"was burnt by", "infernal fire"};
    case DeathCause::BonusFireBall: return {"was burnt by", "fire ball"};
    case DeathCause::Digger: return {"was run over by", "digger"};
    case DeathCause::Bomb: return {"was blown up by", "bomb"};
    case DeathCause::Unknown: break;
  }
  return {"died", ""};
}

bool StartsWithVowel(const char* s) {
  switch (s[0]) {
    case 'a':
    case 'e':
    case 'i':
    case 'o':
    case 'u': return true;
    default: return false;
  }
}

}  // namespace

std::string SlotName(const SlotNames& names, int slot) {
  if (slot >= 0 && slot < kPlayerSlots && !names[static_cast<size_t>(slot)].empty()) {
    return names[static_cast<size_t>(slot)];
  }
  return "player " + std::to_string(slot + 1);
}

std::string DeathNotice(const MatchEvent& death, const SlotNames& names) {
  const int dead = death.value;
  const int by = death.blame.by;
  const Telling t = TellingOf(death.blame.cause);
  std::string line = SlotName(names, dead) + " " + t.happened;
  if (t.thing[0] == '\0') return line;
  if (by == dead) {
    line += " its own ";
  } else if (by >= 0 && by < kPlayerSlots) {
    line.append(" ").append(SlotName(names, by)).append("'s ");
  } else {
    line += StartsWithVowel(t.thing) ? " an " : " a ";
  }
  return line + t.thing;
}

}  // namespace tdx
