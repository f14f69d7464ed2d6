// The main menu, its ticker and the about screen.
#pragma once

#include <string>

namespace tdx {

struct Game;

inline constexpr int kTagDeathmatch = 2;
inline constexpr int kTagTeamDeathmatch = 3;
inline constexpr int kTagSetUp = 7;
inline constexpr int kTagAbout = 11;
inline constexpr int kTagQuit = 12;
inline constexpr int kTagMorePlayers = 13;
inline constexpr int kTagMoreTeams = 14;
inline constexpr int kTagNetwork = 15;
inline constexpr int kTagReplays = 16;

std::string BuildTickerText();

void MainMenuBuildStep(Game& g);
void MainMenuStep(Game& g);
// The deathmatch words: starts the match when at least two players (teams) take part,
// otherwise shows the warning and returns false.
bool TryStartMatch(Game& g, bool team);
void AboutScreenStep(Game& g);

void UpdateTicker(Game& g);
void DestroyTicker(Game& g);
double LetterShift(char c);
// The advance after a letter and its two size factors.
void LetterAdvance(const Game& g, char c, double& advance, double& wf, double& hf);

}  // namespace tdx
