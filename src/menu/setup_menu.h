// The set-up screen.
#pragma once

namespace tdx {

struct Game;

void BuildSetupMenu(Game& g);
void SetupMenuStep(Game& g);

}  // namespace tdx
