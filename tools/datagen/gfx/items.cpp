// The pictures of items.pak: every word the game shows, the ticker letters, digits, colour
// squares, team badges, the about screen, the credits and the start-position previews.
//
// Sizes follow the screens: a word is 16 pixels high, because the set-up table has a row
// every 16 pixels and shows its words at scale 1.0; bigger uses scale the same picture.
#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "match/arena/start_positions.h"
#include "match/random.h"
#include "menu/setup_help.h"
#include "output.h"
#include "players/key_codes.h"

namespace gfx {
namespace {

constexpr double kPi = M_PI;
constexpr int kWordHeight = 16;
constexpr double kWordPx = 14.5;   // font size giving capitals about 10 pixels high
constexpr double kTracking = 0.6;  // letter spacing, pixels

// Colours by role, the same on every screen.
enum class Role { Menu, Off, Label, Message, Warning, Number, Ready, Credit };

NeonStyle StyleOf(Role role) {
  switch (role) {
    case Role::Menu: return {Hex(0xFFFFFF), Hex(0xB8F6FF), Hex(0x00C8FF), Hex(0x0078FF)};
    case Role::Off: return {Hex(0xE4E8F4), Hex(0x9AA6C4), Hex(0x4A5A90), Hex(0x283C88)};
    case Role::Label: return {Hex(0xFFFFFF), Hex(0xC4FFD6), Hex(0x20E070), Hex(0x00B050)};
    case Role::Message: return {Hex(0xFFFFFF), Hex(0xFFCCF4), Hex(0xFF30D0), Hex(0xB000FF)};
    case Role::Warning: return {Hex(0xFFFFFF), Hex(0xFFDDB0), Hex(0xFF7A10), Hex(0xFF3000)};
    case Role::Number: return {Hex(0xFFFFFF), Hex(0xFFEFA8), Hex(0xFFB000), Hex(0xFF7000)};
    case Role::Ready: return {Hex(0xFFFFFF), Hex(0xDDFFC0), Hex(0x70F020), Hex(0x30C000)};
    case Role::Credit:
      return {Hex(0xE8ECF8), Hex(0xB0BCD8), Hex(0x5060A0), Hex(0x303C80), 1.2, 1, 0.6};
  }
  return {};
}

// Slot colours (red, green, blue) and their names as the game writes them.
constexpr uint32_t kSlotColour[12] = {0x00FF00, 0xFF0000, 0x0000FF, 0x00FFFF, 0xFFFF00, 0xFF00FF,
                                      0x00FF80, 0x0080FF, 0x808080, 0xFF8000, 0xFF0080, 0x8000FF};
std::string ColourName(int slot) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "c%06x", kSlotColour[slot]);
  return buf;
}

// Capital-letter metrics of the word font, measured once.
struct CapMetrics {
  double cap_top = 0;  // from the layout's baseline, negative upwards
  double cap_h = 0;
};
CapMetrics MeasureCaps(double px) {
  Image probe(4, 4);
  TextShape t = MakeText(probe.cr(), "H", kWordFont, px);
  CapMetrics m;
  m.cap_top = t.ink_y - t.baseline;
  m.cap_h = t.ink_h;
  g_object_unref(t.layout);
  return m;
}

// The baseline that centres capitals of size px in a picture h high, shifted by dy.
double CentredBaseline(double px, double h, double dy = 0) {
  CapMetrics m = MeasureCaps(px);
  return h / 2 + m.cap_h / 2 + dy;
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// The hit box of a word: from its top-left corner to the far edge of its solid ink.
void HitOf(Image& img, int* w, int* h) {
  Box b = AlphaBox(img, 128);
  *w = b.empty() ? img.width() : b.x1 + 1;
  *h = b.empty() ? img.height() : b.y1 + 1;
}

// A word picture: capitals in the neon style, 16 pixels high, squeezed to max_w if set;
// exactly max_w wide when exact is set.
Image Word(const std::string& text, Role role, double max_w = 0, bool exact = false) {
  const NeonStyle style = StyleOf(role);
  const double pad = exact ? 3 : 4;
  Image probe(4, 4);
  TextShape t = MakeText(probe.cr(), text, kWordFont, kWordPx, kTracking);
  double ink_w = t.ink_w;
  g_object_unref(t.layout);
  double sx = 1.0;
  if (max_w > 0 && ink_w + 2 * pad > max_w)
    sx = std::max(exact ? 0.5 : 0.6, (max_w - 2 * pad) / ink_w);
  const int w = exact ? static_cast<int>(max_w) : static_cast<int>(std::ceil(ink_w * sx + 2 * pad));
  Image img(w, kWordHeight);
  const double x = exact ? (w - ink_w * sx) / 2 : pad;
  DrawNeonText(img, text, kWordFont, kWordPx, x - t.ink_x * sx,
               CentredBaseline(kWordPx, kWordHeight), style, sx, kTracking);
  return img;
}

// How the ticker draws a letter: at 1.6 times the size its table entry gives, its centre
// 0.8 of its own width after the previous letter's; "i", "j" and "k" are pushed sideways
// and "b", "d", "q" stretched. Since the spacing follows only the letter before, letters
// share one cell width (the ticker reads like a marquee), and each picture is drawn so
// that the sideways pushes and stretches cancel. The same picture serves as the key name
// in the set-up table.
constexpr int kLetterCell = 22;
constexpr double kLetterMaxInk = 10;
Image Letter(char c) {
  const NeonStyle style = StyleOf(Role::Menu);
  const std::string text(1, static_cast<char>(std::toupper(c)));
  Image probe(4, 4);
  TextShape t = MakeText(probe.cr(), text, kWordFont, kWordPx);
  const double sx = std::min(1.0, kLetterMaxInk / t.ink_w);
  const double g = t.ink_w * sx;
  double shift_px = 0;  // ticker pixels the game moves this letter
  if (c == 'i') shift_px = -5;
  if (c == 'j') shift_px = -4;
  if (c == 'k') shift_px = 3;
  const double offset = -shift_px / 1.6;  // picture pixels that undo it
  const int iw = kLetterCell;
  Image img(iw, kWordHeight);
  // Height factors of the ticker and the one-pixel drop of "b".
  double k = 1.0, drop = 0;
  if (c == 'b') k = 1.15, drop = 1;
  if (c == 'd') k = 1.1;
  if (c == 'q') k = 0.85;
  Image glyph(iw, kWordHeight);
  DrawNeonText(glyph, text, kWordFont, kWordPx, iw / 2.0 + offset - g / 2 - t.ink_x * sx,
               CentredBaseline(kWordPx, kWordHeight), style, sx);
  cairo_t* cr = img.cr();
  const double h = kWordHeight;
  auto place = [&](double lift) {
    cairo_identity_matrix(cr);
    cairo_translate(cr, 0, h / 2 - drop / (1.6 * k) - lift);
    cairo_scale(cr, 1, 1 / k);
    cairo_translate(cr, 0, -h / 2);
  };
  place(0);
  // Stretched to undo the ticker's squeeze, the tail of the "q" would hang below the
  // picture and be cut off: lift it by what sticks out.
  double below = 0;
  for (const TextBox& b : glyph.texts()) {
    double x = b.x1, y = b.y1;
    cairo_user_to_device(cr, &x, &y);
    below = std::max(below, y - h);
  }
  if (below > 0) place(below);
  cairo_set_source_surface(cr, glyph.surface(), 0, 0);
  cairo_paint(cr);
  img.AddTextsOf(glyph);
  cairo_identity_matrix(cr);
  g_object_unref(t.layout);
  return img;
}

// Digits are square (the display stretches them to 32 by 32 and 24 by 24, 12 and 8
// pixels apart) and narrow, with the figure a little above the middle so a row number
// in the set-up table lines up with the words beside it.
Image Digit(char c) {
  Image img(16, 16);
  const std::string text(1, c);
  Image probe(4, 4);
  TextShape t = MakeText(probe.cr(), text, kWordFont, kWordPx);
  const double sx = std::min(1.0, 5.6 / t.ink_w);
  DrawNeonText(img, text, kWordFont, kWordPx, 8 - (t.ink_x + t.ink_w / 2) * sx,
               CentredBaseline(kWordPx, 16, -1.5), StyleOf(Role::Number), sx);
  g_object_unref(t.layout);
  return img;
}

// Row numbers 10 to 12 of the set-up table, as narrow as the digits beside them.
Image Number(const std::string& text) {
  Image probe(4, 4);
  TextShape t = MakeText(probe.cr(), text, kWordFont, kWordPx, 1.0);
  const double sx = 0.75;
  const int w = static_cast<int>(std::ceil(t.ink_w * sx + 6));
  Image img(w, 16);
  DrawNeonText(img, text, kWordFont, kWordPx, 3 - t.ink_x * sx, CentredBaseline(kWordPx, 16, -1.5),
               StyleOf(Role::Number), sx, 1.0);
  g_object_unref(t.layout);
  return img;
}

// The clock's colon: the display puts it at x 611, three pixels right of the hour's last
// digit, so the dots sit near the right edge of the picture, between the two digits.
Image Colon() {
  Image img(16, 16);
  NeonStyle s = StyleOf(Role::Number);
  DrawNeonPath(
      img,
      [](cairo_t* cr) {
        cairo_new_sub_path(cr);
        cairo_arc(cr, 13.2, 9.0, 1.4, 0, 2 * kPi);
        cairo_new_sub_path(cr);
        cairo_arc(cr, 13.2, 14.0, 1.4, 0, 2 * kPi);
      },
      s);
  return img;
}

// A slot's colour square: a glossy tile in the worm's colour.
Image ColourSquare(uint32_t rgb) {
  Image img(16, 16);
  cairo_t* cr = img.cr();
  Rgb c = Hex(rgb);
  Image glow(16, 16);
  SetRgb(glow.cr(), c);
  cairo_rectangle(glow.cr(), 2, 2, 12, 12);
  cairo_fill(glow.cr());
  PaintGlow(cr, glow, 2, 0.8);
  cairo_pattern_t* p = cairo_pattern_create_linear(0, 2.5, 0, 13.5);
  Rgb top = Mix(c, Hex(0xFFFFFF), 0.55), bottom = Mix(c, Rgb{}, 0.25);
  cairo_pattern_add_color_stop_rgb(p, 0, top.r, top.g, top.b);
  cairo_pattern_add_color_stop_rgb(p, 0.5, c.r, c.g, c.b);
  cairo_pattern_add_color_stop_rgb(p, 1, bottom.r, bottom.g, bottom.b);
  cairo_set_source(cr, p);
  RoundedRectPath(cr, 2.5, 2.5, 11, 11, 2.5);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(p);
  SetRgb(cr, Mix(c, Hex(0xFFFFFF), 0.7));
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
  return img;
}

// Team badges "1c" .. "4c": the team's number on a pill in the team's colour.
Image TeamBadge(int team) {
  const uint32_t colours[4] = {0xFF3A5C, 0x3A8CFF, 0x3AFF7A, 0xFFD23A};
  Rgb c = Hex(colours[team - 1]);
  Image img(26, 16);
  cairo_t* cr = img.cr();
  auto pill = [](cairo_t* k) {
    cairo_new_sub_path(k);
    cairo_arc(k, 8.5, 8, 5.5, kPi / 2, 3 * kPi / 2);
    cairo_arc(k, 17.5, 8, 5.5, -kPi / 2, kPi / 2);
    cairo_close_path(k);
  };
  Image glow(26, 16);
  pill(glow.cr());
  SetRgb(glow.cr(), c);
  cairo_set_line_width(glow.cr(), 3);
  cairo_stroke(glow.cr());
  PaintGlow(cr, glow, 2, 0.9);
  pill(cr);
  SetRgb(cr, Mix(c, Rgb{}, 0.6), 0.9);
  cairo_fill_preserve(cr);
  SetRgb(cr, Mix(c, Hex(0xFFFFFF), 0.25));
  cairo_set_line_width(cr, 1.5);
  cairo_stroke(cr);
  const std::string text = std::to_string(team);
  TextShape t = MakeText(cr, text, kWordFont, 11.5);
  const double tx = 13 - t.ink_x - t.ink_w / 2, ty = 8 + MeasureCaps(11.5).cap_h / 2 - t.baseline;
  cairo_move_to(cr, tx, ty);
  SetRgb(cr, Hex(0xFFFFFF));
  pango_cairo_show_layout(cr, t.layout);
  img.AddText(text, tx + t.ink_x, ty + t.ink_y, tx + t.ink_x + t.ink_w, ty + t.ink_y + t.ink_h);
  g_object_unref(t.layout);
  return img;
}

// The set-up table's mark on a key that two bindings share: a frame in the warning colour
// round the key's 73-pixel cell, open inside so the key's name shows through.
Image SharedKeyFrame() {
  constexpr int kW = 72, kH = 16;
  const Rgb c = Hex(0xFF5A10);
  Image img(kW, kH);
  Image glow(kW, kH);
  RoundedRectPath(glow.cr(), 1.5, 1.5, kW - 3, kH - 3, 3);
  SetRgb(glow.cr(), c);
  cairo_set_line_width(glow.cr(), 2);
  cairo_stroke(glow.cr());
  PaintGlow(img.cr(), glow, 1, 0.9);
  RoundedRectPath(img.cr(), 1.5, 1.5, kW - 3, kH - 3, 3);
  SetRgb(img.cr(), Mix(c, Hex(0xFFFFFF), 0.35));
  cairo_set_line_width(img.cr(), 1.2);
  cairo_stroke(img.cr());
  return img;
}

// The backdrop of every pop-up and of the about screen: a dark blue panel, stretched to
// the pop-up's size and shown at 0.6 opacity.
Image Backdrop() {
  Image img(32, 32);
  cairo_pattern_t* p = cairo_pattern_create_linear(0, 0, 0, 32);
  cairo_pattern_add_color_stop_rgb(p, 0, 0.05, 0.07, 0.18);
  cairo_pattern_add_color_stop_rgb(p, 1, 0.01, 0.02, 0.07);
  cairo_set_source(img.cr(), p);
  cairo_paint(img.cr());
  cairo_pattern_destroy(p);
  return img;
}

// Plain small text for the about screen and the credits, wrapped at `width` when given.
// Returns the bottom of its ink, for laying out what comes below.
double Body(Image& img, const std::string& markup, double x, double y, double px, Rgb c,
            double width = 0, const char* font = kBodyFont) {
  cairo_t* cr = img.cr();
  PangoLayout* l = pango_cairo_create_layout(cr);
  cairo_font_options_t* fo = cairo_font_options_create();
  cairo_font_options_set_hint_style(fo, CAIRO_HINT_STYLE_SLIGHT);
  cairo_font_options_set_hint_metrics(fo, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_antialias(fo, CAIRO_ANTIALIAS_GRAY);
  pango_cairo_context_set_font_options(pango_layout_get_context(l), fo);
  cairo_font_options_destroy(fo);
  PangoFontDescription* d = pango_font_description_from_string(font);
  pango_font_description_set_absolute_size(d, px * PANGO_SCALE);
  pango_layout_set_font_description(l, d);
  pango_font_description_free(d);
  if (width > 0) {
    pango_layout_set_width(l, static_cast<int>(width * PANGO_SCALE));
    pango_layout_set_wrap(l, PANGO_WRAP_WORD);
  }
  pango_layout_set_markup(l, markup.c_str(), -1);
  SetRgb(cr, c);
  cairo_move_to(cr, x, y);
  pango_cairo_show_layout(cr, l);
  PangoRectangle ink, logical;
  pango_layout_get_pixel_extents(l, &ink, &logical);
  img.AddText(pango_layout_get_text(l), x + ink.x, y + ink.y, x + ink.x + ink.width,
              y + ink.y + ink.height);
  g_object_unref(l);
  return y + ink.y + ink.height;
}

// A heading in the neon style, drawn straight onto a larger picture at (x, baseline).
void Heading(Image& img, const std::string& text, double x, double baseline, double px, Role role) {
  DrawNeonText(img, text, kWordFont, px, x, baseline, StyleOf(role), 1.0, px * 0.05);
}

// The about screen, 512 by 336: it fills the pop-up frame exactly.
Image AboutPicture() {
  Image img(512, 336);
  cairo_t* cr = img.cr();
  cairo_pattern_t* p = cairo_pattern_create_linear(0, 0, 0, 336);
  cairo_pattern_add_color_stop_rgba(p, 0, 0.04, 0.05, 0.14, 0.94);
  cairo_pattern_add_color_stop_rgba(p, 1, 0.01, 0.01, 0.05, 0.94);
  cairo_set_source(cr, p);
  cairo_paint(cr);
  cairo_pattern_destroy(p);

  Heading(img, "TANDRIX", 18, 36, 28, Role::Message);
  Body(img, "the ultimate worms deathmatch:\nup to twelve players at one keyboard", 152, 12, 11,
       Hex(0xC8D4F0));

  // Each section goes below the one before it in its column, and the credits below the
  // longer column, so a paragraph can never run into the next whatever its length.
  const Rgb text = Hex(0xD8E0F4);
  constexpr double kFirstHeading = 66;  // baseline of the column headings
  constexpr double kSectionGap = 16;    // from a paragraph's last line to the next heading
  auto section = [&](const char* title, Role role, const std::string& body, double x,
                     double baseline, double width) {
    Heading(img, title, x, baseline, 13, role);
    return Body(img, body, x, baseline + 6, 10.5, text, width);
  };
  const double left = section(
      "HOW TO PLAY", Role::Menu,
      "Your worm never stops. Steer it with your <b>left</b> and <b>right</b> keys and keep its "
      "head off every trail and off the walls.\n"
      "The last worm alive wins the round; in a team match, the last team.\n"
      "Your <b>fire</b> key uses your worm's ability: fireballs, lasers, rockets, viruses, "
      "teleports and more. It costs energy, shown by your bar at the edge.\n"
      "Take bonuses: cherries and hearts give energy, poison takes it, arrows change your "
      "speed, shields stop rockets or viruses, and fire, bombs, the digger and the wall "
      "strike the others.",
      18, kFirstHeading, 230);

  double right = section(
      "CONTROLS", Role::Menu,
      "<span foreground='#70E8FF'>SET UP</span>: give each player a controller (off, human or "
      "computer), a team, a worm kind and three keys. Click a key, then press the new one.\n"
      "<span foreground='#70E8FF'>Mouse</span>: every menu.\n"
      "<span foreground='#70E8FF'>Fire</span>: ready for the next round.\n"
      "<span foreground='#70E8FF'>Escape</span>: leaves a match of computer players, or a "
      "pop-up without changes.",
      268, kFirstHeading, 226);
  right = section("WORMS", Role::Menu,
                  "Twenty kinds, one ability each, from the traveller that goes through other "
                  "worms to the virus controller; or random, a new kind every round. The ticker "
                  "of the main menu tells what each kind can do.",
                  268, right + kSectionGap, 226);

  const double credits =
      section("CREDITS", Role::Label,
              "Game, pictures, sounds and music made by the Tandrix developers, drawn and "
              "composed by our own tools. Built with SDL2, SDL2_mixer, OpenGL (Mesa), OpenSSL, "
              "zlib, cairo, pango, espeak-ng and LAME; words set in League Spartan.",
              18, std::max(left, right) + kSectionGap, 476);
  Body(img, "click anywhere to close", 196, credits + 5, 10, Hex(0x8090B8));
  return img;
}

// "glscene" on the main menu, bottom right: what the game stands on.
Image PoweredBy() {
  Image img(156, 54);
  Body(img, "POWERED BY", 4, 2, 9, Hex(0x8C9AC0), 0, kSmallFont);
  Heading(img, "SDL2 + OPENGL", 4, 28, 15, Role::Menu);
  Body(img, "openssl \u00b7 zlib \u00b7 cairo \u00b7 pango\nespeak-ng \u00b7 lame \u00b7 mesa", 4,
       30, 8.5, Hex(0x9CAAD0));
  return img;
}

// "plonquet" on the main menu, bottom left: the studio's mark.
Image StudioMark() {
  Image img(196, 40);
  cairo_t* cr = img.cr();
  // A coiled worm in a ring.
  Image glow(196, 40);
  auto worm = [](cairo_t* k) {
    cairo_new_path(k);
    for (int i = 0; i <= 60; ++i) {
      double a = i / 60.0 * 3.2 * kPi;
      double r = 13 - i / 60.0 * 9;
      double x = 20 + r * std::cos(a), y = 20 + r * std::sin(a);
      if (i == 0)
        cairo_move_to(k, x, y);
      else
        cairo_line_to(k, x, y);
    }
  };
  worm(glow.cr());
  SetRgb(glow.cr(), Hex(0xFF40D0));
  cairo_set_line_width(glow.cr(), 4);
  cairo_stroke(glow.cr());
  PaintGlow(cr, glow, 3, 1.0);
  worm(cr);
  SetRgb(cr, Hex(0xFFD0F4));
  cairo_set_line_width(cr, 2.2);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_stroke(cr);
  SetRgb(cr, Hex(0xFFFFFF));
  cairo_arc(cr, 33, 20, 2.4, 0, 2 * kPi);
  cairo_fill(cr);
  Heading(img, "TANDRIX", 42, 21, 17, Role::Message);
  Body(img, "D E V E L O P E R S", 43, 24, 9, Hex(0xE0A8F0), 0, kSmallFont);
  return img;
}

// "copyright" on the main menu, centred under the ticker.
Image Copyright() {
  Image img(220, 16);
  cairo_t* cr = img.cr();
  PangoLayout* l = pango_cairo_create_layout(cr);
  PangoFontDescription* d = pango_font_description_from_string(kSmallFont);
  pango_font_description_set_absolute_size(d, 10 * PANGO_SCALE);
  pango_layout_set_font_description(l, d);
  pango_font_description_free(d);
  pango_layout_set_text(l, "\u00a9 2026 TANDRIX DEVELOPERS", -1);
  PangoRectangle ink, logical;
  pango_layout_get_pixel_extents(l, &ink, &logical);
  g_object_unref(l);
  DrawNeonText(img, "\u00a9 2026 TANDRIX DEVELOPERS", kSmallFont, 10, 110 - logical.width / 2.0, 12,
               StyleOf(Role::Credit), 1.0, 0.5);
  return img;
}

// A start-position preview, 64 by 64: the arena with eight worms at their start places,
// each a dot with a short stroke along its heading.
Image StartPreview(int rule) {
  Image img(64, 64);
  cairo_t* cr = img.cr();
  const double ax = 2.5, ay = 2.5 + (59 - 59 * 408.0 / 608.0) / 2, scale = 59.0 / 608.0;
  const double aw = 608 * scale, ah = 408 * scale;
  cairo_rectangle(cr, ax, ay, aw, ah);
  SetRgb(cr, Hex(0x060A1C));
  cairo_fill_preserve(cr);
  SetRgb(cr, Hex(0x00C8FF));
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
  // The game's own placement rules, eight worms, a fixed draw for the chance rules.
  const int count = 8;
  tdx::Rng rng(2026 + rule);
  std::vector<tdx::StartPoint> earlier;
  for (int i = 0; i < count; ++i) {
    const tdx::StartPlace s =
        tdx::ComputeStartPlace(static_cast<tdx::StartPositionRule>(rule), i, count, rng, earlier);
    earlier.push_back({s.x, s.y});
    Rgb c = Hex(kSlotColour[i]);
    double x = ax + s.x * scale, y = ay + s.y * scale;
    double h = s.heading * kPi / 180;
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    SetRgb(cr, c, 0.9);
    cairo_set_line_width(cr, 1.6);
    cairo_move_to(cr, x, y);
    cairo_line_to(cr, x + 6 * std::cos(h), y + 6 * std::sin(h));
    cairo_stroke(cr);
    SetRgb(cr, Mix(c, Hex(0xFFFFFF), 0.5));
    cairo_arc(cr, x, y, 1.7, 0, 2 * kPi);
    cairo_fill(cr);
  }
  return img;
}

// What a word shows, where that differs from its name with underscores as spaces.
const std::map<std::string, std::string>& Captions() {
  static const std::map<std::string, std::string> m = {
      {"cpuiq0", "cpu iq 0"},
      {"cpuiq10", "cpu iq 10"},
      {"w_infernal", "infernal"},
      {"w_thicker", "thicker"},
      {"w_random", "random"},
      {"set_up", "set up"},
      {"rightleft", "stereo: right-left"},
      {"leftright", "stereo: left-right"},
      {"select_more_players", "select more players!"},
      {"select_more_teams", "select more teams!"},
      {"congratulations", "congratulations!"},
      {"go", "go!"},
      // Key names: short forms so they fit the set-up table's key columns.
      {"backspace", "bksp"},
      {"caps_lock", "caps"},
      {"escape", "esc"},
      {"page_up", "pg up"},
      {"page_down", "pg dn"},
      {"insert", "ins"},
      {"delete", "del"},
      {"left_win", "l win"},
      {"right_win", "r win"},
      {"num_multiply", "num *"},
      {"num_plus", "num +"},
      {"num_minus", "num -"},
      {"num_dot", "num ."},
      {"num_divide", "num /"},
      {"num_lock", "num lk"},
      {"scroll_lock", "scr lk"},
      {"left_shift", "l shift"},
      {"right_shift", "r shift"},
      {"left_ctrl", "l ctrl"},
      {"right_ctrl", "r ctrl"},
      {"left_alt", "l alt"},
      {"right_alt", "r alt"},
      {"semicolon", ";"},
      {"equals", "="},
      {"comma", ","},
      {"minus", "-"},
      {"period", "."},
      {"slash", "/"},
      {"grave", "`"},
      {"left_bracket", "["},
      {"backslash", "\\"},
      {"right_bracket", "]"},
      {"apostrophe", "'"},
      {"less_than", "<"},
  };
  return m;
}

std::string CaptionOf(const std::string& name) {
  auto it = Captions().find(name);
  if (it != Captions().end()) return Upper(it->second);
  std::string s = name;
  std::replace(s.begin(), s.end(), '_', ' ');
  return Upper(s);
}

struct WordEntry {
  std::string name;
  Role role;
};

}  // namespace

void MakeItems(Output& out) {
  std::set<std::string> done;
  auto add = [&](const std::string& name, Image img, bool measured = true, bool added = false) {
    if (!done.insert(name).second) return;
    int w = img.width(), h = img.height();
    if (measured) HitOf(img, &w, &h);
    out.AddItem(name, std::move(img), w, h, added);
  };
  auto word = [&](const std::string& name, Role role, double max_w = 0, bool added = false) {
    if (done.count(name)) return;
    add(name, Word(CaptionOf(name), role, max_w), true, added);
  };

  // The pop-up backdrop first: its index is the one the game dims.
  add("empty", Backdrop(), false);

  // Ticker letters: their table entry is the picture's size, which the ticker spaces by.
  for (char c = 'a'; c <= 'z'; ++c) add(std::string(1, c), Letter(c), false);
  for (char c = '0'; c <= '9'; ++c) add(std::string(1, c), Digit(c));
  add("dvojbodka", Colon());
  for (int n = 10; n <= 12; ++n) add(std::to_string(n), Number(std::to_string(n)));
  for (int slot = 0; slot < 12; ++slot) add(ColourName(slot), ColourSquare(kSlotColour[slot]));
  for (int team = 1; team <= 4; ++team) add(std::to_string(team) + "c", TeamBadge(team));

  const std::vector<WordEntry> words = {
      // Main menu.
      {"deathmatch", Role::Menu},
      {"team_deathmatch", Role::Menu},
      {"set_up", Role::Menu},
      {"about", Role::Menu},
      {"quit", Role::Menu},
      {"select_more_players", Role::Warning},
      {"select_more_teams", Role::Warning},
      // Loading screen.
      {"loading", Role::Message},
      {"please_wait", Role::Message},
      // Round and match messages.
      {"get_ready", Role::Message},
      {"go", Role::Message},
      {"main_menu", Role::Menu},
      {"exit_program", Role::Menu},
      {"hit_the_fire_button", Role::Message},
      {"congratulations", Role::Message},
      {"won_this_round", Role::Message},
      {"draw_game", Role::Message},
      {"waiting", Role::Warning},
      {"ready", Role::Ready},
      // Set-up screen: headings and labels.
      {"back", Role::Menu},
      {"player", Role::Label},
      {"team", Role::Label},
      {"active", Role::Menu},
      {"left", Role::Label},
      {"right", Role::Label},
      {"fire", Role::Label},
      {"job", Role::Menu},
      {"bonus", Role::Label},
      {"speed", Role::Label},
      {"from", Role::Label},
      {"to", Role::Label},
      {"starting_position", Role::Label},
      {"score_limit", Role::Label},
      {"game_number", Role::Label},
      {"game_time", Role::Label},
      {"real_time", Role::Label},
      {"score", Role::Label},
      {"positions", Role::Label},
      {"background_effect", Role::Label},
      {"sounds", Role::Label},
      {"speech", Role::Label},
      {"music", Role::Label},
      // Set-up values.
      {"off", Role::Off},
      {"human", Role::Menu},
      {"cpuiq0", Role::Menu},
      {"cpuiq10", Role::Menu},
      {"on", Role::Menu},
      {"constant", Role::Menu},
      {"accelerating", Role::Menu},
      {"show", Role::Menu},
      {"hide", Role::Off},
      {"surprise", Role::Menu},
      {"rightleft", Role::Menu},
      {"leftright", Role::Menu},
      {"into_the_middle", Role::Menu},
      {"away_from_the_middle", Role::Menu},
      {"circle", Role::Menu},
      {"proportional_random", Role::Menu},
      {"random", Role::Menu},
      {"race", Role::Menu},
      {"press_a_key", Role::Message},
      // Worm kinds.
      {"traveller", Role::Menu},
      {"speeder", Role::Menu},
      {"stopper", Role::Menu},
      {"warper", Role::Menu},
      {"reverser", Role::Menu},
      {"killer", Role::Menu},
      {"laser_shooter", Role::Menu},
      {"multiplier", Role::Menu},
      {"virus_infester", Role::Menu},
      {"repeller", Role::Menu},
      {"rocket_launcher", Role::Menu},
      {"atomic_bomber", Role::Menu},
      {"reproducer", Role::Menu},
      {"erector", Role::Menu},
      {"teleporter", Role::Menu},
      {"shooter", Role::Menu},
      {"w_infernal", Role::Menu},
      {"w_thicker", Role::Menu},
      {"pauser", Role::Menu},
      {"virus_controller", Role::Menu},
      {"w_random", Role::Menu},
  };
  // "team" is also the display's team caption, stretched to 51.2 by 25.6: two to one.
  add("team", Word(CaptionOf("team"), Role::Label, 32, true));
  for (const WordEntry& w : words) word(w.name, w.role);

  // Score limits and speeds: numbers in the pop-ups' narrow columns.
  for (const char* n : {"3b", "10b", "21b", "50b", "100b", "1000b", "30b", "40b", "60b", "70b",
                        "80b", "90b", "120b", "150b"}) {
    std::string s(n);
    if (!done.count(s)) add(s, Word(s.substr(0, s.size() - 1), Role::Number));
  }

  // Every key name of the key table; the set-up table's key columns are 73 pixels wide.
  for (const tdx::KeyCodeName& k : tdx::kKeyCodeNames) word(k.name, Role::Menu, 70);

  // The about screen, the credits, and the start-position previews.
  add("about_pic", AboutPicture(), false);
  add("glscene", PoweredBy(), false);
  add("plonquet", StudioMark(), false);
  add("copyright", Copyright(), false);
  const char* rules[] = {
      "into_the_middle", "away_from_the_middle", "circle", "proportional_random", "random", "race"};
  for (int r = 0; r < 6; ++r) add(std::string(rules[r]) + "_pic", StartPreview(r), false);

  // What the game adds to its screens, outside the loading screen's list: network play's
  // and the replays' words, and the letters that write addresses and machine names.
  for (const char* w : {"network", "host_game", "join_game", "replays", "replay"}) {
    word(w, Role::Menu, 0, true);
  }
  add("dot", Letter('.'), false, true);
  add("dash", Letter('-'), false, true);
  add("colon", Letter(':'), false, true);
  add("shared_key", SharedKeyFrame(), false, true);
  // The set-up screen's help lines, in a quieter colour than the words they explain.
  auto help = [&](const tdx::SetupHelpLine& l) {
    add(l.picture, Word(Upper(l.text), Role::Credit), true, true);
  };
  for (const tdx::SetupHelpLine& l : tdx::kKindHelp) help(l);
  for (const tdx::SetupHelpLine& l : tdx::kStartHelp) help(l);
  for (const tdx::SetupHelpLine& l :
       {tdx::kActiveHelp, tdx::kJobHelp, tdx::kSameKeyAs, tdx::kAndMore, tdx::kClickToCancel})
    help(l);
}

}  // namespace gfx
