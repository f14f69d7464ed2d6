// Start-up and shut-down of the game: everything the game will ever need is built here,
// in a fixed order, before the frame clock starts.
#pragma once

#include <memory>

namespace tdx {

struct Game;
struct Picture;

struct StartOptions {
  bool headless = false;
  bool seeded = false;
  unsigned long long seed = 0;
};

// The two 148 by 40 loading-logo bitmaps: the game's name in pixel-art letters on black.
void DrawLogoBitmaps(Game& g);

// Runs the start-up sequence. On a file-input error stops at that step, sets
// g.fatalError (naming the file and the fault) and returns false.
bool StartUp(Game& g, const StartOptions& options);

// Stops and frees the audio channels; the view is the platform's.
void ShutDown(Game& g);

}  // namespace tdx
