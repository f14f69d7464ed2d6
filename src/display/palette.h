// The colours worms, trails and labels are drawn in, by the player's colour-vision palette.
// The match keeps its own colour for every slot; this only changes what is seen.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "display/presentation.h"
#include "display/scene.h"
#include "match/arena/worm.h"

namespace tdx {

using SlotColours = std::array<uint32_t, kWormCount>;

// A palette's colours by slot, $00BBGGRR like the match's; slot 12, the neutral walls,
// is white in every palette.
const SlotColours& PaletteColours(ColourVision vision);

// The colour ($00BBGGRR, as the match keeps its own) the worm of `slot` is drawn in;
// slot 12, the neutral walls, stays white. The classic screens show the match's colours.
uint32_t ShownColour(const Presentation& p, int slot);

// What a worm's trail, energy bar and head are drawn in: the match's own colour (or dim
// colour, between rounds) on the classic screens, the palette's otherwise.
uint32_t ShownWormColour(const Presentation& p, const TCerv& w, bool dim);

// `picture` drawn in colour `from` (any mix of it with black and white), redrawn in `to`:
// each pixel keeps its share of the colour and of white. Pictures without pixels (a
// headless run keeps only sizes) come back as they are.
std::shared_ptr<const Picture> Recoloured(const Picture& picture, uint32_t from, uint32_t to);

// The pictures drawn in a slot's colour (the colour squares of the menus and scores, the
// viruses) as the archives hold them, so the palette can be changed again.
struct SlotPictures {
  struct Entry {
    Material* material = nullptr;
    int slot = 0;
    std::shared_ptr<const Picture> shipped;
  };
  std::vector<Entry> entries;
  bool found = false;
};

// Redraws the pictures of every slot in the palette `p` shows (the archives' pictures on
// the classic screens or where the palette keeps the colour).
void ShowPalettePictures(Scene& scene, const Presentation& p, SlotPictures& pictures);

}  // namespace tdx
