// How the game is shown beyond its own screens: what this game adds to tell its players
// who they are, who hit whom and who won, and the colours worms are drawn in. None of it
// is read by a rule, so recordings play the same whatever a player chose here.
#pragma once

#include <cstdint>

namespace tdx {

// Palettes for worms, trails and labels; the match's colours by slot stay as they are.
enum class ColourVision : uint8_t { Normal, RedGreen, BlueYellow };

struct Presentation {
  // The screens exactly as the game always drew them: nothing of what follows is shown.
  bool classic = false;
  ColourVision vision = ColourVision::Normal;

  // Whether the labels, notices, winner lines, set-up help and readable HUD are shown.
  bool Extras() const { return !classic; }
};

}  // namespace tdx
