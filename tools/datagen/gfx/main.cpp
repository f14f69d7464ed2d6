// datagen_gfx: draws every picture of the game into the stage folders (gfx/ and items/)
// and writes the picture tables of dat.pak (menu_items.dat, added_items.dat, preload.dat,
// keys.dat).
//
//   datagen_gfx STAGE_DIR [--sheet FILE.png] [--layout FILE.txt]
//
// --sheet also writes FILE_main.png, FILE_setup.png and FILE_round.png, mock screens.
// --layout writes where every text was drawn on every picture, for checking the layout.
//
// Same input, same bytes: nothing depends on the clock, and all noise has fixed seeds.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <map>
#include <string>

#include "output.h"
#include "players/key_codes.h"

namespace fs = std::filesystem;

// Fontconfig and pango keep their caches until the process ends; in a sanitizer build
// that is not a leak worth failing the data build for.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }

namespace gfx {

void Output::AddGfx(const std::string& file, const std::string& library,
                    const std::string& material, Image img, AlphaRule rule) {
  // Dim pixels would still be drawn (opaque, or partly so by their brightness) and
  // darken what lies under the sprite: they become black, which is transparent.
  if (rule == AlphaRule::SuperBlack) CrushBlacks(img, 20);
  if (rule == AlphaRule::SqrtLuminance) CrushBlacks(img, 6);
  FlattenOnBlack(img);
  NoteTexts(file, img);
  WriteFile(stage_ + "/gfx/" + file, EncodeBmp24(img));
  ++files_;
  preload_.push_back({material, library});
  if (sheet_) Keep(file, img, rule);
}

void Output::AddItem(const std::string& material, Image img, int hit_w, int hit_h, bool added) {
  NoteTexts(material, img);
  WriteFile(stage_ + "/items/" + material + kItemSuffix, EncodeBmp32(img));
  ++files_;
  (added ? added_items_ : menu_items_).push_back({material, hit_w, hit_h});
  if (sheet_) Keep(material, img, AlphaRule::Own);
}

void Output::NoteTexts(const std::string& name, const Image& img) {
  char box[128];
  for (const TextBox& b : img.texts()) {
    std::snprintf(box, sizeof box, "\t%d\t%d\t%.2f\t%.2f\t%.2f\t%.2f\t", img.width(), img.height(),
                  b.x0, b.y0, b.x1, b.y1);
    std::string text = b.text;
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\n' || c == '\t'; }, ' ');
    text_layout_ += name + box + text + "\n";
  }
}

void Output::Keep(const std::string& label, Image& img, AlphaRule rule) {
  Image copy(img.width(), img.height());
  cairo_set_source_surface(copy.cr(), img.surface(), 0, 0);
  cairo_paint(copy.cr());
  uint32_t* px = copy.pixels();
  const int stride = copy.stride_px();
  for (int y = 0; y < copy.height(); ++y) {
    for (int x = 0; x < copy.width(); ++x) {
      uint32_t& v = px[static_cast<size_t>(y) * stride + x];
      uint32_t r = (v >> 16) & 0xFF, g = (v >> 8) & 0xFF, b = v & 0xFF;
      if (rule == AlphaRule::SuperBlack && r == 0 && g == 0 && b == 0) {
        v = 0;
      } else if (rule == AlphaRule::SqrtLuminance) {
        // Alpha from brightness; colours stay as drawn, so premultiply them again.
        double lum = (0.3 * r + 0.59 * g + 0.11 * b) / 255.0;
        uint32_t a = static_cast<uint32_t>(std::lround(std::sqrt(lum) * 255));
        auto pm = [&](uint32_t c) { return (c * a + 127) / 255; };
        v = (a << 24) | (pm(r) << 16) | (pm(g) << 8) | pm(b);
      }
    }
  }
  copy.MarkDirty();
  sheet_entries_.push_back({label, std::move(copy)});
}

void WriteTables(Output& out) {
  const std::string dat = out.stage() + "/dat/";
  auto table = [](const std::vector<MenuItem>& items) {
    std::string text;
    for (const MenuItem& m : items)
      text += m.name + "\n" + std::to_string(m.width) + "\n" + std::to_string(m.height) + "\n";
    return text;
  };
  WriteText(dat + "menu_items.dat", table(out.menu_items()));
  WriteText(dat + "added_items.dat", table(out.added_items()));

  // Material first, then library: the order the loading screen reads the pairs in. The
  // menu words are appended by the game from menu_items.dat, so they are not listed here.
  std::string preload;
  for (const PreloadItem& p : out.preload()) preload += p.material + "\n" + p.library + "\n";
  WriteText(dat + "preload.dat", preload);

  std::string keys;
  for (const tdx::KeyCodeName& k : tdx::kKeyCodeNames)
    keys += std::to_string(static_cast<int>(k.code)) + "\n" + k.name + "\n";
  WriteText(dat + "keys.dat", keys);
}

void WriteContactSheet(Output& out, const std::string& png_path) {
  const int width = 1600, margin = 8, label_h = 12;
  // Shelf packing, in generation order.
  struct Place {
    int x, y;
  };
  std::vector<Place> places;
  int x = margin, y = margin, shelf = 0;
  for (SheetEntry& e : out.sheet()) {
    int w = std::max(e.image.width(), 40), h = e.image.height() + label_h;
    if (x + w + margin > width) {
      x = margin;
      y += shelf + margin;
      shelf = 0;
    }
    places.push_back({x, y});
    x += w + margin;
    shelf = std::max(shelf, h);
  }
  const int height = y + shelf + margin;
  Image sheet(width, height);
  cairo_t* cr = sheet.cr();
  cairo_set_source_rgb(cr, 0.16, 0.16, 0.18);
  cairo_paint(cr);
  for (size_t i = 0; i < out.sheet().size(); ++i) {
    SheetEntry& e = out.sheet()[i];
    const Place& p = places[i];
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_rectangle(cr, p.x, p.y + label_h, e.image.width(), e.image.height());
    cairo_fill(cr);
    cairo_set_source_surface(cr, e.image.surface(), p.x, p.y + label_h);
    cairo_paint(cr);
    TextShape t = MakeText(cr, e.label, "DejaVu Sans", 8);
    cairo_move_to(cr, p.x, p.y);
    cairo_set_source_rgb(cr, 0.8, 0.8, 0.8);
    pango_cairo_show_layout(cr, t.layout);
    g_object_unref(t.layout);
  }
  cairo_surface_flush(sheet.surface());
  if (cairo_surface_write_to_png(sheet.surface(), png_path.c_str()) != CAIRO_STATUS_SUCCESS)
    throw std::runtime_error(png_path + ": cannot write the contact sheet");
}

}  // namespace gfx

namespace {

// Empties a stage folder of files left by an earlier run (a renamed picture must not
// linger in the archive), keeping the named files of other tools.
void ClearFolder(const fs::path& dir, bool only_ours, const std::vector<std::string>& ours) {
  fs::create_directories(dir);
  for (const fs::directory_entry& e : fs::directory_iterator(dir)) {
    if (!e.is_regular_file()) continue;
    const std::string name = e.path().filename().string();
    if (only_ours && std::find(ours.begin(), ours.end(), name) == ours.end()) continue;
    fs::remove(e.path());
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string stage, sheet, layout;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--sheet" && i + 1 < argc) {
      sheet = argv[++i];
    } else if (a == "--layout" && i + 1 < argc) {
      layout = argv[++i];
    } else if (a == "--help" || a == "-h") {
      std::printf("usage: datagen_gfx STAGE_DIR [--sheet FILE.png] [--layout FILE.txt]\n");
      return 0;
    } else if (stage.empty() && !a.empty() && a[0] != '-') {
      stage = a;
    } else {
      std::fprintf(stderr, "datagen_gfx: unexpected argument '%s'\n", a.c_str());
      return 2;
    }
  }
  if (stage.empty()) {
    std::fprintf(stderr, "usage: datagen_gfx STAGE_DIR [--sheet FILE.png] [--layout FILE.txt]\n");
    return 2;
  }
  try {
    ClearFolder(fs::path(stage) / "gfx", false, {});
    ClearFolder(fs::path(stage) / "items", false, {});
    ClearFolder(fs::path(stage) / "dat", true,
                {"menu_items.dat", "added_items.dat", "preload.dat", "keys.dat"});
    gfx::CheckFonts();
    gfx::Output out(stage, !sheet.empty());
    gfx::MakeSprites(out);
    gfx::MakeItems(out);
    gfx::WriteTables(out);
    if (!layout.empty()) gfx::WriteText(layout, out.text_layout());
    if (!sheet.empty()) {
      gfx::WriteContactSheet(out, sheet);
      const std::string prefix =
          sheet.size() > 4 && sheet.ends_with(".png") ? sheet.substr(0, sheet.size() - 4) : sheet;
      gfx::WriteMockScreens(out, prefix);
    }
    std::printf("datagen_gfx: %d pictures, %zu menu items, %zu preload entries\n",
                out.files_written(), out.menu_items().size(), out.preload().size());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "datagen_gfx: %s\n", e.what());
    return 1;
  }
  return 0;
}
