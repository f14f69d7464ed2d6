// Start-up and shut-down of the game: everything the game will ever need is built here,
// in a fixed order, before the frame clock starts.
#pragma once

#include <functional>
#include <memory>

namespace tdx {

struct Game;
struct Picture;
class Mixer;

struct StartOptions {
  bool headless = false;
  bool seeded = false;
  unsigned long long seed = 0;
  // Makes the sound layer in place of the device's (an exported video mixes its own sound).
  std::function<std::unique_ptr<Mixer>()> mixer;
};

// The two 148 by 40 loading-logo bitmaps: the game's name in pixel-art letters on black.
void DrawLogoBitmaps(Game& g);

// Runs the start-up sequence. On a file-input error stops at that step, sets
// g.fatalError (naming the file and the fault) and returns false.
bool StartUp(Game& g, const StartOptions& options);

// Stops and frees the audio channels; the view is the platform's.
void ShutDown(Game& g);

}  // namespace tdx
