// One worm (TCerv): its record, what it shows, the slot colours and the per-round reset.
// The step and death are in match/arena/worm_step.h.
#pragma once

#include <array>
#include <cstdint>

#include "match/look.h"
#include "match/setup.h"

namespace tdx {

struct Match;

inline constexpr int kWormCount = 13;  // slots 0..11 play; slot 12 owns the neutral walls
inline constexpr int kPlayerSlots = 12;
inline constexpr int kCloneCount = 5;
inline constexpr int kBulletCount = 7;
inline constexpr int kLaserBeamCount = 4;
inline constexpr int kVirusCount = 65;
inline constexpr int kPlanSteps = 16;
inline constexpr double kStartEnergy = 81;
inline constexpr double kTurnRate = 400;  // degrees per second

// Worm colours by slot, $00BBGGRR. Slot 12 is white: the colour of the neutral walls.
inline constexpr uint32_t kSlotColours[kWormCount] = {
    0x00FF00, 0x0000FF, 0xFF0000, 0xFFFF00, 0x00FFFF, 0xFF00FF, 0x80FF00,
    0xFF8000, 0x808080, 0x0080FF, 0x8000FF, 0xFF0080, 0xFFFFFF};

// One step of a computer player's steering plan.
struct PlanStep {
  uint8_t action = 0;   // 0 straight, 1 left, 2 right
  double duration = 0;  // seconds
};

// A plain value: the match copies its worms with it.
struct TCerv {
  // ---- Identity and state ----
  uint8_t alive = 0;
  uint8_t slot = 0;  // the value this worm paints into the arena
  WormKind kind = WormKind::None;
  uint32_t colour = 0;
  uint32_t dimColour = 0;

  // ---- Geometry (arena units, degrees) ----
  double headX = 0, headY = 0;  // where the head was when the step began
  double nextX = 0, nextY = 0;  // where this step's move ends
  double heading = 0;
  double tailX = 0, tailY = 0;  // the round's start point (moves only when a reverser swaps)
  double tailHeading = 0;
  int32_t placeIndex = 0;

  // ---- Movement and input ----
  double speed = 0;
  uint8_t turnLeft = 0, turnRight = 0, fireHeld = 0;
  uint8_t leftKey = 0, rightKey = 0, fireKey = 0;
  uint8_t stopped = 0, stoppedBy = 0;

  // ---- Ability energy (never below 1) ----
  double energy = kStartEnergy;

  // ---- Timed speed bonus ----
  uint8_t speedBonusActive = 0;
  double speedBonusStart = 0;
  double speedBonusFactor = 1;

  // ---- Extra heads (multiplier and reproducer) ----
  std::array<uint8_t, kCloneCount> cloneAlive{};
  std::array<double, kCloneCount> cloneX{}, cloneY{}, cloneHeading{};
  std::array<double, kCloneCount> clonePrevX{}, clonePrevY{};
  uint8_t tailCloneUsed = 0;

  // ---- Shooter burst ----
  uint8_t burstActive = 0;
  uint8_t burstCount = 0;
  double burstNextTime = 0;

  // ---- Teleport animation ----
  Look teleportLook;
  uint8_t teleportAnimActive = 0;
  double teleportAnimStart = 0, teleportAnimEnd = 0;

  // ---- Infernal fire and thickness ----
  uint8_t infernalOn = 0;                 // both fires burn
  std::array<Look, 2> infernalCarrier{};  // where each fire stands (never drawn itself)
  std::array<double, 2> infernalAngle{};
  int32_t thickMode = 0;  // 0 shrink, 1 grow
  double thickness = 1;

  uint8_t atomicLaunchedNow = 0;

  // ---- Fireball ----
  Look fireballLook;
  double fireballX = 0, fireballY = 0, fireballHeading = 0;
  uint8_t fireballActive = 0;
  double fireballPulseTime = 0;
  uint8_t fireballPulse = 0;

  // ---- Bullets ----
  std::array<Look, kBulletCount> bulletLook{};
  std::array<double, kBulletCount> bulletX{}, bulletY{}, bulletHeading{};
  std::array<uint8_t, kBulletCount> bulletActive{};

  // ---- Laser ----
  std::array<Look, kLaserBeamCount> laserBeam{};  // their places are the beams'
  uint8_t laserActive = 0;
  double laserPulseTime = 0;
  uint8_t laserPulse = 0;

  // ---- Viruses ----
  std::array<Look, kVirusCount> virusLook{};
  std::array<double, kVirusCount> virusX{}, virusY{};
  std::array<uint8_t, kVirusCount> virusActive{};
  std::array<double, kVirusCount> virusAnimTime{}, virusAnimPeriod{};
  std::array<uint8_t, kVirusCount> virusFrame{};
  std::array<int32_t, kVirusCount> virusDriftX{}, virusDriftY{};
  std::array<uint8_t, kVirusCount> virusEdgeState{};
  char virusColour = 'a';  // the owner's letter in virus picture names, 'a'..'l'
  uint8_t virusControl = 0;
  uint8_t virusFree = 0;

  // ---- Rocket and atomic bomb (one look: a worm has only one of the two) ----
  Look missileLook;
  double missileX = 0, missileY = 0, missileTime = 0;
  int32_t missileFrame = 0;
  uint8_t rocketActive = 0, rocketFlying = 0;
  double rocketLeadX = 0, rocketLeadY = 0;
  double rocketTargetX = 0, rocketTargetY = 0;
  uint8_t atomicActive = 0;

  // ---- Death marker ----
  Look ripLook;
  double ripTime = 0;

  // ---- Bonus immunities ----
  uint8_t rocketImmune = 0, virusImmune = 0;

  // ---- Computer player (reset every round by ResetWormRound) ----
  std::array<uint8_t, 3> cpuKeys{};      // left, right, fire chosen this frame
  std::array<uint8_t, 3> cpuPrevKeys{};  // the same one frame earlier
  uint8_t cpuTurning = 0;
  double cpuTurnChanged = 0, cpuTurnInterval = 0;
  uint8_t cpuFiring = 0;
  double cpuFireChanged = 0, cpuFireInterval = 0;
  uint8_t planState = 0;  // 0 plan needed, 2 running, 3 waiting
  double planWaitStart = 0;
  std::array<PlanStep, kPlanSteps> plan{};
  uint8_t planCount = 0;
  uint8_t planStep = 0;
  double planStart = 0;
  std::array<PlanStep, kPlanSteps> bestPlan{};
  uint8_t bestPlanCount = 0;
  uint8_t cpuBusy = 0;
  double cpuBusyUntil = 0;
  uint8_t cpuPressed = 0;
  uint8_t cpuHold = 0;
  double cpuHoldStart = 0, cpuHoldTime = 0;
  uint8_t cpuRepelBusy = 0;
  int32_t cpuRepelPhase = 0;
  double cpuRepelStart = 0, cpuRepelTime = 0;
};

// $00BBGGRR with each channel halved; the top byte is dropped.
uint32_t DimColour(uint32_t colour);
// Sets dimColour of every worm that exists from its colour.
void SetDimColours(Match& m);

// Start-up: the thirteen worms' slots, colours and dim colours.
void CreateWorms(Match& m);

// The one round reset of a worm's round fields, at every round start: immunities,
// teleport and bullets hidden, burst stopped, the computer player's controls, timers and
// plan flags, every shot, bonus and extra head of the last round gone, the slot alive
// if it takes part, its kind for this round (a random kind already drawn into the
// settings), then the kind's own reset. Reads m.GlobalSpeed and draws two numbers from
// the match generator.
void ResetWormRound(Match& m, int slot);

}  // namespace tdx
