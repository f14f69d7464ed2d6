// The program around a match: it reads the set-up for each round, steps the match's phase,
// and shows what the step raised (the countdown, the scores, the waiting screen), then
// the final screen and the way back to the menu.
#pragma once

#include <vector>

#include "match/match.h"
#include "match/round.h"

namespace tdx {

struct Game;

inline constexpr int kTagMessage = 20000;  // get_ready, 3, 2, 1, go; main_menu
inline constexpr int kTagExit = 20001;     // exit_program
inline constexpr int kTagBanner = 20010;   // hit_the_fire_button / congratulations
inline constexpr int kTagResult = 20011;   // won_this_round / draw_game
inline constexpr int kTagWinner = 20012;   // colour word / team
inline constexpr int kTagTeamNumber = 20013;
inline constexpr int kTagTeamWon = 20014;
inline constexpr int kTagWaiting = 30000;  // + slot

// Starts a match from the main menu (deathmatch or team deathmatch).
void StartMatch(Game& g, int teamMode);

// One frame of a match phase (RoundStart .. WaitReady): the match's step with what the
// program does around it.
void MatchPhaseStep(Game& g);
// In play, after the controls were read: what they do (steering, abilities), and Escape.
void PlayControls(Game& g);
void GameOverStep(Game& g);

// One shown frame of a match stepped elsewhere (a network match): the game takes the match
// as it stands, shows and plays what its steps since the last shown frame raised, and keeps
// the HUD, the music and the final screen's crowd going. True when the player clicked
// "main_menu" or "exit_program" on the waiting or the final screen: they leave the match.
bool ShowSteppedMatch(Game& g, const Match& m, const std::vector<MatchEvent>& raised);
void BackToMenuStep(Game& g);

}  // namespace tdx
