#include "match/bonus/bonus_places.h"

#include <algorithm>
#include <array>
#include <string>

#include "match/arena/arena.h"
#include "match/bonus/bonus_effects.h"
#include "match/match.h"

namespace tdx {

namespace {

// Frames of each kind's four-step animation, by kind; the first is its first frame.
const std::array<std::array<std::string, 4>, kBonusKindCount> kFrames = {{
    {"cherry1", "cherry2", "cherry1", "cherry2"},
    {"fire1", "fire2", "fire1", "fire3"},
    {"bomb1", "bomb2", "bomb1", "bomb3"},
    {"heart1", "heart2", "heart1", "heart2"},
    {"poison1", "poison2", "poison1", "poison2"},
    {"b_up_1", "b_up_2", "b_up_1", "b_up_2"},
    {"b_down_1", "b_down_2", "b_down_1", "b_down_2"},
    {"b_digger_1", "b_digger_2", "b_digger_3", "b_digger_2"},
    {"b_xonix_1", "b_xonix_2", "b_xonix_3", "b_xonix_4"},
    {"b_no_rocket_1", "b_no_rocket_2", "b_no_rocket_3", "b_no_rocket_2"},
    {"b_no_virus_1", "b_no_virus_2", "b_no_virus_3", "b_no_virus_2"},
}};

// "00" .. "47": the swirl's frames.
const std::array<std::string, kSwirlFrames>& SwirlNames() {
  static const std::array<std::string, kSwirlFrames> names = [] {
    std::array<std::string, kSwirlFrames> n;
    for (int i = 0; i < kSwirlFrames; ++i) {
      n[static_cast<size_t>(i)] = {static_cast<char>('0' + i / 10),
                                   static_cast<char>('0' + i % 10)};
    }
    return n;
  }();
  return names;
}

size_t KindIndex(BonusKind kind) {
  return std::min(static_cast<size_t>(kind), static_cast<size_t>(kBonusKindCount - 1));
}

// The game speed as the bonus times divide by it; a speed of zero would stop no clock
// but divide by nothing, so it counts as the slowest one.
double BonusSpeed(const Match& m) { return m.GlobalSpeed >= 1 ? m.GlobalSpeed : 1; }

int RoundToInt(double v) { return static_cast<int>(RoundEven(v)); }

void HideLooks(BonusSlot& b) {
  b.swirl.visible = false;
  b.picture.visible = false;
}

// Waiting is over: draw the kind and the place, start the swirl.
void Appear(Match& m, BonusSlot& b) {
  Bonuses& bs = m.bonus;
  b.state = BonusState::Appearing;
  b.timer = 0;
  int kind = m.Random(kBonusKindCount);
  // Immunities are rationed: with too many of them about, the draw becomes an ordinary
  // kind. A replaced draw no longer counts, so nothing leaks into the count when the
  // bonus that took its place vanishes.
  if (kind == static_cast<int>(BonusKind::NoRocket)) {
    bs.NoRocketCount += 1;
    if (bs.NoRocketCount + bs.NoVirusCount >= m.match.HalfPlayerCount) {
      bs.NoRocketCount -= 1;
      kind = m.Random(9);
    }
  } else if (kind == static_cast<int>(BonusKind::NoVirus)) {
    bs.NoVirusCount += 1;
    if (bs.NoRocketCount + bs.NoVirusCount >= m.match.HalfPlayerCount) {
      bs.NoVirusCount -= 1;
      kind = m.Random(9);
    }
  }
  b.kind = static_cast<BonusKind>(kind);
  b.x = m.Random(548) + 30;
  b.y = m.Random(348) + 30;
  b.swirl.x = static_cast<float>(b.x + 15);
  b.swirl.y = static_cast<float>(b.y + 57);
  b.swirl.SetMaterialName(SwirlNames()[0]);
  b.swirl.visible = true;
  b.picture.x = static_cast<float>(b.x + kArenaViewX);
  b.picture.y = static_cast<float>(b.y + kArenaViewY);
  b.picture.visible = false;  // it shows halfway through the swirl
  SetBonusFirstFrame(b);
  m.events.Sound("bonus.mp3", b.x - 1);
}

// The swirl's frame at f hundredths of a second, or, once it has run its 1.44 s, the
// switch to the long stay.
void SwirlStep(Match& m, BonusSlot& b, int f) {
  if (f < 3 * kSwirlFrames) {
    b.swirl.SetMaterialName(SwirlNames()[static_cast<size_t>(std::max(f, 0) / 3)]);
    return;
  }
  double s = BonusSpeed(m);
  b.timer = m.Random(RoundToInt(2500 / s)) / 10.0 + 750 / s;
  b.state = BonusState::Lasting;
  b.swirl.visible = false;
}

void TryPickUp(Match& m, BonusSlot& b) {
  for (int s = 0; s < kPlayerSlots; ++s) {
    TCerv& w = m.Worm(s);
    if (!w.alive) continue;
    // Every head inside the box takes it, even after the first one has: the kind stays.
    if (InBonusBox(b.x, b.y, w.nextX, w.nextY)) {
      HideLooks(b);
      b.state = BonusState::Start;
      PickUpBonus(m, s, b.kind, kMainHead);
    }
    for (int k = 0; k < kCloneCount; ++k) {
      size_t i = static_cast<size_t>(k);
      if (!w.cloneAlive[i] || !InBonusBox(b.x, b.y, w.cloneX[i], w.cloneY[i])) continue;
      HideLooks(b);
      b.state = BonusState::Start;
      PickUpBonus(m, s, b.kind, k);
    }
  }
}

}  // namespace

const char* BonusFirstFrame(BonusKind kind) { return kFrames[KindIndex(kind)][0].c_str(); }

const char* BonusFrame(BonusKind kind, int step) {
  return kFrames[KindIndex(kind)][static_cast<size_t>(((step % 4) + 4) % 4)].c_str();
}

void SetBonusFirstFrame(BonusSlot& b) { b.picture.SetMaterialName(kFrames[KindIndex(b.kind)][0]); }

void AnimateBonus(Match& m, BonusSlot& b) {
  long long step = static_cast<long long>(RoundEven((m.Now - b.shownAt) * 4));
  b.picture.SetMaterialName(kFrames[KindIndex(b.kind)][static_cast<size_t>(((step % 4) + 4) % 4)]);
}

void OpenBonusPlaces(Match& m) {
  for (BonusSlot& b : m.bonus.slots) {
    b.swirl = Look{};
    b.swirl.SetMaterial(LibGLMLMyst, SwirlNames()[0]);
    b.swirl.width = 96;
    b.swirl.height = 192;
    b.picture = Look{};
    b.picture.SetMaterial(LibGLMLMyst, "cherry");
    b.picture.width = 16;
    b.picture.height = 16;
    for (Look* l : {&b.swirl, &b.picture}) {
      l->x = 320;
      l->y = 240;
    }
  }
  m.bonus.placesOpen = true;
}

void CloseBonusPlaces(Match& m) {
  for (BonusSlot& b : m.bonus.slots) HideLooks(b);
  m.bonus.placesOpen = false;
}

void ResetBonusRound(Match& m) {
  m.bonus.NoRocketCount = 0;
  m.bonus.NoVirusCount = 0;
  for (BonusSlot& b : m.bonus.slots) {
    b.state = BonusState::Start;
    HideLooks(b);
  }
}

void UpdateBonusSlot(Match& m, int index) {
  if (!m.settings.game.bonus || index < 0 || index >= kBonusSlots) return;
  BonusSlot& b = m.bonus.slots[static_cast<size_t>(index)];
  if (!m.bonus.placesOpen) return;  // no match, no places
  const double s = BonusSpeed(m);
  const double dt = m.FrameDelta;
  switch (b.state) {
    case BonusState::Start:
      b.state = BonusState::Waiting;
      b.timer = m.Random(RoundToInt(1500 / s)) / 10.0;
      break;
    case BonusState::Waiting:
      b.timer -= dt;
      if (b.timer < 0) Appear(m, b);
      break;
    case BonusState::Appearing: {
      b.timer += dt;
      int f = RoundToInt(std::min(b.timer * 100, 1e6));
      if (!b.picture.visible && f > 72) {
        b.picture.visible = true;
        b.state = BonusState::Shown;
        b.shownAt = m.Now;
      }
      SwirlStep(m, b, f);
      break;
    }
    case BonusState::Shown: {
      b.timer += dt;
      int f = RoundToInt(std::min(b.timer * 100, 1e6));
      AnimateBonus(m, b);
      SwirlStep(m, b, f);
      break;
    }
    case BonusState::LastShow:
      b.timer -= dt;
      AnimateBonus(m, b);
      if (b.timer < 0) {
        b.picture.visible = false;
        b.state = BonusState::Start;
        if (b.kind == BonusKind::NoRocket) m.bonus.NoRocketCount -= 1;
        if (b.kind == BonusKind::NoVirus) m.bonus.NoVirusCount -= 1;
      }
      break;
    default:  // Lasting and the five blink phases
      b.timer -= dt;
      AnimateBonus(m, b);
      if (b.timer < 0) {
        b.state = static_cast<BonusState>(static_cast<int>(b.state) + 1);
        b.timer = 20 / s;
        // Off on entering 5, 7 and 9, on again on entering 6, 8 and the last show.
        b.picture.visible = (static_cast<int>(b.state) % 2) == 0;
      }
      break;
  }
  if (b.state >= BonusState::Shown && b.state <= BonusState::Blinking9) TryPickUp(m, b);
}

}  // namespace tdx
