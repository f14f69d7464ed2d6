// Just enough colour science to say how far apart two colours look: sRGB to CIE L*a*b*
// (D65), the CIEDE2000 difference, and how a colour looks to eyes missing one kind of cone.
// The palettes are chosen and checked with it; nothing here is drawn.
#pragma once

#include <cstdint>

namespace tdx {

// The eyes a colour can be seen through: full colour vision and the three dichromacies.
enum class Eyes : uint8_t { Normal, Protan, Deutan, Tritan };

struct Lab {
  double l = 0, a = 0, b = 0;
};

// A colour as the game packs it ($00BBGGRR) in L*a*b* (D65 white).
Lab LabOf(uint32_t bgr);

// The CIEDE2000 difference: about 1 is the least a person notices side by side, 10 and
// more reads as another colour at a glance.
double DeltaE2000(const Lab& x, const Lab& y);

// How `bgr` looks through `eyes`: the full-severity dichromacy matrices of Machado,
// Oliveira and Fernandes (2009), applied to linear RGB and clipped to the screen's range.
uint32_t SeenThrough(Eyes eyes, uint32_t bgr);

// The difference between two packed colours as seen through `eyes`.
double SeenDifference(Eyes eyes, uint32_t x, uint32_t y);

}  // namespace tdx
