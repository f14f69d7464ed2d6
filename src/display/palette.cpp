#include "display/palette.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace tdx {

namespace {

// Written as people read colours (red, green, blue); stored as the match packs them.
constexpr uint32_t Rgb(uint32_t rgb) {
  return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
}

// How far apart the colours are: the CIEDE2000 difference between every two of the
// thirteen (the walls' white too), each seen through the eyes a palette is made for, as
// display/colour_science.h simulates them. tests/palette_test.cpp holds every palette to
// its bound. Twelve colours on black that all stay apart for eyes seeing only two hues
// cannot be as far apart as for full colour vision: these bounds are what the palettes
// reach with every new colour at least as light as L* 45.

// The match's colours, with the two pairs nobody tells apart at a glance mended: spring
// green (slot 6) was too near green, violet (slot 11) too near blue. At least 19 apart; the
// two new colours are never the closest pair for colour-blind eyes either, so this palette
// is no harder for them than the match's own.
constexpr SlotColours kNormal = {Rgb(0x00FF00), Rgb(0xFF0000), Rgb(0x0000FF), Rgb(0x00FFFF),
                                 Rgb(0xFFFF00), Rgb(0xFF00FF), Rgb(0xAAEEBB), Rgb(0x0080FF),
                                 Rgb(0x808080), Rgb(0xFF8000), Rgb(0xFF0080), Rgb(0x8855AA),
                                 Rgb(0xFFFFFF)};

// For eyes without red or without green cones (protanopia, deuteranopia): at least 14
// apart for them and for full colour vision. Each slot keeps the nearest colour it can.
constexpr SlotColours kRedGreen = {Rgb(0x88FFAA), Rgb(0xEE6666), Rgb(0x0000FF), Rgb(0x00DDEE),
                                   Rgb(0xFFFF00), Rgb(0x779999), Rgb(0x44DDBB), Rgb(0x2288FF),
                                   Rgb(0x886622), Rgb(0xFF9922), Rgb(0xAA5566), Rgb(0x667799),
                                   Rgb(0xFFFFFF)};

// For eyes without blue cones (tritanopia): at least 18 apart for them and for full
// colour vision.
constexpr SlotColours kBlueYellow = {Rgb(0xAADD33), Rgb(0xFF0000), Rgb(0x0000FF), Rgb(0x337777),
                                     Rgb(0xFFDD00), Rgb(0xEE88FF), Rgb(0x44FF99), Rgb(0x4499FF),
                                     Rgb(0x888888), Rgb(0x997733), Rgb(0xFF3399), Rgb(0xBB00FF),
                                     Rgb(0xFFFFFF)};

int Channel(uint32_t c, int i) { return static_cast<int>((c >> (8 * i)) & 0xFF); }

}  // namespace

const SlotColours& PaletteColours(ColourVision vision) {
  switch (vision) {
    case ColourVision::RedGreen: return kRedGreen;
    case ColourVision::BlueYellow: return kBlueYellow;
    case ColourVision::Normal: break;
  }
  return kNormal;
}

uint32_t ShownColour(const Presentation& p, int slot) {
  const auto s = static_cast<size_t>(std::clamp(slot, 0, kWormCount - 1));
  return p.Extras() ? PaletteColours(p.vision)[s] : kSlotColours[s];
}

uint32_t ShownWormColour(const Presentation& p, const TCerv& w, bool dim) {
  if (!p.Extras()) return dim ? w.dimColour : w.colour;
  const uint32_t c = ShownColour(p, w.slot);
  return dim ? DimColour(c) : c;
}

std::shared_ptr<const Picture> Recoloured(const Picture& picture, uint32_t from, uint32_t to) {
  auto out = std::make_shared<Picture>(picture);
  if (from == to) return out;
  // Each pixel is taken as a * from + b * white (plus whatever else it holds); a, its share
  // of the colour, is found by least squares and moved onto the new colour.
  double cc = 0, cw = 0;
  for (int i = 0; i < 3; ++i) {
    cc += Channel(from, i) * Channel(from, i);
    cw += Channel(from, i);
  }
  const double det = cc * 3 - cw * cw;  // 0 for a grey colour: then it is all colour
  for (size_t px = 0; px + 3 < out->rgba.size(); px += 4) {
    uint8_t* p = &out->rgba[px];
    double cp = 0, wp = 0;
    for (int i = 0; i < 3; ++i) {
      cp += Channel(from, i) * p[i];
      wp += p[i];
    }
    const double alone = cc > 0 ? std::max(0.0, cp / cc) : 0;  // the colour without white
    double a = alone;
    if (det > 1e-6) {
      const double b = (cc * wp - cw * cp) / det;
      a = (3 * cp - cw * wp) / det;
      if (a < 0) a = 0;      // white or grey with none of the colour
      if (b < 0) a = alone;  // darker than the colour: the colour towards black
    }
    for (int i = 0; i < 3; ++i) {
      const double v = p[i] + a * (Channel(to, i) - Channel(from, i));
      p[i] = static_cast<uint8_t>(std::clamp(v + 0.5, 0.0, 255.0));
    }
  }
  return out;
}

namespace {

void FindSlotPictures(Scene& scene, SlotPictures& pictures) {
  pictures.found = true;
  auto keep = [&](MaterialLibrary& lib, const std::string& name, int slot) {
    Material* m = lib.Find(name);
    if (m && m->picture) pictures.entries.push_back({m, slot, m->picture});
  };
  for (int slot = 0; slot < kPlayerSlots; ++slot) {
    // The menus name a colour square by its colour, written RRGGBB.
    const uint32_t c = kSlotColours[slot];
    char name[8];
    std::snprintf(name, sizeof name, "c%02x%02x%02x", c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
    keep(scene.Library(LibGLMLmenu), name, slot);
    for (int frame = 1; frame <= 9; ++frame) {
      keep(scene.Library(LibGlmlshots),
           "virus" + std::to_string(frame) + static_cast<char>('a' + slot), slot);
    }
  }
}

}  // namespace

void ShowPalettePictures(Scene& scene, const Presentation& p, SlotPictures& pictures) {
  if (!pictures.found) FindSlotPictures(scene, pictures);
  for (const SlotPictures::Entry& e : pictures.entries) {
    const uint32_t from = kSlotColours[static_cast<size_t>(e.slot)];
    const uint32_t to = ShownColour(p, e.slot);
    std::shared_ptr<const Picture> picture =
        from == to || e.shipped->rgba.empty() ? e.shipped : Recoloured(*e.shipped, from, to);
    if (e.material->picture == picture) continue;
    e.material->picture = std::move(picture);
    ++e.material->revision;
  }
}

}  // namespace tdx
