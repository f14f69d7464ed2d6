// The match: rounds from their start through the countdown and play to the scoring,
// the wait for the players and the final screen.
#pragma once

#include <string>

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

int AliveCount(const Game& g);
int AliveTeamCount(const Game& g);
int LastAliveSlot(const Game& g);
int LastAliveTeam(const Game& g);
// Speed of a speed option index, in arena units per second.
double SpeedValue(int index);

// Starts a match from the main menu (deathmatch or team deathmatch).
void StartMatch(Game& g, int teamMode);

void RoundStartStep(Game& g);
void RoundIntroStep(Game& g);
void CountdownStep(Game& g);
void PlayingStep(Game& g);
// In play, after the controls were read: what they do (steering, abilities), and Escape.
void PlayControls(Game& g);
void RoundOverStep(Game& g);
void WaitReadyStep(Game& g);
void GameOverStep(Game& g);
void BackToMenuStep(Game& g);

}  // namespace tdx
