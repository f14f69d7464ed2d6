// The pictures of gfx.pak: shots, viruses, rockets, bombs, explosions, the bonus swirl and
// pictures, the teleport beam and the two logos. Each is drawn larger than it appears and
// the renderer's mipmaps bring it down, so edges stay smooth at the sprite's size.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "output.h"

namespace gfx {
namespace {

// Slot colours as the worms wear them (red, green, blue).
constexpr uint32_t kSlotColour[12] = {0x00FF00, 0xFF0000, 0x0000FF, 0x00FFFF, 0xFFFF00, 0xFF00FF,
                                      0x00FF80, 0x0080FF, 0x808080, 0xFF8000, 0xFF0080, 0x8000FF};

constexpr double kPi = M_PI;

std::string Num(int v, int width) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%0*d", width, v);
  return buf;
}

double Clamp01(double v) { return std::clamp(v, 0.0, 1.0); }
double Smooth(double v) {
  v = Clamp01(v);
  return v * v * (3 - 2 * v);
}

// A glow of colour c around (x, y): bright centre falling to nothing at r.
void Glow(cairo_t* cr, double x, double y, double r, Rgb c, double a) {
  cairo_pattern_t* p = cairo_pattern_create_radial(x, y, 0, x, y, r);
  cairo_pattern_add_color_stop_rgba(p, 0, c.r, c.g, c.b, a);
  cairo_pattern_add_color_stop_rgba(p, 0.35, c.r, c.g, c.b, a * 0.45);
  cairo_pattern_add_color_stop_rgba(p, 1, c.r, c.g, c.b, 0);
  cairo_set_source(cr, p);
  cairo_arc(cr, x, y, r, 0, 2 * kPi);
  cairo_fill(cr);
  cairo_pattern_destroy(p);
}

// A ball lit from the upper left: base colour with a highlight and a darker rim.
void Ball(cairo_t* cr, double x, double y, double r, Rgb base, Rgb light) {
  cairo_pattern_t* p = cairo_pattern_create_radial(x - r * 0.35, y - r * 0.4, r * 0.1, x, y, r);
  cairo_pattern_add_color_stop_rgb(p, 0, light.r, light.g, light.b);
  cairo_pattern_add_color_stop_rgb(p, 0.55, base.r, base.g, base.b);
  Rgb rim = Mix(base, Rgb{}, 0.45);
  cairo_pattern_add_color_stop_rgb(p, 1, rim.r, rim.g, rim.b);
  cairo_set_source(cr, p);
  cairo_arc(cr, x, y, r, 0, 2 * kPi);
  cairo_fill(cr);
  cairo_pattern_destroy(p);
}

// A fiery orb: white core, yellow, orange, red rim fading out.
void FireOrb(cairo_t* cr, double x, double y, double r, double heat) {
  cairo_pattern_t* p = cairo_pattern_create_radial(x, y, 0, x, y, r);
  cairo_pattern_add_color_stop_rgba(p, 0, 1, 1, 0.9, 1);
  cairo_pattern_add_color_stop_rgba(p, 0.25 * heat, 1, 0.95, 0.45, 1);
  cairo_pattern_add_color_stop_rgba(p, 0.55, 1, 0.55, 0.08, 0.95);
  cairo_pattern_add_color_stop_rgba(p, 0.8, 0.85, 0.15, 0.02, 0.6);
  cairo_pattern_add_color_stop_rgba(p, 1, 0.4, 0.02, 0, 0);
  cairo_set_source(cr, p);
  cairo_arc(cr, x, y, r, 0, 2 * kPi);
  cairo_fill(cr);
  cairo_pattern_destroy(p);
}

// ---------------------------------------------------------------- shots

Image Rip() {
  Image img(32, 32);
  cairo_t* cr = img.cr();
  Glow(cr, 16, 15, 14, Hex(0xB070FF), 0.6);
  const Rgb bone_hi = Hex(0xFFFFFF), bone = Hex(0xD8CCF0);
  cairo_pattern_t* p = cairo_pattern_create_linear(0, 5, 0, 27);
  cairo_pattern_add_color_stop_rgb(p, 0, bone_hi.r, bone_hi.g, bone_hi.b);
  cairo_pattern_add_color_stop_rgb(p, 1, bone.r, bone.g, bone.b);
  cairo_set_source(cr, p);
  cairo_arc(cr, 16, 14, 9.5, 0, 2 * kPi);
  cairo_fill(cr);
  cairo_rectangle(cr, 10.5, 17, 11, 9);
  cairo_fill(cr);
  cairo_pattern_destroy(p);
  // Eye sockets and nose are left black: they show through.
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_arc(cr, 12.2, 14.5, 3.0, 0, 2 * kPi);
  cairo_fill(cr);
  cairo_arc(cr, 19.8, 14.5, 3.0, 0, 2 * kPi);
  cairo_fill(cr);
  cairo_move_to(cr, 16, 17.5);
  cairo_line_to(cr, 14.3, 20.5);
  cairo_line_to(cr, 17.7, 20.5);
  cairo_close_path(cr);
  cairo_fill(cr);
  cairo_set_line_width(cr, 1.2);
  for (double x : {13.5, 16.0, 18.5}) {
    cairo_move_to(cr, x, 22.5);
    cairo_line_to(cr, x, 26);
  }
  cairo_stroke(cr);
  return img;
}

Image Shot() {
  Image img(32, 32);
  cairo_t* cr = img.cr();
  cairo_set_operator(cr, CAIRO_OPERATOR_ADD);
  Glow(cr, 16, 16, 16, Hex(0xFF5010), 0.8);
  FireOrb(cr, 16, 16, 12.5, 1.0);
  Glow(cr, 14.5, 14.5, 5, Hex(0xFFFFFF), 0.9);
  return img;
}

Image FireBall() {
  Image img(32, 32);
  cairo_t* cr = img.cr();
  cairo_set_operator(cr, CAIRO_OPERATOR_ADD);
  Glow(cr, 16, 16, 16, Hex(0xFF3000), 0.6);
  // Flame tongues all round (the ball tumbles, so no side is up).
  Noise n(77);
  for (int i = 0; i < 9; ++i) {
    double a = i * 2 * kPi / 9 + n.Range(-0.2, 0.2);
    double d = n.Range(6, 9);
    FireOrb(cr, 16 + d * std::cos(a), 16 + d * std::sin(a), n.Range(4.5, 6.5), 0.6);
  }
  FireOrb(cr, 16, 16, 10, 1.2);
  Glow(cr, 16, 16, 5, Hex(0xFFFFE0), 0.8);
  return img;
}

Image Tripple() {
  Image img(32, 32);
  cairo_t* cr = img.cr();
  cairo_set_operator(cr, CAIRO_OPERATOR_ADD);
  Glow(cr, 16, 16, 16, Hex(0xFFC020), 0.7);
  Glow(cr, 16, 16, 10, Hex(0xFFE070), 0.9);
  Glow(cr, 16, 16, 6, Hex(0xFFFFFF), 1.0);
  cairo_set_source_rgb(cr, 1, 1, 0.95);
  cairo_arc(cr, 16, 16, 3.2, 0, 2 * kPi);
  cairo_fill(cr);
  return img;
}

// A beam flying along x; the vertical one is the same picture turned.
Image Laser(bool vertical) {
  Image img(32, 32);
  cairo_t* cr = img.cr();
  if (vertical) {
    cairo_translate(cr, 16, 16);
    cairo_rotate(cr, kPi / 2);
    cairo_translate(cr, -16, -16);
  }
  cairo_set_operator(cr, CAIRO_OPERATOR_ADD);
  struct Band {
    double half, a;
    uint32_t c;
  } bands[] = {{11, 0.35, 0xFF0060}, {7, 0.6, 0xFF2080}, {4, 0.9, 0xFF80C0}, {1.8, 1.0, 0xFFFFFF}};
  for (const Band& b : bands) {
    Rgb c = Hex(b.c);
    cairo_pattern_t* p = cairo_pattern_create_linear(0, 16 - b.half, 0, 16 + b.half);
    cairo_pattern_add_color_stop_rgba(p, 0, c.r, c.g, c.b, 0);
    cairo_pattern_add_color_stop_rgba(p, 0.5, c.r, c.g, c.b, b.a);
    cairo_pattern_add_color_stop_rgba(p, 1, c.r, c.g, c.b, 0);
    cairo_set_source(cr, p);
    double r = b.half;
    cairo_move_to(cr, 1 + r, 16 - b.half);
    cairo_line_to(cr, 31 - r, 16 - b.half);
    cairo_arc(cr, 31 - r, 16, b.half, -kPi / 2, kPi / 2);
    cairo_line_to(cr, 1 + r, 16 + b.half);
    cairo_arc(cr, 1 + r, 16, b.half, kPi / 2, 3 * kPi / 2);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
  }
  return img;
}

// Frame digit d (1..9) of a virus in colour c: spikes breathe over 1..5, the body
// wobbles over 6..9.
Image Virus(int d, Rgb c) {
  Image img(24, 24);
  cairo_t* cr = img.cr();
  double spike = 3.0, body = 5.2, turn = 0;
  if (d <= 5) {
    spike = 2.4 + (d - 1) * 0.55;
    turn = (d - 1) * 0.12;
  } else {
    body = 5.0 + (d - 6) * 0.35;
    spike = 3.0 - (d - 6) * 0.2;
    turn = 0.5 - (d - 6) * 0.1;
  }
  Glow(cr, 12, 12, 12, c, 0.55);
  Rgb light = Mix(c, Hex(0xFFFFFF), 0.65);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  for (int i = 0; i < 8; ++i) {
    double a = turn + i * kPi / 4;
    double x0 = 12 + body * 0.8 * std::cos(a), y0 = 12 + body * 0.8 * std::sin(a);
    double x1 = 12 + (body + spike) * std::cos(a), y1 = 12 + (body + spike) * std::sin(a);
    SetRgb(cr, Mix(c, Hex(0xFFFFFF), 0.3));
    cairo_set_line_width(cr, 1.3);
    cairo_move_to(cr, x0, y0);
    cairo_line_to(cr, x1, y1);
    cairo_stroke(cr);
    SetRgb(cr, light);
    cairo_arc(cr, x1, y1, 1.3, 0, 2 * kPi);
    cairo_fill(cr);
  }
  Ball(cr, 12, 12, body, c, light);
  // Two darker nuclei make it read as a germ, not a star.
  SetRgb(cr, Mix(c, Rgb{}, 0.6));
  cairo_arc(cr, 10.6 + 0.3 * (d % 3), 12.8, 1.2, 0, 2 * kPi);
  cairo_fill(cr);
  cairo_arc(cr, 13.6, 10.8 + 0.3 * (d % 2), 0.9, 0, 2 * kPi);
  cairo_fill(cr);
  return img;
}

// Rocket pointing right (rotation 0 flies along +x); frame 1..3 changes the exhaust.
Image Rocket(int frame) {
  Image img(48, 48);
  cairo_t* cr = img.cr();
  // Exhaust.
  {
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_ADD);
    double len = 7 + 1.6 * frame;
    double flick = (frame == 2) ? 1.5 : 0;
    cairo_pattern_t* p = cairo_pattern_create_linear(13, 0, 13 - len, 0);
    cairo_pattern_add_color_stop_rgba(p, 0, 1, 1, 0.8, 1);
    cairo_pattern_add_color_stop_rgba(p, 0.3, 1, 0.7, 0.1, 0.9);
    cairo_pattern_add_color_stop_rgba(p, 1, 0.9, 0.1, 0, 0);
    cairo_set_source(cr, p);
    cairo_move_to(cr, 14, 24 - 4.5);
    cairo_curve_to(cr, 8, 24 - 5 - flick, 13 - len + 3, 24 - 2, 13 - len, 24);
    cairo_curve_to(cr, 13 - len + 3, 24 + 2, 8, 24 + 5 + flick, 14, 24 + 4.5);
    cairo_close_path(cr);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
    cairo_restore(cr);
  }
  // Fins.
  SetRgb(cr, Hex(0xE0303A));
  for (int s : {-1, 1}) {
    cairo_move_to(cr, 14, 24 + s * 4);
    cairo_line_to(cr, 11, 24 + s * 11);
    cairo_line_to(cr, 21, 24 + s * 5);
    cairo_close_path(cr);
    cairo_fill(cr);
  }
  // Body: a silver tube with a red nose.
  cairo_pattern_t* p = cairo_pattern_create_linear(0, 18, 0, 30);
  cairo_pattern_add_color_stop_rgb(p, 0, 0.75, 0.78, 0.85);
  cairo_pattern_add_color_stop_rgb(p, 0.35, 1, 1, 1);
  cairo_pattern_add_color_stop_rgb(p, 1, 0.45, 0.48, 0.56);
  cairo_set_source(cr, p);
  cairo_move_to(cr, 13, 19.5);
  cairo_line_to(cr, 33, 19.5);
  cairo_line_to(cr, 33, 28.5);
  cairo_line_to(cr, 13, 28.5);
  cairo_close_path(cr);
  cairo_fill(cr);
  cairo_pattern_destroy(p);
  p = cairo_pattern_create_linear(0, 19, 0, 29);
  cairo_pattern_add_color_stop_rgb(p, 0, 1, 0.45, 0.45);
  cairo_pattern_add_color_stop_rgb(p, 0.4, 1, 0.2, 0.25);
  cairo_pattern_add_color_stop_rgb(p, 1, 0.55, 0.05, 0.1);
  cairo_set_source(cr, p);
  cairo_move_to(cr, 33, 19.5);
  cairo_curve_to(cr, 39, 19.5, 43, 22, 45, 24);
  cairo_curve_to(cr, 43, 26, 39, 28.5, 33, 28.5);
  cairo_close_path(cr);
  cairo_fill(cr);
  cairo_pattern_destroy(p);
  // Window.
  SetRgb(cr, Hex(0x40C8FF));
  cairo_arc(cr, 28, 24, 2.2, 0, 2 * kPi);
  cairo_fill(cr);
  SetRgb(cr, Hex(0xFFFFFF), 0.9);
  cairo_arc(cr, 27.3, 23.3, 0.8, 0, 2 * kPi);
  cairo_fill(cr);
  return img;
}

// The atomic bomb's warning mark: a radiation sign inside a red sight.
Image Target() {
  Image img(64, 64);
  cairo_t* cr = img.cr();
  const double c = 32;
  Image glow(64, 64);
  cairo_t* g = glow.cr();
  SetRgb(g, Hex(0xFF2020));
  cairo_set_line_width(g, 5);
  cairo_arc(g, c, c, 24, 0, 2 * kPi);
  cairo_stroke(g);
  PaintGlow(cr, glow, 4, 1.0);
  SetRgb(cr, Hex(0xFF4030));
  cairo_set_line_width(cr, 3);
  cairo_arc(cr, c, c, 24, 0, 2 * kPi);
  cairo_stroke(cr);
  cairo_set_line_width(cr, 2.5);
  for (int i = 0; i < 4; ++i) {
    double a = i * kPi / 2;
    cairo_move_to(cr, c + 22 * std::cos(a), c + 22 * std::sin(a));
    cairo_line_to(cr, c + 28 * std::cos(a), c + 28 * std::sin(a));
  }
  cairo_stroke(cr);
  // Trefoil.
  Rgb yellow = Hex(0xFFD200);
  cairo_pattern_t* p = cairo_pattern_create_radial(c, c, 4, c, c, 20);
  cairo_pattern_add_color_stop_rgb(p, 0, 1, 0.95, 0.5);
  cairo_pattern_add_color_stop_rgb(p, 1, yellow.r, yellow.g * 0.85, 0);
  cairo_set_source(cr, p);
  for (int i = 0; i < 3; ++i) {
    double mid = -kPi / 2 + i * 2 * kPi / 3;
    cairo_new_path(cr);
    cairo_arc(cr, c, c, 19, mid - kPi / 6, mid + kPi / 6);
    cairo_arc_negative(cr, c, c, 6.5, mid + kPi / 6, mid - kPi / 6);
    cairo_close_path(cr);
    cairo_fill(cr);
  }
  cairo_arc(cr, c, c, 4, 0, 2 * kPi);
  cairo_fill(cr);
  cairo_pattern_destroy(p);
  return img;
}

// The digger crawls right with its drill in front; frames turn the drill.
Image Digger(int frame) {
  Image img(64, 64);
  cairo_t* cr = img.cr();
  // Dust thrown up around the drill.
  Noise n(300 + frame);
  for (int i = 0; i < 10; ++i) {
    SetRgb(cr, Mix(Hex(0xC08040), Hex(0xFFE0A0), n.Unit()), 0.9);
    cairo_arc(cr, n.Range(40, 58), n.Range(14, 50), n.Range(0.8, 1.8), 0, 2 * kPi);
    cairo_fill(cr);
  }
  // Tracks.
  SetRgb(cr, Hex(0x3A3F4A));
  cairo_new_path(cr);
  cairo_arc(cr, 14, 44, 6, kPi / 2, 3 * kPi / 2);
  cairo_arc(cr, 38, 44, 6, -kPi / 2, kPi / 2);
  cairo_close_path(cr);
  cairo_fill(cr);
  for (int i = 0; i < 4; ++i) {
    SetRgb(cr, Hex(0x8A93A6));
    cairo_arc(cr, 14 + i * 8, 44, 3, 0, 2 * kPi);
    cairo_fill(cr);
    SetRgb(cr, Hex(0x3A3F4A));
    double a = frame * 0.8 + i;
    cairo_arc(cr, 14 + i * 8 + 1.5 * std::cos(a), 44 + 1.5 * std::sin(a), 0.9, 0, 2 * kPi);
    cairo_fill(cr);
  }
  // Body.
  cairo_pattern_t* p = cairo_pattern_create_linear(0, 18, 0, 40);
  cairo_pattern_add_color_stop_rgb(p, 0, 1, 0.9, 0.35);
  cairo_pattern_add_color_stop_rgb(p, 0.5, 1, 0.7, 0.05);
  cairo_pattern_add_color_stop_rgb(p, 1, 0.7, 0.4, 0.0);
  cairo_set_source(cr, p);
  cairo_new_path(cr);
  cairo_move_to(cr, 8, 38);
  cairo_line_to(cr, 8, 26);
  cairo_curve_to(cr, 8, 20, 12, 18, 18, 18);
  cairo_line_to(cr, 36, 18);
  cairo_line_to(cr, 42, 24);
  cairo_line_to(cr, 42, 38);
  cairo_close_path(cr);
  cairo_fill(cr);
  cairo_pattern_destroy(p);
  // Cab window and stripes.
  SetRgb(cr, Hex(0x60D8FF));
  cairo_rectangle(cr, 14, 21, 9, 6);
  cairo_fill(cr);
  SetRgb(cr, Hex(0x202020));
  for (int i = 0; i < 3; ++i) {
    cairo_move_to(cr, 27 + i * 5, 38);
    cairo_line_to(cr, 31 + i * 5, 31);
    cairo_line_to(cr, 33.5 + i * 5, 31);
    cairo_line_to(cr, 29.5 + i * 5, 38);
    cairo_close_path(cr);
  }
  cairo_fill(cr);
  // Drill cone.
  p = cairo_pattern_create_linear(0, 18, 0, 42);
  cairo_pattern_add_color_stop_rgb(p, 0, 0.95, 0.97, 1);
  cairo_pattern_add_color_stop_rgb(p, 0.45, 0.7, 0.74, 0.82);
  cairo_pattern_add_color_stop_rgb(p, 1, 0.35, 0.38, 0.46);
  cairo_set_source(cr, p);
  cairo_move_to(cr, 42, 19);
  cairo_line_to(cr, 61, 30);
  cairo_line_to(cr, 42, 41);
  cairo_close_path(cr);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(p);
  cairo_save(cr);
  cairo_clip(cr);
  // Spiral grooves, shifted each frame so the drill turns.
  SetRgb(cr, Hex(0x2A2E38));
  cairo_set_line_width(cr, 1.4);
  for (int i = 0; i < 4; ++i) {
    double t = (i + frame / 3.0) / 4.0;
    double x = 42 + t * 20, h = 11 * (1 - t);
    cairo_move_to(cr, x - 1.5, 30 - h);
    cairo_line_to(cr, x + 2.5, 30 + h);
  }
  cairo_stroke(cr);
  cairo_restore(cr);
  return img;
}

// A round bomb with a burning fuse; the spark changes every frame.
Image SmallBomb(int frame) {
  Image img(64, 64);
  cairo_t* cr = img.cr();
  const double cx = 28, cy = 38;
  Glow(cr, cx, cy, 25, Hex(0xFF3010), 0.35);
  Ball(cr, cx, cy, 18, Hex(0x3A4660), Hex(0xB8C8F0));
  SetRgb(cr, Hex(0x8090A8));
  cairo_save(cr);
  cairo_translate(cr, cx + 11, cy - 14);
  cairo_rotate(cr, kPi / 4);
  cairo_rectangle(cr, -4, -3, 8, 6);
  cairo_restore(cr);
  cairo_fill(cr);
  // Fuse.
  SetRgb(cr, Hex(0xD8B070));
  cairo_set_line_width(cr, 2);
  cairo_move_to(cr, cx + 13, cy - 17);
  cairo_curve_to(cr, cx + 17, cy - 23, cx + 20, cy - 21, cx + 21, cy - 26);
  cairo_stroke(cr);
  // Spark.
  cairo_set_operator(cr, CAIRO_OPERATOR_ADD);
  double sx = cx + 21, sy = cy - 26;
  double size[] = {6.5, 8.5, 7.5};
  double r = size[(frame - 1) % 3];
  Glow(cr, sx, sy, r * 1.15, Hex(0xFF8000), 0.9);
  Glow(cr, sx, sy, r * 0.6, Hex(0xFFFFC0), 1.0);
  SetRgb(cr, Hex(0xFFF080));
  cairo_set_line_width(cr, 1.2);
  for (int i = 0; i < 6; ++i) {
    double a = i * kPi / 3 + frame * 0.5;
    cairo_move_to(cr, sx, sy);
    cairo_line_to(cr, sx + r * std::cos(a), sy + r * std::sin(a));
  }
  cairo_stroke(cr);
  return img;
}

// The bomb's blast: a cross of five fireballs (centre and 16 units each way).
Image BombBlast(int frame) {
  Image img(64, 64);
  cairo_t* cr = img.cr();
  cairo_set_operator(cr, CAIRO_OPERATOR_ADD);
  // Picture pixels per arena unit at 48 by 48 on screen, a little less so the arms'
  // fire stays inside the picture.
  const double k = 20.0 / 16.0;
  const double grow[] = {0.7, 1.0, 1.05, 0.9};
  const double heat[] = {1.5, 1.2, 0.8, 0.5};
  double g = grow[frame - 1];
  Noise n(900 + frame);
  const double off[5][2] = {{0, 0}, {16, 0}, {-16, 0}, {0, 16}, {0, -16}};
  for (const auto& o : off) {
    double x = 32 + o[0] * k, y = 32 + o[1] * k;
    double r = (o[0] == 0 && o[1] == 0 ? 15 : 9.5) * g;
    if (frame >= 3) {
      Glow(cr, x + n.Range(-1.5, 1.5), y + n.Range(-1.5, 1.5), r * 1.1, Hex(0x802010), 0.5);
    }
    FireOrb(cr, x, y, r, heat[frame - 1]);
  }
  if (frame <= 2) Glow(cr, 32, 32, 14, Hex(0xFFFFFF), frame == 1 ? 1.0 : 0.6);
  return img;
}

// ---------------------------------------------------------------- explosions

// One puff of a cloud: a soft ball whose colour follows its heat.
Rgb HeatColour(double heat) {
  // 1 white-hot, 0.75 yellow, 0.5 orange, 0.25 deep red, 0 dark smoke.
  struct Stop {
    double h;
    uint32_t c;
  } stops[] = {{0, 0x4A4240},   {0.2, 0x7A3018}, {0.4, 0xC83A10},
               {0.6, 0xFF8A1E}, {0.8, 0xFFD860}, {1, 0xFFFFF0}};
  heat = Clamp01(heat);
  for (int i = 1; i < 6; ++i)
    if (heat <= stops[i].h)
      return Mix(Hex(stops[i - 1].c), Hex(stops[i].c),
                 (heat - stops[i - 1].h) / (stops[i].h - stops[i - 1].h));
  return Hex(0xFFFFF0);
}

void Puff(cairo_t* cr, double x, double y, double r, double heat, double a) {
  Rgb c = HeatColour(heat), rim = HeatColour(heat - 0.25);
  cairo_pattern_t* p = cairo_pattern_create_radial(x - r * 0.2, y - r * 0.25, 0, x, y, r);
  cairo_pattern_add_color_stop_rgba(p, 0, c.r, c.g, c.b, a);
  cairo_pattern_add_color_stop_rgba(p, 0.6, rim.r, rim.g, rim.b, a * 0.85);
  cairo_pattern_add_color_stop_rgba(p, 1, rim.r, rim.g, rim.b, 0);
  cairo_set_source(cr, p);
  cairo_arc(cr, x, y, r, 0, 2 * kPi);
  cairo_fill(cr);
  cairo_pattern_destroy(p);
}

// Frame k (0..49) of the atomic blast, 128 by 192; the bomb lies at (64, 128).
Image Atomic(int k) {
  Image img(128, 192);
  cairo_t* cr = img.cr();
  const double t = k / 49.0, gx = 64, gy = 128;
  const double cool = Smooth(t * 1.05);  // 0 hot .. 1 burnt out
  // Flash.
  if (k < 8) {
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_ADD);
    double f = 1 - k / 8.0;
    Glow(cr, gx, gy, std::min(60.0, 30.0 + k * 9), Hex(0xFFF6C0), f);
    cairo_restore(cr);
  }
  // Shock ring on the ground.
  {
    double rr = 12 + 44 * Smooth(t * 2.2);
    double a = (1 - Smooth(t * 2.2)) * 0.9;
    if (a > 0.01) {
      cairo_save(cr);
      cairo_translate(cr, gx, gy + 2);
      cairo_scale(cr, 1, 0.28);
      SetRgb(cr, Hex(0xFFE0A0), a);
      cairo_set_line_width(cr, 5);
      cairo_arc(cr, 0, 0, rr, 0, 2 * kPi);
      cairo_stroke(cr);
      cairo_restore(cr);
    }
  }
  // Ground dome (the kill disc is 50 units round the bomb).
  const double rise = Smooth(t * 1.6);
  const double cap_y = gy - 18 - 72 * rise;
  const double cap_w = 16 + 24 * Smooth(t * 1.4), cap_h = 9 + 9 * Smooth(t * 1.4);
  const double fade = 1 - Smooth((t - 0.55) / 0.45) * 0.75;
  Noise n(4242);
  for (int i = 0; i < 26; ++i) {
    double a = kPi + n.Unit() * kPi;  // upper half
    double d = n.Range(0.3, 1.0) * (12 + 32 * Smooth(t * 2.5));
    double x = gx + d * std::cos(a), y = gy + 0.45 * d * std::sin(a) + 2;
    double r = n.Range(6, 10) * (0.7 + 0.5 * Smooth(t * 2));
    Puff(cr, x, y, r, 1.0 - cool * 1.0 - d / 140 + n.Range(-0.05, 0.05), 0.9 * fade);
  }
  // Stem.
  for (int i = 0; i < 16; ++i) {
    double s = (i + 0.5) / 16;
    double y = gy - s * (gy - cap_y);
    double w = 5 + 3 * std::sin(s * kPi) * 0.5 + n.Range(-1, 1);
    double x = gx + n.Range(-1.2, 1.2) * (0.5 + s);
    Puff(cr, x, y, w + 2, 0.95 - cool * 0.9 - s * 0.1, 0.85 * fade);
  }
  // Cap: a rolling torus of puffs, its inside hotter.
  for (int i = 0; i < 30; ++i) {
    double a = n.Unit() * 2 * kPi;
    double rr = n.Range(0.55, 1.0);
    double x = gx + cap_w * rr * std::cos(a), y = cap_y + cap_h * rr * std::sin(a) * 0.9 - 4;
    double r = n.Range(7, 11) * (0.6 + 0.5 * Smooth(t * 1.8));
    Puff(cr, x, y, r, 1.05 - cool * 0.95 - rr * 0.15 + n.Range(-0.05, 0.05), 0.9 * fade);
  }
  // Hot core of the cap.
  if (cool < 0.9) {
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_ADD);
    Glow(cr, gx, cap_y - 3, cap_w * 0.7, Hex(0xFFC060), (1 - cool) * 0.8);
    Glow(cr, gx, gy - 4, 24, Hex(0xFFB040), (1 - cool) * 0.7);
    cairo_restore(cr);
  }
  return img;
}

// Frame k (0..24) of a rocket's explosion, 64 by 64.
Image RocketBlast(int k) {
  Image img(64, 64);
  cairo_t* cr = img.cr();
  const double t = k / 24.0;
  const double grow = 1 - std::pow(1 - t, 3);
  const double fade = 1 - Smooth((t - 0.35) / 0.65);
  cairo_set_operator(cr, CAIRO_OPERATOR_ADD);
  // Sparks fly out.
  Noise n(555);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  for (int i = 0; i < 14; ++i) {
    double a = n.Unit() * 2 * kPi, v = n.Range(18, 30);
    double d0 = v * grow * 0.7, d1 = v * grow;
    Rgb c = HeatColour(1 - t * 0.8);
    SetRgb(cr, c, fade);
    cairo_set_line_width(cr, 1.6);
    cairo_move_to(cr, 32 + d0 * std::cos(a), 32 + d0 * std::sin(a));
    cairo_line_to(cr, 32 + d1 * std::cos(a), 32 + d1 * std::sin(a));
    cairo_stroke(cr);
  }
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
  for (int i = 0; i < 9; ++i) {
    double a = n.Unit() * 2 * kPi, d = n.Range(2, 9) * grow;
    Puff(cr, 32 + d * std::cos(a), 32 + d * std::sin(a), (7 + 12 * grow) * n.Range(0.6, 0.9),
         1.05 - t * 1.1 + n.Range(-0.05, 0.05), fade);
  }
  if (k < 6) {
    cairo_set_operator(cr, CAIRO_OPERATOR_ADD);
    Glow(cr, 32, 32, 10 + k * 3, Hex(0xFFFFE0), 1 - k / 6.0);
  }
  return img;
}

// ---------------------------------------------------------------- bonus

// Frame k (0..47) of the swirl that brings a bonus, 96 by 192; the bonus appears at
// (49, 95) halfway through.
Image Swirl(int k) {
  Image img(96, 192);
  cairo_t* cr = img.cr();
  cairo_set_operator(cr, CAIRO_OPERATOR_ADD);
  const double t = k / 47.0, cx = 49, cy = 95;
  const double env = std::pow(std::sin(kPi * std::min(1.0, t * 1.05)), 0.6);
  // Column of light.
  {
    double w = 3 + 7 * env;
    cairo_pattern_t* p = cairo_pattern_create_linear(cx - w * 2, 0, cx + w * 2, 0);
    Rgb c = Hex(0x8060FF);
    cairo_pattern_add_color_stop_rgba(p, 0, c.r, c.g, c.b, 0);
    cairo_pattern_add_color_stop_rgba(p, 0.5, 0.85, 0.8, 1, 0.55 * env);
    cairo_pattern_add_color_stop_rgba(p, 1, c.r, c.g, c.b, 0);
    cairo_set_source(cr, p);
    double top = cy - 92 * env, bottom = cy + 92 * env;
    cairo_rectangle(cr, cx - w * 2, top, w * 4, bottom - top);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
  }
  // Two helices of sparks closing in on the bonus.
  const double spin = t * 5 * kPi;
  for (int strand = 0; strand < 2; ++strand) {
    for (int i = 0; i < 22; ++i) {
      double s = i / 21.0;  // 0 top .. 1 bottom
      double y = cy + (s - 0.5) * 170 * (1 - 0.55 * t);
      double radius = (34 - 22 * t) * (0.35 + 0.65 * std::sin(kPi * s));
      double a = spin + s * 3 * kPi + strand * kPi;
      double x = cx + radius * std::cos(a);
      double depth = 0.55 + 0.45 * std::sin(a);  // nearer sparks are brighter
      Rgb c = strand ? Hex(0x40E0FF) : Hex(0xFF50F0);
      Glow(cr, x, y, 3.5 + 2 * depth, c, env * depth);
      Glow(cr, x, y, 1.4, Hex(0xFFFFFF), env * depth);
    }
  }
  // The flash as the bonus arrives, then its halo.
  double flash = std::exp(-std::pow((t - 0.5) / 0.08, 2));
  Glow(cr, cx, cy, 10 + 26 * flash, Hex(0xFFFFFF), 0.35 + 0.65 * flash * env);
  Glow(cr, cx, cy, 20, Hex(0xA080FF), 0.6 * env);
  return img;
}

// A bonus tile: 32 by 32, opaque, a dark rounded plate with a border in the bonus's role
// colour; icon drawn by fn inside.
template <typename Fn>
Image BonusTile(uint32_t border, Fn fn) {
  Image img(32, 32);
  cairo_t* cr = img.cr();
  Rgb b = Hex(border);
  Image glow(32, 32);
  SetRgb(glow.cr(), b);
  cairo_set_line_width(glow.cr(), 3);
  cairo_rectangle(glow.cr(), 3, 3, 26, 26);
  cairo_stroke(glow.cr());
  PaintGlow(cr, glow, 2, 0.9);
  cairo_pattern_t* p = cairo_pattern_create_linear(0, 3, 0, 29);
  cairo_pattern_add_color_stop_rgb(p, 0, 0.10, 0.12, 0.22);
  cairo_pattern_add_color_stop_rgb(p, 1, 0.03, 0.04, 0.09);
  cairo_set_source(cr, p);
  RoundedRectPath(cr, 2.5, 2.5, 27, 27, 5);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(p);
  SetRgb(cr, Mix(b, Hex(0xFFFFFF), 0.3));
  cairo_set_line_width(cr, 1.5);
  cairo_stroke(cr);
  cairo_save(cr);
  fn(cr);
  cairo_restore(cr);
  return img;
}

void CherryIcon(cairo_t* cr, int frame) {
  double sway = frame == 2 ? 1.0 : 0;
  SetRgb(cr, Hex(0x50D040));
  cairo_set_line_width(cr, 1.5);
  cairo_move_to(cr, 11 + sway, 19);
  cairo_curve_to(cr, 12, 13, 15, 9, 19, 7);
  cairo_move_to(cr, 21 - sway * 0.5, 20);
  cairo_curve_to(cr, 21, 14, 20, 10, 19, 7);
  cairo_stroke(cr);
  cairo_move_to(cr, 19, 7);
  cairo_curve_to(cr, 22, 4, 25, 6, 26, 8);
  cairo_curve_to(cr, 23, 10, 21, 9, 19, 7);
  cairo_fill(cr);
  Ball(cr, 11 + sway, 21, 5.2, Hex(0xE01030), Hex(0xFFA0B0));
  Ball(cr, 21 - sway * 0.5, 22, 5.2, Hex(0xE01030), Hex(0xFFA0B0));
  SetRgb(cr, Hex(0xFFFFFF), 0.9);
  cairo_arc(cr, 9.5 + sway + (frame == 2 ? 0.6 : 0), 19.5, 1.1, 0, 2 * kPi);
  cairo_fill(cr);
}

void FlameIcon(cairo_t* cr, double cx, double base, double h, int frame) {
  double lean[] = {0, 1.5, -1.5};
  double l = lean[(frame - 1) % 3];
  auto flame = [&](double w, double hh, Rgb c) {
    SetRgb(cr, c);
    cairo_move_to(cr, cx, base);
    cairo_curve_to(cr, cx - w, base, cx - w, base - hh * 0.5, cx + l, base - hh);
    cairo_curve_to(cr, cx + w, base - hh * 0.5, cx + w, base, cx, base);
    cairo_fill(cr);
  };
  flame(8.5, h, Hex(0xFF4010));
  flame(6, h * 0.72, Hex(0xFF9A20));
  flame(3.5, h * 0.45, Hex(0xFFF0A0));
}

void HeartPath(cairo_t* cr, double cx, double cy, double s) {
  cairo_move_to(cr, cx, cy + 7 * s);
  cairo_curve_to(cr, cx - 10 * s, cy, cx - 7 * s, cy - 8 * s, cx, cy - 3.5 * s);
  cairo_curve_to(cr, cx + 7 * s, cy - 8 * s, cx + 10 * s, cy, cx, cy + 7 * s);
  cairo_close_path(cr);
}

void Chevrons(cairo_t* cr, bool up, double shift, Rgb c) {
  SetRgb(cr, c);
  cairo_set_line_width(cr, 3);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  for (int i = 0; i < 2; ++i) {
    double y = 12.5 + 7 * i + (up ? -shift : shift);
    double d = up ? 1 : -1;  // which way the points face
    cairo_move_to(cr, 9, y + 3.5 * d);
    cairo_line_to(cr, 16, y - 3.5 * d);
    cairo_line_to(cr, 23, y + 3.5 * d);
  }
  cairo_stroke(cr);
}

void Prohibit(cairo_t* cr, double glow) {
  SetRgb(cr, Hex(0xFF2030), 0.85 + 0.15 * glow);
  cairo_set_line_width(cr, 2.2 + glow * 0.6);
  cairo_arc(cr, 16, 16, 10.5, 0, 2 * kPi);
  cairo_move_to(cr, 16 - 7.4, 16 - 7.4);
  cairo_line_to(cr, 16 + 7.4, 16 + 7.4);
  cairo_stroke(cr);
}

Image BonusPicture(const std::string& name) {
  auto frame_of = [&](void) { return name.back() - '0'; };
  const int f = frame_of();
  if (name.rfind("bomb", 0) == 0) {
    return BonusTile(0xFF6020, [&](cairo_t* cr) {
      Ball(cr, 15, 18, 7.5, Hex(0x3A4660), Hex(0xB8C8F0));
      SetRgb(cr, Hex(0xD8B070));
      cairo_set_line_width(cr, 1.4);
      cairo_move_to(cr, 20, 12);
      cairo_curve_to(cr, 22, 9, 24, 10, 24, 7);
      cairo_stroke(cr);
      cairo_set_operator(cr, CAIRO_OPERATOR_ADD);
      double r[] = {3, 4.5, 3.8};
      Glow(cr, 24, 7, r[f - 1] + 1.5, Hex(0xFFA020), 1);
      Glow(cr, 24, 7, r[f - 1] * 0.5, Hex(0xFFFFFF), 1);
    });
  }
  if (name.rfind("cherry", 0) == 0)
    return BonusTile(0x30FF80, [&](cairo_t* cr) { CherryIcon(cr, f); });
  if (name.rfind("fire", 0) == 0)
    return BonusTile(0xFF6020, [&](cairo_t* cr) { FlameIcon(cr, 16, 26, 19, f); });
  if (name.rfind("heart", 0) == 0) {
    return BonusTile(0x30FF80, [&](cairo_t* cr) {
      double s = f == 2 ? 1.12 : 1.0;
      HeartPath(cr, 16, 16.5, s);
      cairo_pattern_t* p = cairo_pattern_create_radial(13, 12, 1, 16, 16, 11);
      cairo_pattern_add_color_stop_rgb(p, 0, 1, 0.6, 0.7);
      cairo_pattern_add_color_stop_rgb(p, 0.5, 1, 0.1, 0.3);
      cairo_pattern_add_color_stop_rgb(p, 1, 0.6, 0, 0.12);
      cairo_set_source(cr, p);
      cairo_fill(cr);
      cairo_pattern_destroy(p);
    });
  }
  if (name.rfind("poison", 0) == 0) {
    return BonusTile(0xB040FF, [&](cairo_t* cr) {
      // A flask of green poison with rising bubbles.
      cairo_move_to(cr, 13.5, 7);
      cairo_line_to(cr, 18.5, 7);
      cairo_line_to(cr, 18.5, 12);
      cairo_curve_to(cr, 25, 14, 25, 26, 16, 26);
      cairo_curve_to(cr, 7, 26, 7, 14, 13.5, 12);
      cairo_close_path(cr);
      SetRgb(cr, Hex(0xC8D0E0));
      cairo_set_line_width(cr, 1.3);
      cairo_stroke_preserve(cr);
      cairo_save(cr);
      cairo_clip(cr);
      cairo_pattern_t* p = cairo_pattern_create_linear(0, 15, 0, 26);
      cairo_pattern_add_color_stop_rgb(p, 0, 0.6, 1, 0.3);
      cairo_pattern_add_color_stop_rgb(p, 1, 0.1, 0.55, 0.1);
      cairo_set_source(cr, p);
      cairo_rectangle(cr, 0, 16, 32, 12);
      cairo_fill(cr);
      cairo_pattern_destroy(p);
      cairo_restore(cr);
      SetRgb(cr, Hex(0xE8FFD0));
      double b = f == 2 ? -2 : 0;
      cairo_arc(cr, 14, 21 + b, 1.3, 0, 2 * kPi);
      cairo_fill(cr);
      cairo_arc(cr, 18, 18.5 - b * 0.5, 1, 0, 2 * kPi);
      cairo_fill(cr);
      SetRgb(cr, Hex(0xA06030));
      cairo_rectangle(cr, 13, 4.5, 6, 3);
      cairo_fill(cr);
    });
  }
  if (name.rfind("b_up", 0) == 0)
    return BonusTile(0x30FF80,
                     [&](cairo_t* cr) { Chevrons(cr, true, f == 2 ? 2 : 0, Hex(0x60FF90)); });
  if (name.rfind("b_down", 0) == 0)
    return BonusTile(0xFFB020,
                     [&](cairo_t* cr) { Chevrons(cr, false, f == 2 ? 2 : 0, Hex(0xFFC040)); });
  if (name.rfind("b_digger", 0) == 0) {
    return BonusTile(0xFF6020, [&](cairo_t* cr) {
      cairo_translate(cr, 16 - 35 * 0.42, 16 - 32 * 0.42);
      cairo_scale(cr, 0.42, 0.42);
      Image d = Digger(f);
      cairo_set_source_surface(cr, d.surface(), 0, 0);
      cairo_paint(cr);
    });
  }
  if (name.rfind("b_xonix", 0) == 0) {
    return BonusTile(0xFF6020, [&](cairo_t* cr) {
      // A wall being built across: bricks up to the walker.
      double end = 8 + f * 4;
      SetRgb(cr, Hex(0xE8ECF8));
      for (int row = 0; row < 3; ++row)
        for (double x = 6 - (row % 2) * 3; x < end; x += 6) {
          double x0 = std::max(6.0, x), x1 = std::min(end, x + 5);
          if (x1 > x0) cairo_rectangle(cr, x0, 10.5 + row * 4, x1 - x0, 3);
        }
      cairo_fill(cr);
      cairo_set_operator(cr, CAIRO_OPERATOR_ADD);
      Glow(cr, end + 1.5, 16, 6, Hex(0x60E0FF), 1);
      Glow(cr, end + 1.5, 16, 2.5, Hex(0xFFFFFF), 1);
    });
  }
  if (name.rfind("b_no_rocket", 0) == 0) {
    return BonusTile(0x30FF80, [&](cairo_t* cr) {
      cairo_translate(cr, 16, 16);
      cairo_rotate(cr, -kPi / 4);
      cairo_scale(cr, 0.45, 0.45);
      cairo_translate(cr, -29, -24);
      Image r = Rocket(f);
      cairo_set_source_surface(cr, r.surface(), 0, 0);
      cairo_paint(cr);
      cairo_identity_matrix(cr);
      Prohibit(cr, f == 2 ? 1 : 0);
    });
  }
  // b_no_virus
  return BonusTile(0x30FF80, [&](cairo_t* cr) {
    cairo_translate(cr, 16, 16);
    cairo_scale(cr, 0.75, 0.75);
    cairo_translate(cr, -12, -12);
    Image v = Virus(f + 2, Hex(0x40FF40));
    cairo_set_source_surface(cr, v.surface(), 0, 0);
    cairo_paint(cr);
    cairo_identity_matrix(cr);
    Prohibit(cr, f == 2 ? 1 : 0);
  });
}

// Frame k (0..23) of the teleport beam, 48 by 96.
Image Teleport(int k) {
  Image img(48, 96);
  cairo_t* cr = img.cr();
  cairo_set_operator(cr, CAIRO_OPERATOR_ADD);
  const double t = k / 23.0;
  const double env = std::sin(kPi * std::min(1.0, 0.1 + t * 0.95));
  const double cx = 24, cy = 48;
  // Beam.
  double w = 2 + 6 * env;
  cairo_pattern_t* p = cairo_pattern_create_linear(cx - w * 2, 0, cx + w * 2, 0);
  cairo_pattern_add_color_stop_rgba(p, 0, 0, 0.5, 1, 0);
  cairo_pattern_add_color_stop_rgba(p, 0.5, 0.8, 1, 1, 0.8 * env);
  cairo_pattern_add_color_stop_rgba(p, 1, 0, 0.5, 1, 0);
  cairo_set_source(cr, p);
  cairo_rectangle(cr, cx - w * 2, 2, w * 4, 92);
  cairo_fill(cr);
  cairo_pattern_destroy(p);
  // Rings sliding down the beam.
  for (int i = 0; i < 4; ++i) {
    double s = std::fmod(t * 2 + i / 4.0, 1.0);
    double y = 8 + s * 80;
    double a = env * std::sin(kPi * s);
    cairo_save(cr);
    cairo_translate(cr, cx, y);
    cairo_scale(cr, 1, 0.3);
    SetRgb(cr, Hex(0x60F0FF), a);
    cairo_set_line_width(cr, 3);
    cairo_arc(cr, 0, 0, 9 + 6 * env, 0, 2 * kPi);
    cairo_stroke(cr);
    cairo_restore(cr);
  }
  // Sparkles.
  Noise n(1000 + k);
  for (int i = 0; i < 10; ++i) {
    double x = cx + n.Range(-14, 14) * env, y = n.Range(10, 86);
    Glow(cr, x, y, 2.5, Hex(0xC0FFFF), env * n.Unit());
  }
  Glow(cr, cx, cy, 16, Hex(0xFFFFFF), 0.5 * env);
  return img;
}

// ---------------------------------------------------------------- logos

// The game's name in big neon letters, a worm trail underneath, into a w by h picture
// with the word centred on (cx, cy).
void Wordmark(Image& img, double cx, double cy, double px) {
  cairo_t* cr = img.cr();
  TextShape t = MakeText(cr, "TANDRIX", "League Spartan Black", px, px * 0.06);
  const double x = cx - t.ink_w / 2 - t.ink_x;
  const double top = cy - t.ink_h / 2 - t.ink_y;
  auto path = [&](cairo_t* c) {
    cairo_save(c);
    cairo_translate(c, x, top);
    cairo_move_to(c, 0, 0);
    pango_cairo_layout_path(c, t.layout);
    cairo_restore(c);
  };
  // Glow in magenta and cyan.
  Image glow(img.width(), img.height());
  path(glow.cr());
  cairo_pattern_t* gp = cairo_pattern_create_linear(cx - t.ink_w / 2, 0, cx + t.ink_w / 2, 0);
  cairo_pattern_add_color_stop_rgb(gp, 0, 1, 0.1, 0.8);
  cairo_pattern_add_color_stop_rgb(gp, 1, 0.0, 0.75, 1);
  cairo_set_source(glow.cr(), gp);
  cairo_set_line_width(glow.cr(), px * 0.16);
  cairo_stroke_preserve(glow.cr());
  cairo_fill(glow.cr());
  PaintGlow(cr, glow, static_cast<int>(px * 0.14), 1.0);
  // Outline.
  path(cr);
  cairo_set_source(cr, gp);
  cairo_set_line_width(cr, px * 0.07);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_stroke_preserve(cr);
  cairo_pattern_destroy(gp);
  // Fill: white to a pale lilac.
  cairo_pattern_t* fp = cairo_pattern_create_linear(0, cy - t.ink_h / 2, 0, cy + t.ink_h / 2);
  cairo_pattern_add_color_stop_rgb(fp, 0, 1, 1, 1);
  cairo_pattern_add_color_stop_rgb(fp, 0.55, 0.95, 0.9, 1);
  cairo_pattern_add_color_stop_rgb(fp, 1, 0.75, 0.85, 1);
  cairo_set_source(cr, fp);
  cairo_fill(cr);
  cairo_pattern_destroy(fp);
  img.AddText("TANDRIX", x + t.ink_x, top + t.ink_y, x + t.ink_x + t.ink_w,
              top + t.ink_y + t.ink_h);
  // A worm trail under the word, ending in a glowing head.
  const double ty = cy + t.ink_h / 2 + px * 0.2;
  const double x0 = cx - t.ink_w / 2, x1 = cx + t.ink_w / 2;
  Image trail(img.width(), img.height());
  cairo_t* tc = trail.cr();
  cairo_move_to(tc, x0, ty);
  cairo_curve_to(tc, x0 + (x1 - x0) * 0.3, ty + px * 0.12, x0 + (x1 - x0) * 0.6, ty - px * 0.12,
                 x1 - px * 0.2, ty);
  SetRgb(tc, Hex(0x30FF60));
  cairo_set_line_width(tc, px * 0.07);
  cairo_set_line_cap(tc, CAIRO_LINE_CAP_ROUND);
  cairo_stroke_preserve(tc);
  Image trail_glow(img.width(), img.height());
  cairo_set_source_surface(trail_glow.cr(), trail.surface(), 0, 0);
  cairo_paint(trail_glow.cr());
  PaintGlow(cr, trail_glow, static_cast<int>(px * 0.1), 1.0);
  cairo_set_source_surface(cr, trail.surface(), 0, 0);
  cairo_paint(cr);
  Glow(cr, x1 - px * 0.2, ty, px * 0.22, Hex(0x80FF90), 1.0);
  SetRgb(cr, Hex(0xE0FFE0));
  cairo_arc(cr, x1 - px * 0.2, ty, px * 0.07, 0, 2 * kPi);
  cairo_fill(cr);
  g_object_unref(t.layout);
}

Image TitleLogo() {
  // Shown 256 by 256 over the menus and 128 by 128 in the corner during play: only the
  // band from row 16 to 96 carries the logo, so the menu words and the arena stay clear.
  Image img(256, 256);
  Wordmark(img, 128, 42, 44);
  cairo_t* cr = img.cr();
  TextShape t = MakeText(cr, "WORMS  DEATHMATCH", kWordFont, 11, 2.5);
  NeonStyle s{Hex(0xFFFFFF), Hex(0xBFF8FF), Hex(0x00D8FF), Hex(0x0090FF), 1.2, 2, 0.8};
  DrawNeonText(img, "WORMS  DEATHMATCH", kWordFont, 11, 128 - t.logical_w / 2, 82, s, 1.0, 2.5);
  g_object_unref(t.layout);
  return img;
}

Image SmallLogo() {
  Image img(256, 64);
  Wordmark(img, 128, 28, 36);
  return img;
}

}  // namespace

void MakeSprites(Output& out) {
  out.AddPreload("empty", "GLML1");
  out.AddGfx("logo.bmp", "glmllogo", "logo", SmallLogo(), AlphaRule::SuperBlack);
  out.AddGfx("tandrix.bmp", "glmlzorbel", "zorbel", TitleLogo(), AlphaRule::SuperBlack);

  // glmlshots, in catalogue order (the loading screen spells the library GLMLshots).
  const char* shots = "GLMLshots";
  out.AddGfx("rip.bmp", shots, "rip", Rip(), AlphaRule::SuperBlack);
  out.AddGfx("shot.bmp", shots, "shot", Shot(), AlphaRule::SuperBlack);
  out.AddGfx("fire_ball.bmp", shots, "fire_ball", FireBall(), AlphaRule::SuperBlack);
  out.AddGfx("tripple.bmp", shots, "tripple", Tripple(), AlphaRule::SuperBlack);
  out.AddGfx("laserv.bmp", shots, "laserv", Laser(true), AlphaRule::SuperBlack);
  out.AddGfx("laserh.bmp", shots, "laserh", Laser(false), AlphaRule::SuperBlack);
  for (int d = 1; d <= 9; ++d) {
    for (int l = 0; l < 12; ++l) {
      std::string name = "virus" + std::to_string(d) + static_cast<char>('a' + l);
      out.AddGfx(name + ".bmp", shots, name, Virus(d, Hex(kSlotColour[l])), AlphaRule::SuperBlack);
    }
  }
  for (int f = 1; f <= 3; ++f) {
    std::string name = "rocket" + std::to_string(f);
    out.AddGfx(name + ".bmp", shots, name, Rocket(f), AlphaRule::SuperBlack);
  }
  out.AddGfx("target.bmp", shots, "target", Target(), AlphaRule::SuperBlack);
  for (int f = 1; f <= 3; ++f) {
    std::string name = "digger" + std::to_string(f);
    out.AddGfx(name + ".bmp", shots, name, Digger(f), AlphaRule::SuperBlack);
  }
  for (int f = 1; f <= 3; ++f) {
    std::string name = "s_bomb_" + std::to_string(f);
    out.AddGfx(name + ".bmp", shots, name, SmallBomb(f), AlphaRule::SuperBlack);
  }
  for (int f = 1; f <= 4; ++f) {
    std::string name = "x_bomb_" + std::to_string(f);
    out.AddGfx(name + ".bmp", shots, name, BombBlast(f), AlphaRule::SuperBlack);
  }

  for (int n = 1, k = 0; n <= 99; n += 2, ++k)
    out.AddGfx("atomic0" + Num(n, 2) + ".bmp", "GLMLatomic", Num(n, 2), Atomic(k),
               AlphaRule::SqrtLuminance);
  for (int n = 0; n <= 24; ++n)
    out.AddGfx("e0001_" + Num(n, 3) + ".bmp", "glmlrocket", Num(n, 3), RocketBlast(n),
               AlphaRule::SqrtLuminance);
  for (int n = 0; n <= 47; ++n)
    out.AddGfx("myst" + Num(n, 2) + ".bmp", "glmlmyst", Num(n, 2), Swirl(n),
               AlphaRule::SqrtLuminance);
  const char* bonus[] = {
      "bomb1",         "bomb2",        "bomb3",        "cherry1",       "cherry2",
      "fire1",         "fire2",        "fire3",        "heart1",        "heart2",
      "poison1",       "poison2",      "b_up_1",       "b_up_2",        "b_down_1",
      "b_down_2",      "b_digger_1",   "b_digger_2",   "b_digger_3",    "b_xonix_1",
      "b_xonix_2",     "b_xonix_3",    "b_xonix_4",    "b_no_rocket_1", "b_no_rocket_2",
      "b_no_rocket_3", "b_no_virus_1", "b_no_virus_2", "b_no_virus_3"};
  for (const char* b : bonus)
    out.AddGfx(std::string(b) + ".bmp", "glmlmyst", b, BonusPicture(b), AlphaRule::Opaque);
  // The loading screen has no spelling for GLMLtele: these entries only name the
  // material, which is what the game does with an unknown library.
  for (int n = 0; n <= 23; ++n)
    out.AddGfx("tele" + Num(n, 2) + ".bmp", "GLMLtele", "tele" + Num(n, 2), Teleport(n),
               AlphaRule::SqrtLuminance);
}

}  // namespace gfx
