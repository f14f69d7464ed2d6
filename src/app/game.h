// The game object: everything the game keeps, grouped by lifetime. Tests make fresh ones.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/phase.h"
#include "app/random.h"
#include "arena/arena.h"
#include "arena/worm.h"
#include "assets/catalogue.h"
#include "audio/audio.h"
#include "bonus/bonus_places.h"
#include "display/canvas.h"
#include "display/hooks.h"
#include "display/hud.h"
#include "display/scene.h"
#include "menu/menu_items.h"
#include "menu/settings.h"
#include "players/computer_state.h"
#include "players/input.h"

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
  bool CrowdPending = false;
  double CrowdTime = 0;
};

struct Game {
  Game();
  ~Game();
  Game(const Game&) = delete;
  Game& operator=(const Game&) = delete;

  // ---- The whole run: created at start-up, kept until shut-down. ----
  std::string workDir = ".";  // holds pak/ and tandrix.cfg
  Scene scene;
  Canvas beforeCanvas;  // the before-render hook draws here (under the sprites)
  Canvas afterCanvas;   // the after-render hook draws here (over everything)
  // Two generators, both seeded once per run: the match's decides everything that happens
  // in the arena (start places, random kinds, computer players, and every chance of the
  // weapons and bonuses); the look's decides only what is seen or heard (music choice,
  // background). Keeping them apart lets a seeded match play the same with or without a
  // sound device, and a replay reproduce it.
  Rng matchRng;
  Rng lookRng;
  std::array<std::unique_ptr<TCerv>, kWormCount> worms;
  AssetTables assets;
  AudioState audio;
  MenuState menu;
  InputState input;
  SettingsBlock settings{};
  std::string TickerText;
  // Loading screen objects.
  Sprite* LogoSprite = nullptr;
  Sprite* PreloadSprite = nullptr;
  Sprite* TitleSprite = nullptr;
  std::array<std::shared_ptr<Picture>, 2> LogoBitmaps;
  double LogoSwapTime = 0;

  // ---- Timing (the frame loop). ----
  double Now = 0;
  double LastFrameTime = 0;
  double FrameDelta = 0;
  double PhaseStart = 0;
  GamePhase phase = GamePhase::Loading;
  uint64_t frameNumber = 0;
  std::string AudioActivityText;  // "P"/"N" per effect channel, for --debug
  const char* PlannerText = "";   // "RUNNING PROGRAM" in a frame a planner followed its plan

  // ---- The match and the round. ----
  MatchState match;
  SoundGates gates;
  HudState hud;
  Bonuses bonus;            // bonus places and the objects bonuses put into the arena
  double GlobalSpeed = 50;  // arena units per second; scales every speed and most durations
  ComputerState cpu;        // the computer players' plan search

  // ---- The arena: cleared at start-up, at match start and at every round start. ----
  ArenaGrid ArenaMap;
  // The scrolling background grid, chosen anew every round when the effect is on.
  BackgroundGrid BackgroundLines;

  // ---- Requests to the program around the game. ----
  bool quitRequested = false;
  std::string fatalError;  // start-up stopped: names the file and what is wrong

  // The wall clock for the HUD (tests pin it).
  std::function<long long()> clockTime;

  // A uniform integer 0 .. n - 1 for the match; LookRandom for presentation only.
  // tandrix.cfg, read into or saved from `settings`, or what stands in for it.
  bool LoadSetup(std::string& error);
  bool SaveSetup(std::string& error);
  SettingsStore* setupStore = nullptr;  // not owned; null: the file in workDir

  int Random(int n) { return matchRng.Random(n); }
  int LookRandom(int n) { return lookRng.Random(n); }
  TCerv& Worm(int slot) { return *worms[static_cast<size_t>(slot)]; }
  std::string Path(const std::string& relative) const { return workDir + "/" + relative; }
};

}  // namespace tdx
