#include "menu/menu_text.h"

#include <cctype>

#include "app/game.h"
#include "menu/main_menu.h"
#include "menu/menu_items.h"

namespace tdx {

std::string PictureOf(char c) {
  if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return std::string(1, c);
  if (c == '.') return "dot";
  if (c == '-' || c == '_') return "dash";
  if (c == ':') return "colon";
  return "";
}

int AddText(Game& g, int x, int y, int tag, const std::string& text, double scale,
            bool selectable) {
  return AddTextTo(g.menu.MainList(), g, x, y, tag, text, scale, selectable);
}

int AddTextTo(TMenuZoznam& list, Game& g, int x, int y, int tag, const std::string& text,
              double scale, bool selectable) {
  const double k = scale / 1.6;
  double at = x;
  for (char c : text) {
    const std::string picture = PictureOf(c);
    if (picture.empty()) {
      at += 9 * k;
      continue;
    }
    const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const double shift = LetterShift(letter) * k;
    TMenuVrchol* n = list.AddItem(g, static_cast<int>(at + shift), y, tag, picture, selectable,
                                  scale, kOrdinaryWord);
    const double advance =
        c >= '0' && c <= '9' ? 0.6 * n->pictureWidth * 1.6 : 0.8 * n->pictureWidth;
    // The shift moves this letter only, as along the ticker: the next starts where it would.
    at += advance * k * (c == '.' || c == ':' ? 0.6 : 1.0);
  }
  return static_cast<int>(at);
}

std::string Shown(const std::string& text, size_t most) {
  std::string out;
  for (char c : text) {
    if (out.size() >= most) break;
    out += PictureOf(c).empty() ? ' ' : c;
  }
  return out;
}

}  // namespace tdx
