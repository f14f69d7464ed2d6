// Bonus places: one per player taking part, each running its own timed cycle (wait,
// swirl, show, blink, vanish) and handing the bonus to the first heads that touch it.
#pragma once

#include <array>
#include <cstdint>

#include "match/look.h"
#include "match/weapons/bonus_objects.h"

namespace tdx {

struct Match;

enum class BonusKind : uint8_t {
  Cherry,
  Fire,
  Bomb,
  Heart,
  Poison,
  Up,
  Down,
  Digger,
  Xonix,
  NoRocket,
  NoVirus
};
inline constexpr int kBonusKindCount = 11;

// A place's cycle; the five blink phases hide and show the picture in turn.
enum class BonusState : uint8_t {
  Start,
  Waiting,
  Appearing,
  Shown,
  Lasting,
  Blinking5,
  Blinking6,
  Blinking7,
  Blinking8,
  Blinking9,
  LastShow
};

inline constexpr int kBonusSlots = 12;
inline constexpr int kSwirlFrames = 48;

struct BonusSlot {
  BonusState state = BonusState::Start;
  BonusKind kind = BonusKind::Cherry;
  double timer = 0;      // seconds: down while waiting and lasting, up while appearing
  int32_t x = 0, y = 0;  // arena cell of the bonus
  double shownAt = 0;    // when the picture became visible
  Look swirl;            // 96 by 192, frames "00".."47" of GLMLMyst
  Look picture;          // 16 by 16, the kind's frames of GLMLMyst
};

// Everything the bonuses keep, by lifetime.
struct Bonuses {
  // ---- The round: ResetBonusRound when a round is prepared, when it ends and when a
  // match is left; the places work from OpenBonusPlaces to CloseBonusPlaces. ----
  bool placesOpen = false;
  std::array<BonusSlot, kBonusSlots> slots{};
  // Immunity bonuses on the field or taken this round; a draw that would reach
  // HalfPlayerCount is replaced by an ordinary kind.
  int32_t NoRocketCount = 0;
  int32_t NoVirusCount = 0;
  // When the fireball sound may play again (its ready flag is the round's gate
  // FireballSoundGate).
  double FireballSoundTime = 0;

  // ---- The objects in the arena: emptied when a round is prepared, when it has been
  // scored and when the match display is torn down (ClearBonusObjects). ----
  BonusObjectLists objects;

  // ---- The whole run: how often each kind was taken (a match's statistics, and how the
  // recorded matches show that every kind is reached). ----
  std::array<int, kBonusKindCount> TakenCount{};
};

// Match start: the twelve places open, their swirls and pictures hidden.
void OpenBonusPlaces(Match& m);
// Match left: the places close.
void CloseBonusPlaces(Match& m);
// Every place back to Start with both looks hidden, both immunity counts 0.
void ResetBonusRound(Match& m);

// One frame of place `index` (0 .. BonusSlotCount - 1), after the worms and projectiles
// have moved. Does nothing while the bonus option is off.
void UpdateBonusSlot(Match& m, int index);

// Material names of a kind's picture: its first frame, and the frame shown at `step`
// (0..3) of its four-step animation.
const char* BonusFirstFrame(BonusKind kind);
const char* BonusFrame(BonusKind kind, int step);
// The picture shows the first frame of the place's kind.
void SetBonusFirstFrame(BonusSlot& slot);
// The picture's frame from the time it has been visible (four steps a second).
void AnimateBonus(Match& m, BonusSlot& slot);

// Whether an arena point lies in the pick-up box of a bonus at cell (x, y).
inline bool InBonusBox(int x, int y, double px, double py) {
  return x - 9 < px && px < x + 7 && y - 7 < py && py < y + 9;
}

}  // namespace tdx
