// One frame of the game: the clock, the game flow, the keyboard, the audio line, the music.
#pragma once

#include <array>
#include <string>

#include "match/controls.h"

namespace tdx {

struct Game;
class FrameClock;

// `people`: the people's controls from a recording, in place of what the keys say (slots of
// people only); null: the keys.
void FrameStep(Game& g, const FrameClock& clock, const std::array<Controls, 12>* people = nullptr);

}  // namespace tdx
