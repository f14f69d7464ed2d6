// Small coloured text drawn into an overlay canvas: a built-in 5 by 8 letter table, each
// letter a square of `scale` by `scale` pixels per dot. Used for what the game tells its
// players over the view (labels, notices, winner lines), where the menu's word pictures,
// all of one colour, cannot say whose a name is.
#pragma once

#include <cstdint>
#include <string_view>

#include "display/canvas.h"

namespace tdx {

inline constexpr int kGlyphWidth = 5;
inline constexpr int kGlyphHeight = 8;   // the last row for tails below the line
inline constexpr int kGlyphAdvance = 6;  // a letter and the gap after it

// A box on the view in whole pixels: x, y its top-left corner.
struct TextBox {
  int x = 0, y = 0, w = 0, h = 0;

  int Right() const { return x + w; }
  int Bottom() const { return y + h; }
  bool Empty() const { return w <= 0 || h <= 0; }
  bool Overlaps(const TextBox& o) const {
    return !Empty() && !o.Empty() && x < o.Right() && o.x < Right() && y < o.Bottom() &&
           o.y < Bottom();
  }
  bool Contains(const TextBox& o) const {
    return o.x >= x && o.y >= y && o.Right() <= Right() && o.Bottom() <= Bottom();
  }
  bool ContainsPoint(int px, int py) const {
    return px >= x && px < Right() && py >= y && py < Bottom();
  }
};

// Pixels from the first letter's left edge to the last letter's right edge.
int TextWidth(std::string_view text, int scale = 1);
inline int TextHeight(int scale = 1) { return kGlyphHeight * scale; }

// Draws `text` with its top-left corner at (x, y) in an opaque colour $00BBGGRR; letters
// the table lacks are drawn as a small hollow box. Returns the x after the last letter's gap.
int DrawText(Canvas& c, int x, int y, std::string_view text, uint32_t colour, int scale = 1);

// The dark see-through plate text stands on, so it reads over trails and pictures; a
// border of `borderWidth` pixels in `border` when the width is above 0.
void DrawPlate(Canvas& c, const TextBox& box, float alpha, uint32_t border = 0,
               int borderWidth = 0);

// The colour halfway to black, for what is told more quietly.
uint32_t QuietColour(uint32_t colour);

}  // namespace tdx
