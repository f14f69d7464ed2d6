// The game object: everything the game keeps, grouped by lifetime. Tests make fresh ones.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/folders.h"
#include "assets/catalogue.h"
#include "audio/audio.h"
#include "display/canvas.h"
#include "display/hooks.h"
#include "display/hud.h"
#include "display/match_view.h"
#include "display/palette.h"
#include "display/presentation.h"
#include "display/scene.h"
#include "display/tell.h"
#include "match/match.h"
#include "menu/menu_items.h"
#include "menu/settings.h"
#include "players/input.h"

namespace tdx {

// The program: the match it plays (the base, so a snapshot of the match is a plain copy of
// it) and everything around it that is shown, heard or read from devices.
struct Game : Match {
  Game();
  ~Game();
  Game(const Game&) = delete;
  Game& operator=(const Game&) = delete;

  // ---- The whole run: created at start-up, kept until shut-down. ----
  GameFolders folders;    // the archives, the set-up and the replays (app/folders.h)
  bool headless = false;  // nothing is drawn or heard: no scene is built for the match
  Scene scene;
  MatchView view;                // the match's sprites, placed from it every drawn frame
  Presentation presentation;     // what is shown beyond the game's own screens
  SlotPictures palettePictures;  // the archives' pictures in slot colours, for the palettes
  Canvas beforeCanvas;           // the before-render hook draws here (under the sprites)
  Canvas afterCanvas;            // the after-render hook draws here (over everything)
  TellState tell;                // labels, notices and results told over the view
  AssetTables assets;
  AudioState audio;
  // The look's generator decides only what is seen or heard (music choice, background);
  // the match's own decides everything in the arena. Keeping them apart lets a seeded
  // match play the same with or without a sound device, and a replay reproduce it.
  Rng lookRng;
  MenuState menu;
  InputState input;
  std::string TickerText;
  // Loading screen objects.
  Sprite* LogoSprite = nullptr;
  Sprite* PreloadSprite = nullptr;
  Sprite* TitleSprite = nullptr;
  std::array<std::shared_ptr<Picture>, 2> LogoBitmaps;
  double LogoSwapTime = 0;

  // ---- Timing (the frame loop). ----
  std::string AudioActivityText;  // "P"/"N" per effect channel, for --debug
  const char* PlannerText = "";   // "RUNNING PROGRAM" in a frame a planner followed its plan

  // ---- The match and the round. ----
  HudState hud;
  // The crowd cheers a moment after the final screen shows (after the winner's speech).
  bool CrowdPending = false;
  double CrowdTime = 0;

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
  SettingsStore* setupStore = nullptr;  // not owned; null: the file in the set-up folder

  int LookRandom(int n) { return lookRng.Random(n); }
  std::string SetupPath() const { return folders.config + "/" + kSettingsFileName; }
};

}  // namespace tdx
