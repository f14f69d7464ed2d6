#include "app/game.h"

namespace tdx {

Game::Game() = default;
Game::~Game() = default;

}  // namespace tdx
