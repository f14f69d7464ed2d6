// The game object: everything the game keeps, grouped by lifetime. Tests make fresh ones.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/phase.h"
#include "app/random.h"
#include "arena/arena.h"
#include "arena/worm.h"
#include "assets/catalogue.h"
#include "audio/audio.h"
#include "display/canvas.h"
#include "display/scene.h"
#include "menu/menu_items.h"
#include "menu/settings.h"
#include "players/input.h"

namespace tdx {

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
  Rng rng;
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
  uint8_t phase = Loading;
  uint64_t frameNumber = 0;

  // ---- The arena: cleared at start-up, at match start and at every round start. ----
  ArenaGrid ArenaMap;

  // ---- Requests to the program around the game. ----
  bool quitRequested = false;
  std::string fatalError;  // start-up stopped: names the file and what is wrong

  int Random(int n) { return rng.Random(n); }
  TCerv& Worm(int slot) { return *worms[static_cast<size_t>(slot)]; }
  std::string Path(const std::string& relative) const { return workDir + "/" + relative; }
};

}  // namespace tdx
