// The match: everything the rules read and change, as one value. It is deterministic from
// its seed, its set-up and its players' controls, and a plain copy of it is a snapshot
// that plays on exactly as the original would. Nothing in it points outside it.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "match/arena/arena.h"
#include "match/arena/worm.h"
#include "match/bonus/bonus_places.h"
#include "match/computer/computer_state.h"
#include "match/controls.h"
#include "match/events.h"
#include "match/phase.h"
#include "match/random.h"
#include "match/setup.h"

namespace tdx {

// Gates that keep repeating sounds apart; all opened at every round start.
struct SoundGates {
  bool ErectorSoundReady = true;
  bool InfernalSoundReady = true;
  bool ThickSoundReady = true;
  bool BombSoundReady = true;
  bool FireballSoundGate = true;
  double ErectorSoundNext = 0;
  double InfernalSoundNext = 0;
  double ThickSoundNext = 0;
};

// One scored round: what --trace prints and what a replay is checked against.
struct ScoredRound {
  int round = 0;    // 1 for the match's first
  int winner = -1;  // slot 0..11, or team 1..4 in team play; -1 a draw
  uint64_t digest = 0;
  uint64_t frame = 0;
};

// The match: set when a match starts from the main menu, counted round by round.
struct MatchState {
  std::vector<ScoredRound> Scored;  // this match's rounds so far, in order
  int TeamMode = 0;                 // 0 deathmatch, 1 team deathmatch
  int RoundsLeft = 0;
  std::array<int, 12> RoundWins{};
  std::array<int, 4> TeamWins{};
  std::array<uint8_t, 12> ReadyFlags{};
  double RoundStartTime = 0;
  int BonusSlotCount = 0;
  int HalfPlayerCount = 0;
};

struct Match {
  // The match's generator decides everything that happens in the arena: start places,
  // random kinds, computer players, and every chance of the weapons and bonuses.
  Rng matchRng;
  // The set-up the match reads: who plays, as what, and the match options.
  SettingsBlock settings{};
  // Slots 0..11 play; slot 12 owns the neutral walls.
  std::array<TCerv, kWormCount> worms;

  // ---- The clock: the frame's readings, and the phase that drives the match. ----
  double Now = 0;
  double LastFrameTime = 0;
  double FrameDelta = 0;
  double PhaseStart = 0;
  GamePhase phase = GamePhase::Loading;
  uint64_t frameNumber = 0;

  // ---- The match and the round. ----
  MatchState match;
  SoundGates gates;
  Bonuses bonus;            // bonus places and the objects bonuses put into the arena
  double GlobalSpeed = 50;  // arena units per second; scales every speed and most durations
  ComputerState cpu;        // the computer players' plan search

  // ---- The arena: cleared at start-up, at match start and at every round start. ----
  ArenaGrid ArenaMap;

  // The players' controls, filled once a frame, slots 0..11.
  std::array<Controls, kPlayerSlots> controls{};

  // What the last step let the players hear, for the program to play.
  MatchEvents events;

  // A uniform integer 0 .. n - 1 from the match's generator.
  int Random(int n) { return matchRng.Random(n); }
  TCerv& Worm(int slot) { return worms[static_cast<size_t>(slot)]; }
  const TCerv& Worm(int slot) const { return worms[static_cast<size_t>(slot)]; }
};

// Counts over the set-up: the slots taking part, the n-th of them (-1 past the last), the
// teams in use and the n-th of those (0..3, -1 past the last).
int ActivePlayerCount(const SettingsBlock& setup);
int ActivePlayerCount(const Match& m);
int NthActivePlayer(const Match& m, int n);
int TeamCount(const SettingsBlock& setup);
int TeamCount(const Match& m);
int NthUsedTeam(const Match& m, int n);

}  // namespace tdx
