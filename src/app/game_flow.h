// The game flow: once a frame the code of the current phase runs exactly once; a phase
// that changes the phase takes effect from the next frame.
#pragma once

namespace tdx {

struct Game;

void GameFlowStep(Game& g);
// The code of the current phase alone.
void RunPhase(Game& g);

// The loading screen: touches one material per frame, swaps the logo every 0.6 s.
void LoadingStep(Game& g);
void LoadingDoneStep(Game& g);

// Ends the program the way the menus do: empties the words, stops the frame clock.
void TerminateProgram(Game& g);

}  // namespace tdx
