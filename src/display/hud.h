// The match display: captions, digit groups, the clock and the scoreboard.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace tdx {

struct Game;
struct Sprite;

struct HudState {
  bool built = false;
  // Panels as they were when the display was built (removal frees what was made).
  bool gameNumberOn = false, gameTimeOn = false, realTimeOn = false, scoreOn = false;
  int teamMode = 0;
  std::vector<Sprite*> roundsDigits;    // 4
  std::vector<Sprite*> gameTimeDigits;  // 5
  std::vector<Sprite*> realTimeDigits;  // 4
  Sprite* colon = nullptr;
  std::vector<Sprite*> markers;                   // players (free for all)
  std::vector<std::vector<Sprite*>> scoreDigits;  // 4 per player or team
  std::vector<Sprite*> teamCaptions;
  std::vector<Sprite*> teamNumbers;
};

// "c" followed by the slot's colour as RRGGBB.
std::string ColourName(int slot);

int PlayerAtRank(const Game& g, int rank);
int TeamAtRank(const Game& g, int rank);

void BuildHud(Game& g);
void RemoveHud(Game& g);
void UpdateGameNumber(Game& g);
void UpdateGameTime(Game& g);
void UpdateRealTime(Game& g);
void UpdateScores(Game& g);

// Lays out v with its most significant digit at baseX and each further digit `step`
// pixels right; digits beyond the group's size are dropped from the top.
void LayOutNumber(Game& g, const std::vector<Sprite*>& digits, long long v, float baseX,
                  float step);

}  // namespace tdx
