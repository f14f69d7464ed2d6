// What is drawn around the sprites every frame (background grid, arena frame, energy
// bars and trails under them; the pop-up frame and the loading bar over them), and the
// mouse as the menus see it.
#pragma once

#include "match/phase.h"

#include <cstdint>

namespace tdx {

struct Game;

// The scrolling background grid of a round, chosen by RandomiseBackground.
struct BackgroundGrid {
  uint32_t colour = 0x202020;  // $00BBGGRR, each channel 0..63
  int horizontalSpeed = 5;     // pixels per second
  int verticalSpeed = 5;
  int verticalSpacing = 20;  // pixels between lines
  int horizontalSpacing = 20;
  int verticalDirection = 0;  // 0 or 1
  int horizontalDirection = 0;
};

// Draws into g.beforeCanvas (begun afresh): in the match phases only, the background
// grid, the arena frame, the energy bars and the trails from ArenaMap.
void BeforeRender(Game& g);
// Draws into g.afterCanvas (begun afresh): the pop-up frame and the loading bar, then what
// the match tells its players (display/tell.h).
void AfterRender(Game& g);

// A new background grid for the round.
void RandomiseBackground(Game& g);

// The energy as a bar shows it: at most 81 pixels.
double ClampEnergy(double energy);

// The mouse in view pixels (the platform maps window positions to the view).
void MouseMove(Game& g, int x, int y);
void MouseClick(Game& g);

// Whether the before-render hook draws anything in this phase.
bool IsMatchDrawPhase(GamePhase phase);

}  // namespace tdx
