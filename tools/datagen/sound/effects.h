// The game's sound effects, each synthesised from oscillators, noise and filters.
#pragma once

#include <string>
#include <vector>

#include "dsp.h"

namespace tdx::datagen {

struct EffectRecipe {
  std::string file;  // the name the game plays it by, e.g. "death.mp3"
  Stereo (*make)();  // renders the effect at 44.1 kHz
  double peak;       // final peak level (the loudness relation between effects)
};

// Every effect the game plays, in the order they are written to sounds.dat.
const std::vector<EffectRecipe>& Effects();

}  // namespace tdx::datagen
