// The game's icon for desktop menus: two neon worm trails on a black tile, one of them
// curling round to its head, drawn with cairo as PNG at the usual menu sizes and as SVG.
#include <cairo-svg.h>
#include <cairo.h>

#include <sys/stat.h>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

constexpr double kDesign = 256;  // the icon is drawn in a 256 by 256 space and scaled

struct Rgb {
  double r, g, b;
};
constexpr Rgb kGreen{0.25, 1.0, 0.35};
constexpr Rgb kMagenta{1.0, 0.2, 0.85};
constexpr Rgb kWhite{1.0, 1.0, 1.0};

void RoundedSquare(cairo_t* cr, double x, double y, double size, double radius) {
  const double r = radius;
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + size - r, y + r, r, -M_PI / 2, 0);
  cairo_arc(cr, x + size - r, y + size - r, r, 0, M_PI / 2);
  cairo_arc(cr, x + r, y + size - r, r, M_PI / 2, M_PI);
  cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
  cairo_close_path(cr);
}

// A trail stroked as neon: wide faint passes for the glow, then the line, then a light core.
// `width` is the line's width in design pixels at this size (thicker when the icon is small).
void NeonStroke(cairo_t* cr, Rgb c, double width, bool glow) {
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  if (glow) {
    for (double spread : {3.2, 2.2, 1.6}) {
      cairo_set_source_rgba(cr, c.r, c.g, c.b, 0.16);
      cairo_set_line_width(cr, width * spread);
      cairo_stroke_preserve(cr);
    }
  }
  cairo_set_source_rgb(cr, c.r, c.g, c.b);
  cairo_set_line_width(cr, width);
  cairo_stroke_preserve(cr);
  cairo_set_source_rgba(cr, kWhite.r, kWhite.g, kWhite.b, 0.55);
  cairo_set_line_width(cr, width * 0.35);
  cairo_stroke(cr);
}

void Head(cairo_t* cr, double x, double y, double radius, Rgb c) {
  cairo_arc(cr, x, y, radius * 1.8, 0, 2 * M_PI);
  cairo_set_source_rgba(cr, c.r, c.g, c.b, 0.3);
  cairo_fill(cr);
  cairo_arc(cr, x, y, radius, 0, 2 * M_PI);
  cairo_set_source_rgb(cr, kWhite.r, kWhite.g, kWhite.b);
  cairo_fill(cr);
}

// Draws the icon into `cr`, whose user space is `size` pixels square.
void DrawIcon(cairo_t* cr, int size) {
  cairo_save(cr);
  cairo_scale(cr, size / kDesign, size / kDesign);
  // Lines keep at least about 1.6 real pixels, so the trails still read at 16 by 16.
  const double line = std::max(16.0, 1.6 * kDesign / size);
  const bool glow = size >= 32;

  // The tile: black with a faint blue lift at the top, and a thin border.
  const double inset = size >= 32 ? 8 : 0;
  RoundedSquare(cr, inset, inset, kDesign - 2 * inset, 40);
  cairo_pattern_t* sky = cairo_pattern_create_linear(0, 0, 0, kDesign);
  cairo_pattern_add_color_stop_rgb(sky, 0, 0.07, 0.08, 0.2);
  cairo_pattern_add_color_stop_rgb(sky, 1, 0.0, 0.0, 0.02);
  cairo_set_source(cr, sky);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(sky);
  cairo_set_source_rgba(cr, 0.35, 0.45, 1.0, 0.6);
  cairo_set_line_width(cr, std::max(4.0, kDesign / size));
  cairo_stroke(cr);

  // The magenta worm crosses low from the left and bends up and away.
  cairo_move_to(cr, 40, 196);
  cairo_curve_to(cr, 100, 200, 150, 190, 176, 150);
  cairo_curve_to(cr, 196, 120, 200, 90, 214, 64);
  NeonStroke(cr, kMagenta, line, glow);
  Head(cr, 214, 64, line * 0.55, kMagenta);

  // The green worm comes up from below and curls round to its head in the middle.
  cairo_move_to(cr, 70, 226);
  cairo_curve_to(cr, 60, 170, 40, 120, 70, 80);
  cairo_curve_to(cr, 100, 40, 160, 40, 170, 86);
  cairo_curve_to(cr, 178, 122, 140, 140, 118, 120);
  NeonStroke(cr, kGreen, line, glow);
  Head(cr, 118, 120, line * 0.55, kGreen);
  cairo_restore(cr);
}

bool WritePng(const std::string& path, int size) {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
  cairo_t* cr = cairo_create(s);
  DrawIcon(cr, size);
  cairo_destroy(cr);
  const bool ok = cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(s);
  if (!ok) std::fprintf(stderr, "datagen_icon: %s: cannot write the picture\n", path.c_str());
  return ok;
}

bool WriteSvg(const std::string& path) {
  cairo_surface_t* s = cairo_svg_surface_create(path.c_str(), kDesign, kDesign);
  cairo_t* cr = cairo_create(s);
  DrawIcon(cr, static_cast<int>(kDesign));
  cairo_destroy(cr);
  cairo_surface_finish(s);
  const bool ok = cairo_surface_status(s) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(s);
  if (!ok) std::fprintf(stderr, "datagen_icon: %s: cannot write the picture\n", path.c_str());
  return ok;
}

bool MakeFolder(const std::string& path) {
  std::string built;
  size_t from = 0;
  for (;;) {
    const size_t slash = path.find('/', from + 1);
    built = path.substr(0, slash);
    if (!built.empty() && ::mkdir(built.c_str(), 0755) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) return true;
    from = slash;
  }
}

}  // namespace

// Writes OUT/hicolor/NxN/apps/NAME.png for each menu size and OUT/hicolor/scalable/apps/NAME.svg:
// the layout of the icon theme, ready to install under /usr/share/icons.
int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: datagen_icon OUT_FOLDER ICON_NAME\n");
    return 2;
  }
  const std::string out = std::string(argv[1]) + "/hicolor";
  const std::string name = argv[2];
  for (int size : {16, 32, 48, 64, 128, 256}) {
    const std::string folder =
        out + "/" + std::to_string(size) + "x" + std::to_string(size) + "/apps";
    if (!MakeFolder(folder) || !WritePng(folder + "/" + name + ".png", size)) return 1;
  }
  const std::string scalable = out + "/scalable/apps";
  if (!MakeFolder(scalable) || !WriteSvg(scalable + "/" + name + ".svg")) return 1;
  return 0;
}
