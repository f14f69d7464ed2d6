#include "app/game.h"

namespace tdx {

Game::Game() = default;
Game::~Game() = default;

bool Game::LoadSetup(std::string& error) {
  if (setupStore) return setupStore->Load(settings, error);
  return LoadSettings(SetupPath(), settings, error);
}

bool Game::SaveSetup(std::string& error) {
  if (setupStore) return setupStore->Save(settings, error);
  return SaveSettings(SetupPath(), settings, error);
}

}  // namespace tdx
