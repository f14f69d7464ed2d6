// Playing effects, speech and music from the game's side.
#pragma once

#include <string>

namespace tdx {

struct Game;

// An effect panned by its arena x position (0 left .. 608 right).
void PlaySoundByName(Game& g, const std::string& fileName, double arenaX);
// An effect with a pan of -100 (left) .. 100 (right).
void PlaySound(Game& g, const std::string& fileName, int pan);
// A spoken announcement (plays even with effect sounds off when speech is on).
void PlaySpeech(Game& g, const std::string& fileName);

}  // namespace tdx
