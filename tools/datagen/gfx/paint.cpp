#include "paint.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <utility>

namespace gfx {

Rgb Mix(Rgb a, Rgb b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Image::Image(int w, int h) : w_(w), h_(h) {
  surf_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  if (cairo_surface_status(surf_) != CAIRO_STATUS_SUCCESS) {
    throw std::runtime_error("cannot create a " + std::to_string(w) + " by " + std::to_string(h) +
                             " picture");
  }
  cr_ = cairo_create(surf_);
}

Image::Image(Image&& o) noexcept
    : texts_(std::move(o.texts_)), w_(o.w_), h_(o.h_), surf_(o.surf_), cr_(o.cr_) {
  o.surf_ = nullptr;
  o.cr_ = nullptr;
}

Image& Image::operator=(Image&& o) noexcept {
  if (this != &o) {
    this->~Image();
    texts_ = std::move(o.texts_);
    w_ = o.w_;
    h_ = o.h_;
    surf_ = o.surf_;
    cr_ = o.cr_;
    o.surf_ = nullptr;
    o.cr_ = nullptr;
  }
  return *this;
}

Image::~Image() {
  if (cr_) cairo_destroy(cr_);
  if (surf_) cairo_surface_destroy(surf_);
  cr_ = nullptr;
  surf_ = nullptr;
}

uint32_t* Image::pixels() {
  cairo_surface_flush(surf_);
  return reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(surf_));
}

int Image::stride_px() const { return cairo_image_surface_get_stride(surf_) / 4; }

void Image::AddText(const std::string& text, double x0, double y0, double x1, double y1) {
  // The box's four corners through the transformation; their bounds in picture pixels.
  double xs[4] = {x0, x1, x0, x1}, ys[4] = {y0, y0, y1, y1};
  TextBox b{text, 1e9, 1e9, -1e9, -1e9};
  for (int i = 0; i < 4; ++i) {
    cairo_user_to_device(cr_, &xs[i], &ys[i]);
    b.x0 = std::min(b.x0, xs[i]);
    b.y0 = std::min(b.y0, ys[i]);
    b.x1 = std::max(b.x1, xs[i]);
    b.y1 = std::max(b.y1, ys[i]);
  }
  texts_.push_back(std::move(b));
}

void Image::AddTextsOf(const Image& other) {
  for (const TextBox& b : other.texts_) AddText(b.text, b.x0, b.y0, b.x1, b.y1);
}

namespace {

// One box pass over n values spaced by step, for each of the four channels.
void BoxLine(uint32_t* p, int n, int step, int r, std::vector<uint32_t>& tmp) {
  tmp.resize(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) tmp[static_cast<size_t>(i)] = p[static_cast<size_t>(i) * step];
  const int win = 2 * r + 1;
  uint32_t sum[4] = {0, 0, 0, 0};
  auto at = [&](int i) -> uint32_t { return (i < 0 || i >= n) ? 0u : tmp[static_cast<size_t>(i)]; };
  for (int i = -r; i <= r; ++i) {
    uint32_t v = at(i);
    for (int c = 0; c < 4; ++c) sum[c] += (v >> (8 * c)) & 0xFF;
  }
  for (int i = 0; i < n; ++i) {
    uint32_t out = 0;
    for (int c = 0; c < 4; ++c) out |= ((sum[c] + win / 2) / win) << (8 * c);
    p[static_cast<size_t>(i) * step] = out;
    uint32_t add = at(i + r + 1), sub = at(i - r);
    for (int c = 0; c < 4; ++c) sum[c] += ((add >> (8 * c)) & 0xFF) - ((sub >> (8 * c)) & 0xFF);
  }
}

}  // namespace

void Blur(Image& img, int radius) {
  if (radius <= 0) return;
  uint32_t* px = img.pixels();
  const int stride = img.stride_px();
  std::vector<uint32_t> tmp;
  // Three passes of a box of radius r/sqrt(3)-ish approximate a gaussian.
  int r = std::max(1, static_cast<int>(std::lround(radius / 1.7)));
  for (int pass = 0; pass < 3; ++pass) {
    for (int y = 0; y < img.height(); ++y)
      BoxLine(px + static_cast<size_t>(y) * stride, img.width(), 1, r, tmp);
    for (int x = 0; x < img.width(); ++x) BoxLine(px + x, img.height(), stride, r, tmp);
  }
  img.MarkDirty();
}

void PaintGlow(cairo_t* dst, Image& src, int radius, double alpha, double x, double y) {
  Blur(src, radius);
  cairo_save(dst);
  cairo_set_source_surface(dst, src.surface(), x, y);
  cairo_paint_with_alpha(dst, alpha);
  cairo_restore(dst);
}

void CrushBlacks(Image& img, int floor) {
  uint32_t* px = img.pixels();
  const int stride = img.stride_px();
  for (int y = 0; y < img.height(); ++y) {
    for (int x = 0; x < img.width(); ++x) {
      uint32_t& v = px[static_cast<size_t>(y) * stride + x];
      int r = (v >> 16) & 0xFF, g = (v >> 8) & 0xFF, b = v & 0xFF;
      if (std::max({r, g, b}) < floor) v = 0;
    }
  }
  img.MarkDirty();
}

void FlattenOnBlack(Image& img) {
  uint32_t* px = img.pixels();
  const int stride = img.stride_px();
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) px[static_cast<size_t>(y) * stride + x] |= 0xFF000000u;
  img.MarkDirty();
}

namespace {

void Put16(std::vector<uint8_t>& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

void FileHeader(std::vector<uint8_t>& b, uint32_t header_size, uint32_t image_size) {
  b.push_back('B');
  b.push_back('M');
  Put32(b, 14 + header_size + image_size);
  Put32(b, 0);
  Put32(b, 14 + header_size);
}

void InfoCommon(std::vector<uint8_t>& b, uint32_t header_size, int w, int h, int bpp,
                uint32_t compression, uint32_t image_size) {
  Put32(b, header_size);
  Put32(b, static_cast<uint32_t>(w));
  Put32(b, static_cast<uint32_t>(h));  // positive: rows stored bottom-up
  Put16(b, 1);
  Put16(b, static_cast<uint32_t>(bpp));
  Put32(b, compression);
  Put32(b, image_size);
  Put32(b, 2835);  // 72 dots per inch
  Put32(b, 2835);
  Put32(b, 0);
  Put32(b, 0);
}

}  // namespace

std::vector<uint8_t> EncodeBmp24(Image& img) {
  const int w = img.width(), h = img.height();
  const uint32_t row = static_cast<uint32_t>((w * 3 + 3) & ~3);
  const uint32_t size = row * static_cast<uint32_t>(h);
  std::vector<uint8_t> b;
  b.reserve(54 + size);
  FileHeader(b, 40, size);
  InfoCommon(b, 40, w, h, 24, 0, size);
  const uint32_t* px = img.pixels();
  const int stride = img.stride_px();
  for (int y = h - 1; y >= 0; --y) {
    size_t start = b.size();
    for (int x = 0; x < w; ++x) {
      // Premultiplied colour is the colour over black, which is what the picture shows.
      uint32_t v = px[static_cast<size_t>(y) * stride + x];
      b.push_back(static_cast<uint8_t>(v));
      b.push_back(static_cast<uint8_t>(v >> 8));
      b.push_back(static_cast<uint8_t>(v >> 16));
    }
    while (b.size() - start < row) b.push_back(0);
  }
  return b;
}

std::vector<uint8_t> EncodeBmp32(Image& img) {
  const int w = img.width(), h = img.height();
  const uint32_t size = static_cast<uint32_t>(w) * static_cast<uint32_t>(h) * 4;
  std::vector<uint8_t> b;
  b.reserve(14 + 108 + size);
  FileHeader(b, 108, size);
  InfoCommon(b, 108, w, h, 32, 3 /* bit fields */, size);
  Put32(b, 0x00FF0000);                         // red mask
  Put32(b, 0x0000FF00);                         // green
  Put32(b, 0x000000FF);                         // blue
  Put32(b, 0xFF000000);                         // alpha
  Put32(b, 0x73524742);                         // colour space 'sRGB'
  for (int i = 0; i < 9 + 3; ++i) Put32(b, 0);  // endpoints and gamma: unused with sRGB
  const uint32_t* px = img.pixels();
  const int stride = img.stride_px();
  for (int y = h - 1; y >= 0; --y) {
    for (int x = 0; x < w; ++x) {
      uint32_t v = px[static_cast<size_t>(y) * stride + x];
      uint32_t a = v >> 24;
      uint32_t c[3] = {v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF};
      for (uint32_t& ch : c) ch = a ? std::min<uint32_t>(255, (ch * 255 + a / 2) / a) : 0;
      b.push_back(static_cast<uint8_t>(c[0]));
      b.push_back(static_cast<uint8_t>(c[1]));
      b.push_back(static_cast<uint8_t>(c[2]));
      b.push_back(static_cast<uint8_t>(a));
    }
  }
  return b;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  if (!f) throw std::runtime_error(path + ": cannot open for writing: " + std::strerror(errno));
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  f.close();
  if (!f) throw std::runtime_error(path + ": write failed: " + std::strerror(errno));
}

void WriteText(const std::string& path, const std::string& text) {
  WriteFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

void CheckFonts() {
  PangoFontMap* map = pango_cairo_font_map_get_default();
  PangoFontFamily** families = nullptr;
  int n = 0;
  pango_font_map_list_families(map, &families, &n);
  bool found = false;
  for (int i = 0; i < n; ++i)
    if (std::strcmp(pango_font_family_get_name(families[i]), "League Spartan") == 0) found = true;
  g_free(families);
  if (!found)
    std::fprintf(stderr,
                 "datagen_gfx: warning: font 'League Spartan' is not installed "
                 "(package fonts-league-spartan); words fall back to another face\n");
}

TextShape MakeText(cairo_t* cr, const std::string& text, const char* font, double px,
                   double spacing) {
  TextShape t;
  t.layout = pango_cairo_create_layout(cr);
  // Fixed font options: no hinting, grey antialiasing, so the same text gives the same
  // pixels whatever the desktop's settings say.
  cairo_font_options_t* fo = cairo_font_options_create();
  cairo_font_options_set_hint_style(fo, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(fo, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_antialias(fo, CAIRO_ANTIALIAS_GRAY);
  pango_cairo_context_set_font_options(pango_layout_get_context(t.layout), fo);
  cairo_font_options_destroy(fo);
  pango_layout_context_changed(t.layout);

  PangoFontDescription* desc = pango_font_description_from_string(font);
  pango_font_description_set_absolute_size(desc, px * PANGO_SCALE);
  pango_layout_set_font_description(t.layout, desc);
  pango_font_description_free(desc);
  if (spacing != 0) {
    PangoAttrList* attrs = pango_attr_list_new();
    pango_attr_list_insert(attrs,
                           pango_attr_letter_spacing_new(static_cast<int>(spacing * PANGO_SCALE)));
    pango_layout_set_attributes(t.layout, attrs);
    pango_attr_list_unref(attrs);
  }
  pango_layout_set_text(t.layout, text.c_str(), -1);
  PangoRectangle ink, logical;
  pango_layout_get_extents(t.layout, &ink, &logical);
  t.ink_x = ink.x / double(PANGO_SCALE);
  t.ink_y = ink.y / double(PANGO_SCALE);
  t.ink_w = ink.width / double(PANGO_SCALE);
  t.ink_h = ink.height / double(PANGO_SCALE);
  t.logical_w = logical.width / double(PANGO_SCALE);
  t.logical_h = logical.height / double(PANGO_SCALE);
  t.baseline = pango_layout_get_baseline(t.layout) / double(PANGO_SCALE);
  return t;
}

void DrawNeonText(Image& img, const std::string& text, const char* font, double px, double x,
                  double baseline, const NeonStyle& style, double sx, double spacing) {
  TextShape t = MakeText(img.cr(), text, font, px, spacing);
  auto path = [&](cairo_t* cr) {
    cairo_save(cr);
    cairo_translate(cr, x, baseline);
    cairo_scale(cr, sx, 1.0);
    cairo_translate(cr, 0, -t.baseline);
    cairo_move_to(cr, 0, 0);  // the layout is laid out from the current point
    // No pango_cairo_update_layout here: it would lay the text out again in device
    // space and undo the horizontal squeeze. The layout's fixed font options keep the
    // shapes the same on every context.
    pango_cairo_layout_path(cr, t.layout);
    cairo_restore(cr);
  };
  DrawNeonPath(img, path, style);
  if (t.ink_w > 0) {
    img.AddText(text, x + t.ink_x * sx, baseline - t.baseline + t.ink_y,
                x + (t.ink_x + t.ink_w) * sx, baseline - t.baseline + t.ink_y + t.ink_h);
  }
  g_object_unref(t.layout);
}

Box AlphaBox(Image& img, int threshold) {
  Box b;
  b.x0 = img.width();
  b.y0 = img.height();
  const uint32_t* px = img.pixels();
  const int stride = img.stride_px();
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      if (static_cast<int>(px[static_cast<size_t>(y) * stride + x] >> 24) >= threshold) {
        b.x0 = std::min(b.x0, x);
        b.y0 = std::min(b.y0, y);
        b.x1 = std::max(b.x1, x);
        b.y1 = std::max(b.y1, y);
      }
  if (b.x1 < 0) b = Box{};
  return b;
}

void SetRgb(cairo_t* cr, Rgb c, double a) { cairo_set_source_rgba(cr, c.r, c.g, c.b, a); }

void RadialBlob(cairo_t* cr, double x, double y, double r, Rgb inner, double inner_a, Rgb outer,
                double outer_a) {
  cairo_pattern_t* p = cairo_pattern_create_radial(x, y, 0, x, y, r);
  cairo_pattern_add_color_stop_rgba(p, 0, inner.r, inner.g, inner.b, inner_a);
  cairo_pattern_add_color_stop_rgba(p, 1, outer.r, outer.g, outer.b, outer_a);
  cairo_set_source(cr, p);
  cairo_arc(cr, x, y, r, 0, 2 * M_PI);
  cairo_fill(cr);
  cairo_pattern_destroy(p);
}

void RoundedRectPath(cairo_t* cr, double x, double y, double w, double h, double r) {
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
  cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
  cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
  cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
  cairo_close_path(cr);
}

}  // namespace gfx
