// Drawing helpers shared by the picture generator: an owned cairo image, blur, neon
// words, colours, and the Windows bitmap writer.
#pragma once

#include <cairo.h>
#include <pango/pangocairo.h>

#include <cstdint>
#include <string>
#include <vector>

namespace gfx {

struct Rgb {
  double r = 0, g = 0, b = 0;
};

// A colour from 0xRRGGBB.
inline constexpr Rgb Hex(uint32_t v) {
  return {((v >> 16) & 0xFF) / 255.0, ((v >> 8) & 0xFF) / 255.0, (v & 0xFF) / 255.0};
}
Rgb Mix(Rgb a, Rgb b, double t);

// Where a text was drawn on a picture: its ink box in picture pixels. Pictures keep the
// boxes of their texts so the generator's tests can check that no two texts run into each
// other and none leaves its picture.
struct TextBox {
  std::string text;
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

// An ARGB32 cairo surface with its own context; moves, never copies.
class Image {
 public:
  Image() = default;
  Image(int w, int h);
  Image(Image&& o) noexcept;
  Image& operator=(Image&& o) noexcept;
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;
  ~Image();

  int width() const { return w_; }
  int height() const { return h_; }
  cairo_t* cr() const { return cr_; }
  cairo_surface_t* surface() const { return surf_; }
  // Premultiplied pixels, row-major; flushes pending drawing first.
  uint32_t* pixels();
  int stride_px() const;
  void MarkDirty() { cairo_surface_mark_dirty(surf_); }

  // The texts drawn on this picture so far.
  const std::vector<TextBox>& texts() const { return texts_; }
  // Records a text whose ink box is (x0, y0)-(x1, y1) in the user space of cr(), which
  // the context's current transformation maps to picture pixels.
  void AddText(const std::string& text, double x0, double y0, double x1, double y1);
  // Records the texts of `other`, drawn onto this picture through the current
  // transformation of cr().
  void AddTextsOf(const Image& other);

 private:
  std::vector<TextBox> texts_;
  int w_ = 0, h_ = 0;
  cairo_surface_t* surf_ = nullptr;
  cairo_t* cr_ = nullptr;
};

// Three box passes per axis approximate a gaussian of about radius r.
void Blur(Image& img, int radius);
// Paint src blurred by radius onto dst at (x, y), scaled in strength by alpha.
void PaintGlow(cairo_t* dst, Image& src, int radius, double alpha, double x = 0, double y = 0);
// Drop pixels dimmer than floor to pure black, so super-black transparency leaves no dark
// fringe around a sprite; works on premultiplied colour, ignoring alpha.
void CrushBlacks(Image& img, int floor);
// Alpha of premultiplied pixels forced to 255 (the picture composited over black).
void FlattenOnBlack(Image& img);

// Windows bitmap files: 24-bit (colour only; alpha comes from the library's rule) or
// 32-bit with straight alpha (BITMAPV4 header, bit-field masks).
std::vector<uint8_t> EncodeBmp24(Image& img);
std::vector<uint8_t> EncodeBmp32(Image& img);
// Writes bytes to path; throws std::runtime_error naming the file on failure.
void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
void WriteText(const std::string& path, const std::string& text);

// Fonts: the bold rounded face of the whole set, and a plain one for small print.
inline constexpr const char* kWordFont = "League Spartan Bold";
inline constexpr const char* kSmallFont = "League Spartan SemiBold";
inline constexpr const char* kBodyFont = "DejaVu Sans";
// Warn on stderr once if the word font is not installed (pango then falls back).
void CheckFonts();

struct TextShape {
  PangoLayout* layout = nullptr;  // owned by the caller via g_object_unref
  double ink_x = 0, ink_y = 0, ink_w = 0, ink_h = 0;
  double logical_w = 0, logical_h = 0, baseline = 0;
};
// A layout of text in font at size px (absolute), with letter spacing in px.
TextShape MakeText(cairo_t* cr, const std::string& text, const char* font, double px,
                   double spacing = 0);

// How a neon word looks: light fill, coloured outline, soft glow.
struct NeonStyle {
  Rgb fill_top, fill_bottom, outline, glow;
  double outline_width = 1.6;
  double glow_radius = 2;
  double glow_alpha = 0.9;
};
// Draw text at (x, baseline y) in the neon style onto img, scaled by sx horizontally.
void DrawNeonText(Image& img, const std::string& text, const char* font, double px, double x,
                  double baseline, const NeonStyle& style, double sx = 1.0, double spacing = 0);
// Glow, outline and fill for an arbitrary path built by path_fn on a context.
template <typename PathFn>
void DrawNeonPath(Image& img, PathFn path_fn, const NeonStyle& style);

// Alpha bounding box of an image: pixels with alpha >= threshold.
struct Box {
  int x0 = 0, y0 = 0, x1 = -1, y1 = -1;  // inclusive; empty when x1 < x0
  bool empty() const { return x1 < x0; }
};
Box AlphaBox(Image& img, int threshold);

// Deterministic noise for the sprite generator (never the game's generator).
class Noise {
 public:
  explicit Noise(uint32_t seed) : s_(seed * 2654435761u + 1) {}
  uint32_t Next() {
    s_ ^= s_ << 13;
    s_ ^= s_ >> 17;
    s_ ^= s_ << 5;
    return s_;
  }
  double Unit() { return (Next() & 0xFFFFFF) / 16777216.0; }
  double Range(double a, double b) { return a + (b - a) * Unit(); }

 private:
  uint32_t s_;
};

// Helpers for common strokes.
void SetRgb(cairo_t* cr, Rgb c, double a = 1.0);
// A rectangle with rounded corners of radius r as a new sub-path of the current path.
void RoundedRectPath(cairo_t* cr, double x, double y, double w, double h, double r);
void RadialBlob(cairo_t* cr, double x, double y, double r, Rgb inner, double inner_a, Rgb outer,
                double outer_a);

}  // namespace gfx

// ---- template implementation ----
namespace gfx {
template <typename PathFn>
void DrawNeonPath(Image& img, PathFn path_fn, const NeonStyle& style) {
  Image glow(img.width(), img.height());
  cairo_new_path(img.cr());
  path_fn(glow.cr());
  SetRgb(glow.cr(), style.glow);
  cairo_set_line_width(glow.cr(), style.outline_width * 2.0);
  cairo_set_line_join(glow.cr(), CAIRO_LINE_JOIN_ROUND);
  cairo_stroke_preserve(glow.cr());
  cairo_fill(glow.cr());
  PaintGlow(img.cr(), glow, static_cast<int>(style.glow_radius), style.glow_alpha);

  cairo_t* cr = img.cr();
  cairo_save(cr);
  path_fn(cr);
  SetRgb(cr, style.outline);
  cairo_set_line_width(cr, style.outline_width);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_stroke_preserve(cr);
  double x0, y0, x1, y1;
  cairo_fill_extents(cr, &x0, &y0, &x1, &y1);
  cairo_pattern_t* pat = cairo_pattern_create_linear(0, y0, 0, y1);
  cairo_pattern_add_color_stop_rgb(pat, 0, style.fill_top.r, style.fill_top.g, style.fill_top.b);
  cairo_pattern_add_color_stop_rgb(pat, 1, style.fill_bottom.r, style.fill_bottom.g,
                                   style.fill_bottom.b);
  cairo_set_source(cr, pat);
  cairo_fill(cr);
  cairo_pattern_destroy(pat);
  cairo_restore(cr);
}
}  // namespace gfx
