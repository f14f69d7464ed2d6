#include "display/hud.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <numeric>

#include "app/game.h"

namespace tdx {

namespace {

bool Takes(const Game& g, int slot) { return TakesPart(g.settings.players[slot]); }

Sprite* MakeSprite(Game& g, const std::string& material, float x, float y, float w, float h,
                   bool visible) {
  Sprite* s = g.scene.CreateSprite();
  s->SetMaterial(&g.scene.Library(LibGLMLmenu), material);
  s->x = x;
  s->y = y;
  s->width = w;
  s->height = h;
  s->visible = visible;
  return s;
}

std::vector<Sprite*> MakeDigits(Game& g, int count, float size, float y) {
  std::vector<Sprite*> v;
  for (int i = 0; i < count; ++i) v.push_back(MakeSprite(g, "0", 0, y, size, size, false));
  return v;
}

void Free(Game& g, std::vector<Sprite*>& v) {
  for (Sprite* s : v) g.scene.RemoveSprite(s);
  v.clear();
}

// Where the display's groups go. The classic layout is the game's own: digits twice their
// pictures' size. The readable one keeps each group in its stretch of the top strip but
// shows the pictures at their own size: the numbers of the first line stay clear of the
// scoreboard below, the clock's last digit inside the view, and each score sits under its
// player's square or its team's badge.
struct Layout {
  float digitSize, digitY, step;  // rounds left, game time and the clock
  float roundsX, timeX;
  float clockX[4];
  float colonX, colonY;
  float scoreSize, scoreY, scoreStep;
};
constexpr Layout kClassic = {32, 20, 12, 260, 450, {596, 608, 627, 639}, 611, 12, 24, 48, 8};
constexpr Layout kReadable = {16, 12, 9, 260, 450, {593, 601, 615, 623}, 603, 8, 16, 44, 8};

const Layout& LayoutOf(const Game& g) { return g.presentation.Extras() ? kReadable : kClassic; }

// Free for all: the colour squares, 37 pixels apart.
float MarkerX(size_t rank) { return 190.0f + 37.0f * static_cast<float>(rank); }
// Teams: the middle of a team's stretch of the scoreboard, 87 pixels apart.
float TeamCentreX(size_t rank) { return 228.0f + 87.0f * static_cast<float>(rank); }

// How many digits LayOutNumber shows for v in a group of `size`: one more for each power of
// ten passed, up to the group's size.
int DigitsShown(long long v, size_t size) {
  int shown = 1;
  for (long long p = 10; static_cast<size_t>(shown) < size && v >= p; p *= 10) ++shown;
  return shown;
}

// The base x that centres v's digits on `centre`.
float CentredBase(long long v, size_t size, float centre, float step) {
  return centre - step * static_cast<float>(DigitsShown(std::max(v, 0LL), size) - 1) / 2;
}

}  // namespace

// Worm colours are $00BBGGRR; the colour words spell them RRGGBB.
std::string ColourName(int slot) {
  uint32_t c = kSlotColours[std::clamp(slot, 0, 11)];
  char buf[8];
  std::snprintf(buf, sizeof buf, "c%02x%02x%02x", c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
  return buf;
}

int PlayerAtRank(const Game& g, int rank) {
  std::vector<int> order;
  for (int s = 0; s < kPlayerSlots; ++s) {
    if (Takes(g, s)) order.push_back(s);
  }
  std::stable_sort(order.begin(), order.end(),
                   [&](int a, int b) { return g.match.RoundWins[a] > g.match.RoundWins[b]; });
  return rank >= 0 && rank < static_cast<int>(order.size()) ? order[static_cast<size_t>(rank)] : -1;
}

int TeamAtRank(const Game& g, int rank) {
  std::vector<int> order;
  for (int n = 0; NthUsedTeam(g, n) >= 0; ++n) order.push_back(NthUsedTeam(g, n));
  std::stable_sort(order.begin(), order.end(),
                   [&](int a, int b) { return g.match.TeamWins[a] > g.match.TeamWins[b]; });
  return rank >= 0 && rank < static_cast<int>(order.size()) ? order[static_cast<size_t>(rank)] : -1;
}

void LayOutNumber(Game& g, const std::vector<Sprite*>& digits, long long v, float baseX,
                  float step) {
  if (digits.empty()) return;
  if (v < 0) v = 0;
  for (size_t i = 1; i < digits.size(); ++i) digits[i]->visible = false;
  const auto shown = static_cast<size_t>(DigitsShown(v, digits.size()));
  long long rest = v;
  for (size_t i = 0; i < shown; ++i) {
    Sprite* d = digits[i];
    d->SetMaterialName(std::string(1, static_cast<char>('0' + rest % 10)));
    rest /= 10;
    d->x = baseX + step * static_cast<float>(shown - 1 - i);
    d->visible = true;
  }
}

void BuildHud(Game& g) {
  HudState& h = g.hud;
  if (h.built) RemoveHud(g);
  const GameSetup& gs = g.settings.game;
  TMenuZoznam& list = g.menu.MainList();
  h.gameNumberOn = gs.showGameNumber != 0;
  h.gameTimeOn = gs.showGameTime != 0;
  h.realTimeOn = gs.showRealTime != 0;
  h.scoreOn = gs.showScore != 0;
  h.teamMode = g.match.TeamMode;
  if (h.gameNumberOn) list.AddItem(g, 128, 4, 1, "game_number", false, 0.8, kOrdinaryWord);
  if (h.gameTimeOn) list.AddItem(g, 340, 4, 1, "game_time", false, 0.8, kOrdinaryWord);
  if (h.realTimeOn) list.AddItem(g, 496, 4, 1, "real_time", false, 0.8, kOrdinaryWord);
  if (h.scoreOn) list.AddItem(g, 128, 22, 1, "score", false, 0.8, kOrdinaryWord);

  if (g.TitleSprite) {
    if (Material* m = g.scene.Library(LibGlmlzorbel).At(0)) m->SetDiffuse(3, 1.0f);
    g.TitleSprite->width = 128;
    g.TitleSprite->height = 128;
    g.TitleSprite->x = 56;
    g.TitleSprite->y = 56;
    g.TitleSprite->visible = true;
  }
  const Layout& l = LayoutOf(g);
  const bool readable = g.presentation.Extras();
  if (h.gameNumberOn) h.roundsDigits = MakeDigits(g, 4, l.digitSize, l.digitY);
  if (h.gameTimeOn) h.gameTimeDigits = MakeDigits(g, 5, l.digitSize, l.digitY);
  if (h.realTimeOn) {
    h.realTimeDigits = MakeDigits(g, 4, l.digitSize, l.digitY);
    for (Sprite* s : h.realTimeDigits) s->visible = true;
    h.colon = MakeSprite(g, "dvojbodka", l.colonX, l.colonY, 16, 16, true);
  }
  if (h.scoreOn) {
    if (h.teamMode == 0) {
      for (int r = 0, n = ActivePlayerCount(g); r < n; ++r) {
        h.markers.push_back(MakeSprite(g, ColourName(NthActivePlayer(g, r)),
                                       MarkerX(static_cast<size_t>(r)), 28, 12, 12, true));
        h.scoreDigits.push_back(MakeDigits(g, 4, l.scoreSize, l.scoreY));
      }
    } else {
      for (int r = 0, n = TeamCount(g); r < n; ++r) {
        const std::string number = std::to_string(NthUsedTeam(g, r) + 1);
        if (readable) {
          // A small caption and the team's badge side by side, the score under them: the
          // team's number no longer looks like its result.
          const float cx = TeamCentreX(static_cast<size_t>(r));
          h.teamCaptions.push_back(MakeSprite(g, "team", cx - 14, 28, 25.6f, 12.8f, true));
          h.teamNumbers.push_back(MakeSprite(g, number + "c", cx + 14, 28, 26, 16, true));
        } else {
          h.teamCaptions.push_back(
              MakeSprite(g, "team", 210.0f + 87.0f * r, 35, 51.2f, 25.6f, true));
          h.teamNumbers.push_back(MakeSprite(g, number, 246.0f + 87.0f * r, 38, 32, 32, true));
        }
        h.scoreDigits.push_back(MakeDigits(g, 4, l.scoreSize, l.scoreY));
      }
    }
  }
  h.built = true;
}

void RemoveHud(Game& g) {
  HudState& h = g.hud;
  Free(g, h.roundsDigits);
  Free(g, h.gameTimeDigits);
  Free(g, h.realTimeDigits);
  g.scene.RemoveSprite(h.colon);
  h.colon = nullptr;
  Free(g, h.markers);
  for (auto& group : h.scoreDigits) Free(g, group);
  h.scoreDigits.clear();
  Free(g, h.teamCaptions);
  Free(g, h.teamNumbers);
  h.built = false;
}

void UpdateGameNumber(Game& g) {
  if (!g.hud.gameNumberOn) return;
  const Layout& l = LayoutOf(g);
  LayOutNumber(g, g.hud.roundsDigits, g.match.RoundsLeft, l.roundsX, l.step);
}

void UpdateGameTime(Game& g) {
  if (!g.hud.gameTimeOn) return;
  long long secs = std::llrint(g.Now - g.match.RoundStartTime);
  const Layout& l = LayoutOf(g);
  LayOutNumber(g, g.hud.gameTimeDigits, secs, l.timeX, l.step);
}

void UpdateRealTime(Game& g) {
  HudState& h = g.hud;
  if (!h.realTimeOn || h.realTimeDigits.size() < 4) return;
  std::time_t now = g.clockTime ? static_cast<std::time_t>(g.clockTime()) : std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const int digits[4] = {local.tm_hour / 10, local.tm_hour % 10, local.tm_min / 10,
                         local.tm_min % 10};
  const Layout& l = LayoutOf(g);
  for (int i = 0; i < 4; ++i) {
    h.realTimeDigits[static_cast<size_t>(i)]->SetMaterialName(
        std::string(1, static_cast<char>('0' + digits[i])));
    h.realTimeDigits[static_cast<size_t>(i)]->x = l.clockX[i];
  }
}

void UpdateScores(Game& g) {
  HudState& h = g.hud;
  if (!h.scoreOn) return;
  const bool readable = g.presentation.Extras();
  const float step = LayoutOf(g).scoreStep;
  if (h.teamMode == 0) {
    for (size_t r = 0; r < h.markers.size(); ++r) {
      int slot = PlayerAtRank(g, static_cast<int>(r));
      if (slot < 0) continue;
      h.markers[r]->SetMaterialName(ColourName(slot));
      const long long wins = g.match.RoundWins[static_cast<size_t>(slot)];
      LayOutNumber(g, h.scoreDigits[r], wins,
                   readable ? CentredBase(wins, h.scoreDigits[r].size(), MarkerX(r), step)
                            : 195.0f + 37.0f * static_cast<float>(r),
                   step);
    }
  } else {
    for (size_t r = 0; r < h.teamNumbers.size(); ++r) {
      int team = TeamAtRank(g, static_cast<int>(r));
      if (team < 0) continue;
      h.teamNumbers[r]->SetMaterialName(std::to_string(team + 1) + (readable ? "c" : ""));
      const long long wins = g.match.TeamWins[static_cast<size_t>(team)];
      LayOutNumber(g, h.scoreDigits[r], wins,
                   readable ? CentredBase(wins, h.scoreDigits[r].size(), TeamCentreX(r), step)
                            : 198.0f + 87.0f * static_cast<float>(r),
                   step);
    }
  }
}

}  // namespace tdx
