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
  // How many digits show: one more for each power of ten passed, up to the group's size.
  size_t shown = 1;
  for (long long p = 10; shown < digits.size() && v >= p; p *= 10) ++shown;
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
  if (h.gameNumberOn) h.roundsDigits = MakeDigits(g, 4, 32, 20);
  if (h.gameTimeOn) h.gameTimeDigits = MakeDigits(g, 5, 32, 20);
  if (h.realTimeOn) {
    h.realTimeDigits = MakeDigits(g, 4, 32, 20);
    for (Sprite* s : h.realTimeDigits) s->visible = true;
    h.colon = MakeSprite(g, "dvojbodka", 611, 12, 16, 16, true);
  }
  if (h.scoreOn) {
    if (h.teamMode == 0) {
      for (int r = 0, n = ActivePlayerCount(g); r < n; ++r) {
        h.markers.push_back(
            MakeSprite(g, ColourName(NthActivePlayer(g, r)), 190.0f + 37.0f * r, 28, 12, 12, true));
        h.scoreDigits.push_back(MakeDigits(g, 4, 24, 48));
      }
    } else {
      for (int r = 0, n = TeamCount(g); r < n; ++r) {
        h.teamCaptions.push_back(MakeSprite(g, "team", 210.0f + 87.0f * r, 35, 51.2f, 25.6f, true));
        h.teamNumbers.push_back(MakeSprite(g, std::to_string(NthUsedTeam(g, r) + 1),
                                           246.0f + 87.0f * r, 38, 32, 32, true));
        h.scoreDigits.push_back(MakeDigits(g, 4, 24, 48));
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
  LayOutNumber(g, g.hud.roundsDigits, g.match.RoundsLeft, 260, 12);
}

void UpdateGameTime(Game& g) {
  if (!g.hud.gameTimeOn) return;
  long long secs = std::llrint(g.Now - g.match.RoundStartTime);
  LayOutNumber(g, g.hud.gameTimeDigits, secs, 450, 12);
}

void UpdateRealTime(Game& g) {
  HudState& h = g.hud;
  if (!h.realTimeOn || h.realTimeDigits.size() < 4) return;
  std::time_t now = g.clockTime ? static_cast<std::time_t>(g.clockTime()) : std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const int digits[4] = {local.tm_hour / 10, local.tm_hour % 10, local.tm_min / 10,
                         local.tm_min % 10};
  const float xs[4] = {596, 608, 627, 639};
  for (int i = 0; i < 4; ++i) {
    h.realTimeDigits[static_cast<size_t>(i)]->SetMaterialName(
        std::string(1, static_cast<char>('0' + digits[i])));
    h.realTimeDigits[static_cast<size_t>(i)]->x = xs[i];
  }
}

void UpdateScores(Game& g) {
  HudState& h = g.hud;
  if (!h.scoreOn) return;
  if (h.teamMode == 0) {
    for (size_t r = 0; r < h.markers.size(); ++r) {
      int slot = PlayerAtRank(g, static_cast<int>(r));
      if (slot < 0) continue;
      h.markers[r]->SetMaterialName(ColourName(slot));
      LayOutNumber(g, h.scoreDigits[r], g.match.RoundWins[static_cast<size_t>(slot)],
                   195.0f + 37.0f * static_cast<float>(r), 8);
    }
  } else {
    for (size_t r = 0; r < h.teamNumbers.size(); ++r) {
      int team = TeamAtRank(g, static_cast<int>(r));
      if (team < 0) continue;
      h.teamNumbers[r]->SetMaterialName(std::to_string(team + 1));
      LayOutNumber(g, h.scoreDigits[r], g.match.TeamWins[static_cast<size_t>(team)],
                   198.0f + 87.0f * static_cast<float>(r), 8);
    }
  }
}

}  // namespace tdx
