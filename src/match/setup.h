// The players' set-up as the match reads it: one 164-byte block, stored raw as tandrix.cfg.
#pragma once

#include <array>
#include <cstdint>

namespace tdx {

enum ControllerKind : uint8_t { CtrlOff = 1, CtrlHuman = 2, CtrlCpuIq0 = 3, CtrlCpuIq10 = 4 };

enum class WormKind : uint8_t {
  None = 0,
  Traveller = 1,
  Speeder,
  Stopper,
  Warper,
  Reverser,
  Killer,
  LaserShooter,
  Multiplier,
  VirusInfester,
  Repeller,
  RocketLauncher,
  AtomicBomber,
  Reproducer,
  Erector,
  Teleporter,
  Shooter,
  WInfernal,
  WThicker,
  Pauser,
  VirusController,
  Random = 255
};

enum class StartPositionRule : uint8_t {
  IntoTheMiddle = 0,
  AwayFromTheMiddle,
  Circle,
  ProportionalRandom,
  RandomPlaces,
  Race
};

#pragma pack(push, 1)
struct PlayerSetup {
  uint8_t controller;
  uint8_t kind;
  uint8_t reserved[6];
  uint8_t leftKey;
  uint8_t rightKey;
  uint8_t fireKey;
  uint8_t team;
};

struct GameSetup {
  uint8_t bonus;
  uint8_t speedMode;  // nonzero: constant speed
  uint8_t startPosition;
  uint8_t showGameNumber;
  uint8_t showGameTime;
  uint8_t showRealTime;
  uint8_t showScore;
  uint8_t positions;  // 0: "surprise"
  uint8_t scoreLimit;
  uint8_t constantSpeed;
  uint8_t fromSpeed;
  uint8_t toSpeed;
  uint8_t sounds;
  uint8_t backgroundEffect;
  uint8_t speech;
  uint8_t music;
  uint8_t rightLeft;
  uint8_t reserved[3];
};

struct SettingsBlock {
  PlayerSetup players[12];
  GameSetup game;
};
#pragma pack(pop)

static_assert(sizeof(PlayerSetup) == 12);
static_assert(sizeof(GameSetup) == 20);
static_assert(sizeof(SettingsBlock) == 164);

inline constexpr int kRoundLimits[6] = {3, 10, 21, 50, 100, 1000};
inline constexpr int kSpeedTable[10] = {30, 40, 50, 60, 70, 80, 90, 100, 120, 150};

// The byte a PlayerSetup holds for "a kind drawn at random every round".
inline constexpr uint8_t kKindRandomByte = static_cast<uint8_t>(WormKind::Random);
// The kind a stored byte plays as: a kind outside 1..20 in a hand-edited file plays as the
// nearest kind of the table.
inline WormKind PlayedKind(uint8_t stored) {
  if (stored < 1) return WormKind::Traveller;
  if (stored > 20) return WormKind::VirusController;
  return static_cast<WormKind>(stored);
}

// The controller a slot plays with: a value outside the table in a hand-edited file reads
// as the nearest one (0 is off, above cpuiq10 is cpuiq10). Every test of a slot's
// controller goes through this, so a slot is never half on.
inline ControllerKind ControllerOf(const PlayerSetup& p) {
  if (p.controller < CtrlOff) return CtrlOff;
  if (p.controller > CtrlCpuIq10) return CtrlCpuIq10;
  return static_cast<ControllerKind>(p.controller);
}
inline bool IsHumanSlot(const PlayerSetup& p) { return ControllerOf(p) == CtrlHuman; }
inline bool IsComputerSlot(const PlayerSetup& p) { return ControllerOf(p) > CtrlHuman; }
// A slot takes part in a match unless it is switched off.
inline bool TakesPart(const PlayerSetup& p) { return ControllerOf(p) != CtrlOff; }
// The team 1..4; a team outside the table in a hand-edited file plays as the nearest team
// (0 as team 1, above 4 as team 4).
inline int TeamNumber(const PlayerSetup& p) {
  if (p.team < 1) return 1;
  if (p.team > 4) return 4;
  return p.team;
}

// Who plays each slot, taken from `from` in the middle of a round (the computer taking over
// a silent network machine's worms): the controllers only, so the kinds the round start
// drew at random stay as they are.
inline void TakeControllers(SettingsBlock& to, const SettingsBlock& from) {
  for (int s = 0; s < 12; ++s) to.players[s].controller = from.players[s].controller;
}

// Hand-edited files may hold values outside the tables; these give the nearest value the
// tables can take, for reading only (the block itself is never corrected).
int ClampedRoundLimit(uint8_t scoreLimitIndex);
int ClampedSpeed(uint8_t speedIndex);

}  // namespace tdx
