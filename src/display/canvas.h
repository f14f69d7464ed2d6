// The overlay canvas: a 640 by 480 CPU picture drawn under the sprites (before-render
// hook) or over everything (after-render hook). Pixels are premultiplied RGBA packed as
// R | G << 8 | B << 16 | A << 24, so an opaque pen colour $00BBGGRR is stored as itself
// with the alpha byte set.
#pragma once

#include <cstdint>
#include <vector>

#include "display/scene.h"

namespace tdx {

class Canvas {
 public:
  Canvas();

  // Starts a hook's drawing: every pixel transparent, pen white, alpha 1, width 1.
  void Begin();

  // A colour equal to the current one changes nothing (the trail hook relies on this
  // to keep a colour change per pixel cheap).
  void SetPenColour(uint32_t bgr) {
    if (bgr == penColour_) return;
    penColour_ = bgr;
    // An opaque pen's premultiplied colour is the colour itself: no arithmetic per change.
    if (opaque_) {
      composed_ = (bgr & 0xFFFFFFu) | 0xFF000000u;
      return;
    }
    Recompose();
  }
  void SetPenAlpha(float alpha);
  // Widths below 1 are ignored.
  void SetPenWidth(int width) {
    if (width >= 1) penWidth_ = width;
  }
  uint32_t PenColour() const { return penColour_; }
  float PenAlpha() const { return penAlpha_; }
  int PenWidth() const { return penWidth_; }

  // One pixel (a pen-width square centred on it for wider pens).
  void Pixel(int x, int y) {
    if (penWidth_ == 1 && opaque_) {
      if (static_cast<unsigned>(x) < static_cast<unsigned>(kViewWidth) &&
          static_cast<unsigned>(y) < static_cast<unsigned>(kViewHeight)) {
        pixels_[static_cast<size_t>(y) * kViewWidth + static_cast<size_t>(x)] = composed_;
        touched_ = true;
      }
      return;
    }
    Dot(x, y);
  }
  // A line with both end points drawn.
  void Line(int x1, int y1, int x2, int y2);
  // Fills the pixels whose centres lie between the two corners.
  void FillRect(float x1, float y1, float x2, float y2);

  // One row of pixels (y in 0..479) for bulk drawing of opaque 1-pixel dots, such as
  // the trails: writing the pen's value here gives the same pixel as Pixel. The row
  // counts as drawn.
  uint32_t* Row(int y) {
    touched_ = true;
    return pixels_.data() + static_cast<size_t>(y) * kViewWidth;
  }

  uint32_t At(int x, int y) const {
    return pixels_[static_cast<size_t>(y) * kViewWidth + static_cast<size_t>(x)];
  }
  const uint32_t* Data() const { return pixels_.data(); }
  // Whether anything was drawn since Begin (an untouched canvas need not be shown).
  bool Touched() const { return touched_; }

 private:
  void Recompose();
  void Dot(int x, int y);
  void Blend(int x, int y);

  std::vector<uint32_t> pixels_;
  uint32_t penColour_ = 0xFFFFFF;
  float penAlpha_ = 1.0f;
  int penWidth_ = 1;
  uint32_t composed_ = 0xFFFFFFFFu;
  bool opaque_ = true;
  bool touched_ = false;
};

}  // namespace tdx
