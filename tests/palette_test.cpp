// The colour-vision palettes: how far apart their colours look, what they keep of the
// match's colours, and where worms are drawn in them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <string>
#include <vector>

#include "app/game.h"
#include "display/colour_science.h"
#include "display/hooks.h"
#include "display/palette.h"
#include "match/arena/worm.h"

namespace tdx {
namespace {

const char* EyesName(Eyes e) {
  switch (e) {
    case Eyes::Protan: return "protanopia";
    case Eyes::Deutan: return "deuteranopia";
    case Eyes::Tritan: return "tritanopia";
    case Eyes::Normal: break;
  }
  return "full colour vision";
}

// Known values of the CIEDE2000 reference set (Sharma, Wu and Dalal), on their Lab values.
TEST(ColourScience, DeltaE2000MatchesReferencePairs) {
  struct Case {
    Lab x, y;
    double want;
  } cases[] = {
      {{50, 2.6772, -79.7751}, {50, 0, -82.7485}, 2.0425},
      {{50, -1.3802, -84.2814}, {50, 0, -82.7485}, 1.0000},
      {{50, 2.5, 0}, {50, 0, -2.5}, 4.3065},
      {{50, 2.5, 0}, {73, 25, -18}, 27.1492},
      {{50, 2.5, 0}, {61, -5, 29}, 22.8977},
      {{60.2574, -34.0099, 36.2677}, {60.4626, -34.1751, 39.4387}, 1.2644},
      {{22.7233, 20.0904, -46.694}, {23.0331, 14.973, -42.5619}, 2.0373},
      {{90.9257, -0.5406, -0.9208}, {88.6381, -0.8985, -0.7239}, 1.5381},
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(DeltaE2000(c.x, c.y), c.want, 1e-4) << c.want;
    EXPECT_NEAR(DeltaE2000(c.y, c.x), c.want, 1e-4) << "the other way round, " << c.want;
  }
}

TEST(ColourScience, LabAndSimulatedEyes) {
  // White and the primaries in L*a*b* (D65).
  const Lab white = LabOf(0xFFFFFF), red = LabOf(0x0000FF), blue = LabOf(0xFF0000);
  EXPECT_NEAR(white.l, 100, 0.01);
  EXPECT_NEAR(white.a, 0, 0.01);
  EXPECT_NEAR(white.b, 0, 0.01);
  EXPECT_NEAR(red.l, 53.24, 0.01);
  EXPECT_NEAR(red.a, 80.09, 0.01);
  EXPECT_NEAR(blue.b, -107.86, 0.01);
  // Greys look the same to every eye; full colour vision sees the colour itself.
  for (Eyes e : {Eyes::Protan, Eyes::Deutan, Eyes::Tritan}) {
    for (uint32_t grey : {0x000000u, 0x808080u, 0xFFFFFFu}) {
      EXPECT_LE(SeenDifference(e, grey, SeenThrough(Eyes::Normal, grey)), 0.5) << EyesName(e);
      EXPECT_LE(DeltaE2000(LabOf(SeenThrough(e, grey)), LabOf(grey)), 0.5) << EyesName(e);
    }
  }
  EXPECT_EQ(SeenThrough(Eyes::Normal, 0x123456), 0x123456u);
  // What was seen in the match's colours: green and yellow merge without red cones, green
  // and spring green without blue cones.
  EXPECT_LT(SeenDifference(Eyes::Protan, kSlotColours[0], kSlotColours[4]), 5);
  EXPECT_LT(SeenDifference(Eyes::Tritan, kSlotColours[0], kSlotColours[6]), 2);
  EXPECT_GT(SeenDifference(Eyes::Normal, kSlotColours[0], kSlotColours[4]), 20);
}

// Every palette, for every eye it is made for, keeps every two of its thirteen colours
// (the walls' white too) at least its bound apart.
TEST(Palettes, EveryTwoColoursAreClearlyApart) {
  struct Case {
    ColourVision vision;
    std::vector<Eyes> eyes;
    double bound;
  } cases[] = {
      {ColourVision::Normal, {Eyes::Normal}, 19},
      {ColourVision::RedGreen, {Eyes::Normal, Eyes::Protan, Eyes::Deutan}, 14},
      {ColourVision::BlueYellow, {Eyes::Normal, Eyes::Tritan}, 18},
  };
  for (const Case& c : cases) {
    const SlotColours& colours = PaletteColours(c.vision);
    for (Eyes e : c.eyes) {
      for (int i = 0; i < kWormCount; ++i) {
        for (int j = i + 1; j < kWormCount; ++j) {
          EXPECT_GE(SeenDifference(e, colours[i], colours[j]), c.bound)
              << "palette " << int(c.vision) << ", " << EyesName(e) << ": slots " << i << " and "
              << j;
        }
      }
    }
  }
}

// The match's colours fail the same measure: the palettes mend something.
TEST(Palettes, TheMatchColoursAreTooCloseForTheBounds) {
  double normal = 100, protan = 100, tritan = 100;
  for (int i = 0; i < kWormCount; ++i) {
    for (int j = i + 1; j < kWormCount; ++j) {
      normal = std::min(normal, SeenDifference(Eyes::Normal, kSlotColours[i], kSlotColours[j]));
      protan = std::min(protan, SeenDifference(Eyes::Protan, kSlotColours[i], kSlotColours[j]));
      tritan = std::min(tritan, SeenDifference(Eyes::Tritan, kSlotColours[i], kSlotColours[j]));
    }
  }
  EXPECT_LT(normal, 10);
  EXPECT_LT(protan, 5);
  EXPECT_LT(tritan, 2);
}

TEST(Palettes, BrightOnBlackWithWhiteWalls) {
  for (ColourVision v : {ColourVision::Normal, ColourVision::RedGreen, ColourVision::BlueYellow}) {
    const SlotColours& colours = PaletteColours(v);
    EXPECT_EQ(colours[12], 0xFFFFFFu) << "the neutral walls stay white, palette " << int(v);
    for (int s = 0; s < kPlayerSlots; ++s) {
      // The match's deep blue is the one darker colour a palette keeps.
      const double floor = colours[s] == kSlotColours[s] ? 30 : 45;
      EXPECT_GE(LabOf(colours[s]).l, floor) << "palette " << int(v) << ", slot " << s;
      EXPECT_EQ(colours[s] >> 24, 0u) << "palette " << int(v) << ", slot " << s;
    }
  }
}

double ClosestPair(Eyes e, const SlotColours& colours) {
  double closest = 1000;
  for (int i = 0; i < kWormCount; ++i) {
    for (int j = i + 1; j < kWormCount; ++j) {
      closest = std::min(closest, SeenDifference(e, colours[i], colours[j]));
    }
  }
  return closest;
}

// Mending two colours for everyone must not make the normal palette harder for colour-blind
// eyes than the match's own colours were.
TEST(Palettes, NormalIsNoHarderForColourBlindEyes) {
  SlotColours match;
  std::copy(std::begin(kSlotColours), std::end(kSlotColours), match.begin());
  for (Eyes e : {Eyes::Protan, Eyes::Deutan, Eyes::Tritan}) {
    EXPECT_GE(ClosestPair(e, PaletteColours(ColourVision::Normal)), ClosestPair(e, match))
        << EyesName(e);
  }
}

// The normal palette is the match's, but for the two colours it mends.
TEST(Palettes, NormalChangesOnlySpringGreenAndViolet) {
  const SlotColours& normal = PaletteColours(ColourVision::Normal);
  for (int s = 0; s < kWormCount; ++s) {
    if (s == 6 || s == 11) {
      EXPECT_NE(normal[s], kSlotColours[s]) << s;
    } else {
      EXPECT_EQ(normal[s], kSlotColours[s]) << s;
    }
  }
}

TEST(Palettes, ShownColourByPaletteAndClassic) {
  Presentation p;
  for (ColourVision v : {ColourVision::Normal, ColourVision::RedGreen, ColourVision::BlueYellow}) {
    p.vision = v;
    for (int s = 0; s < kWormCount; ++s) {
      p.classic = false;
      EXPECT_EQ(ShownColour(p, s), PaletteColours(v)[s]) << int(v) << "/" << s;
      p.classic = true;
      EXPECT_EQ(ShownColour(p, s), kSlotColours[s]) << "classic " << int(v) << "/" << s;
    }
  }
  p.classic = false;
  EXPECT_EQ(ShownColour(p, -1), ShownColour(p, 0));
  EXPECT_EQ(ShownColour(p, 99), 0xFFFFFFu);
}

// Trails and energy bars are drawn in the palette; the classic screens in the match's own
// colours, which the palette never touches.
TEST(Palettes, TrailsAndEnergyBarsInThePalette) {
  Game g;
  CreateWorms(g);
  g.settings.game.positions = 1;
  TCerv& violet = g.Worm(11);  // the bottom edge's last bar
  violet.alive = 1;
  violet.energy = 81;
  g.ArenaMap.At(10, 20) = 11;
  const uint32_t matchColour = violet.colour, matchDim = violet.dimColour;
  struct Case {
    bool classic;
    ColourVision vision;
    bool dim;
    uint32_t want;
  } cases[] = {
      {false, ColourVision::Normal, false, PaletteColours(ColourVision::Normal)[11]},
      {false, ColourVision::RedGreen, false, PaletteColours(ColourVision::RedGreen)[11]},
      {false, ColourVision::BlueYellow, true,
       DimColour(PaletteColours(ColourVision::BlueYellow)[11])},
      {true, ColourVision::RedGreen, false, kSlotColours[11]},
      {true, ColourVision::BlueYellow, true, DimColour(kSlotColours[11])},
  };
  for (const Case& c : cases) {
    g.presentation.classic = c.classic;
    g.presentation.vision = c.vision;
    g.phase = c.dim ? GamePhase::RoundStart : GamePhase::Playing;
    BeforeRender(g);
    const std::string what = std::to_string(c.classic) + "/" + std::to_string(int(c.vision));
    EXPECT_EQ(g.beforeCanvas.At(26, 76), c.want | 0xFF000000u) << "trail " << what;
    if (!c.dim) {
      const uint32_t barColour = c.classic ? matchColour : ShownColour(g.presentation, 11);
      const uint32_t barDim = c.classic ? matchDim : DimColour(barColour);
      EXPECT_EQ(g.beforeCanvas.At(415, 469), barColour | 0xFF000000u) << "bar " << what;
      EXPECT_EQ(g.beforeCanvas.At(415, 473), barDim | 0xFF000000u) << "bar " << what;
    }
  }
  EXPECT_EQ(violet.colour, matchColour) << "the match keeps its colour";
  EXPECT_EQ(violet.dimColour, matchDim);
}

// A picture drawn in one colour, mixed with white and black as the archives' squares and
// viruses are, comes out in the other colour with the same shading.
TEST(Palettes, RecolouredPicturesKeepTheirShading) {
  const uint32_t from = kSlotColours[6], to = PaletteColours(ColourVision::Normal)[6];
  auto channel = [](uint32_t c, int i) { return static_cast<double>((c >> (8 * i)) & 0xFF); };
  // Pixels as share of colour, share of white; the last one is transparent black.
  const std::vector<std::pair<double, double>> mixes = {{1, 0}, {0.5, 0},   {0.45, 0.55},
                                                        {0, 1}, {0.2, 0.3}, {0, 0}};
  Picture pic;
  pic.width = static_cast<int>(mixes.size());
  pic.height = 1;
  for (auto [a, b] : mixes) {
    for (int i = 0; i < 3; ++i) {
      pic.rgba.push_back(static_cast<uint8_t>(std::lround(a * channel(from, i) + b * 255)));
    }
    pic.rgba.push_back(a + b > 0 ? 255 : 0);
  }
  auto out = Recoloured(pic, from, to);
  ASSERT_EQ(out->rgba.size(), pic.rgba.size());
  for (size_t k = 0; k < mixes.size(); ++k) {
    auto [a, b] = mixes[k];
    for (int i = 0; i < 3; ++i) {
      const double want = a * channel(to, i) + b * 255;
      EXPECT_NEAR(out->rgba[k * 4 + static_cast<size_t>(i)], want, 2) << k << "/" << i;
    }
    EXPECT_EQ(out->rgba[k * 4 + 3], pic.rgba[k * 4 + 3]) << "alpha " << k;
  }
  EXPECT_EQ(Recoloured(pic, from, from)->rgba, pic.rgba);
  Picture sized;  // a headless run's picture: a size, no pixels
  sized.width = sized.height = 16;
  EXPECT_TRUE(Recoloured(sized, from, to)->rgba.empty());
}

// The squares and viruses of the archives are redrawn in the palette, and back again.
TEST(Palettes, SlotPicturesFollowThePalette) {
  Scene scene;
  auto square = [](uint32_t c) {
    auto p = std::make_shared<Picture>();
    p->width = p->height = 1;
    p->rgba = {static_cast<uint8_t>(c & 0xFF), static_cast<uint8_t>((c >> 8) & 0xFF),
               static_cast<uint8_t>((c >> 16) & 0xFF), 255};
    return p;
  };
  Material* green = scene.Library(LibGLMLmenu).AddTextureMaterial("c00ff00", square(0x00FF00));
  Material* spring = scene.Library(LibGLMLmenu).AddTextureMaterial("c00ff80", square(0x80FF00));
  Material* virus = scene.Library(LibGlmlshots).AddTextureMaterial("virus3l", square(0xFF0080));
  const auto shippedSpring = spring->picture;
  const uint32_t revision = spring->revision;
  SlotPictures pictures;
  Presentation p;
  ShowPalettePictures(scene, p, pictures);
  EXPECT_EQ(pictures.entries.size(), 3u);
  auto pixel = [](const Material* m) {
    const auto& px = m->picture->rgba;
    return uint32_t{px[0]} | uint32_t{px[1]} << 8 | uint32_t{px[2]} << 16;
  };
  EXPECT_EQ(pixel(green), 0x00FF00u) << "a colour the palette keeps";
  EXPECT_EQ(pixel(spring), ShownColour(p, 6));
  EXPECT_EQ(pixel(virus), ShownColour(p, 11));
  EXPECT_GT(spring->revision, revision) << "the renderer must prepare it again";
  p.classic = true;
  ShowPalettePictures(scene, p, pictures);
  EXPECT_EQ(spring->picture, shippedSpring) << "classic: the archive's own picture";
  EXPECT_EQ(pixel(virus), 0xFF0080u);
}

}  // namespace
}  // namespace tdx
