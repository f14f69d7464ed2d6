// Lines of text on the game's own screens (network, replays), drawn with the ticker's
// letter pictures as menu items of the main list.
#pragma once

#include <cstddef>
#include <string>

namespace tdx {

struct Game;
class TMenuZoznam;

// The menu picture of one character of a line of text: letters, digits, '.', '-' and ':'
// have one; "" for anything else, which leaves a space.
std::string PictureOf(char c);

// A line of text in menu letters from (x, y), `selectable` under `tag`; returns the x after
// it. Letters are spaced as along the ticker, which shows them 1.6 times their size.
int AddText(Game& g, int x, int y, int tag, const std::string& text, double scale,
            bool selectable = false);
// The same into another list than the main one (words that stay while the screens change).
int AddTextTo(TMenuZoznam& list, Game& g, int x, int y, int tag, const std::string& text,
              double scale, bool selectable = false);

// Text as AddText can show it: characters without a picture become spaces, and it is cut
// at `most` characters so that it stays inside the view.
std::string Shown(const std::string& text, size_t most = 70);

}  // namespace tdx
