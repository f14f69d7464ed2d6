// One frame of the game: the clock, the game flow, the keyboard, the audio line, the music.
#pragma once

#include <string>

namespace tdx {

struct Game;
class FrameClock;

void FrameStep(Game& g, const FrameClock& clock);

}  // namespace tdx
