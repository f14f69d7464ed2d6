#include "assets/catalogue.h"

#include <cstdio>
#include <memory>

#include "app/game.h"
#include "assets/pak_archive.h"
#include "assets/quoted_input.h"
#include "platform/bmp.h"

namespace tdx {

namespace {

std::string Digits(int n, int width) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%0*d", width, n);
  return buf;
}

std::vector<GfxCatalogueEntry> BuildCatalogue() {
  std::vector<GfxCatalogueEntry> c;
  auto add = [&c](LibraryId lib, const std::string& material, const std::string& file) {
    c.push_back({lib, material, file});
  };
  auto same = [&add](LibraryId lib, const std::string& name) { add(lib, name, name + ".bmp"); };

  add(LibGlmllogo, "logo", "logo.bmp");
  add(LibGlmlzorbel, "zorbel", "tandrix.bmp");

  for (const char* n : {"rip", "shot", "fire_ball", "tripple", "laserv", "laserh"}) {
    same(LibGlmlshots, n);
  }
  for (int d = 1; d <= 9; ++d) {
    for (char l = 'a'; l <= 'l'; ++l) same(LibGlmlshots, "virus" + std::to_string(d) + l);
  }
  for (const char* n :
       {"rocket1", "rocket2", "rocket3", "target", "digger1", "digger2", "digger3", "s_bomb_1",
        "s_bomb_2", "s_bomb_3", "x_bomb_1", "x_bomb_2", "x_bomb_3", "x_bomb_4"}) {
    same(LibGlmlshots, n);
  }

  for (int n = 1; n <= 99; n += 2)
    add(LibGLMLatomic, Digits(n, 2), "atomic0" + Digits(n, 2) + ".bmp");
  for (int n = 0; n <= 24; ++n) add(LibGLMLrocket, Digits(n, 3), "e0001_" + Digits(n, 3) + ".bmp");
  for (int n = 0; n <= 47; ++n) add(LibGLMLMyst, Digits(n, 2), "myst" + Digits(n, 2) + ".bmp");
  for (const char* n :
       {"bomb1",         "bomb2",        "bomb3",        "cherry1",       "cherry2",
        "fire1",         "fire2",        "fire3",        "heart1",        "heart2",
        "poison1",       "poison2",      "b_up_1",       "b_up_2",        "b_down_1",
        "b_down_2",      "b_digger_1",   "b_digger_2",   "b_digger_3",    "b_xonix_1",
        "b_xonix_2",     "b_xonix_3",    "b_xonix_4",    "b_no_rocket_1", "b_no_rocket_2",
        "b_no_rocket_3", "b_no_virus_1", "b_no_virus_2", "b_no_virus_3"}) {
    same(LibGLMLMyst, n);
  }
  for (int n = 0; n <= 23; ++n) same(LibGLMLtele, "tele" + Digits(n, 2));
  return c;
}

// One library row: diffuse alpha, blending, image alpha and compression; every row also
// sets a white, opaque emission and the modulate texture mode.
struct Row {
  float alpha;
  BlendMode blending;
  ImageAlpha imageAlpha;
  Compression compression;
};

constexpr Row kSuperBlackHq{1.0f, BlendMode::Transparency, ImageAlpha::SuperBlackTransparent,
                            Compression::HighQuality};
constexpr Row kSuperBlack{1.0f, BlendMode::Transparency, ImageAlpha::SuperBlackTransparent,
                          Compression::None};
constexpr Row kLuminanceHq{1.0f, BlendMode::Transparency, ImageAlpha::LuminanceSqrt,
                           Compression::HighQuality};
constexpr Row kLuminance{1.0f, BlendMode::Transparency, ImageAlpha::LuminanceSqrt,
                         Compression::None};

void ApplyRow(Material* m, const Row& row) {
  if (!m) return;
  m->SetDiffuse(3, row.alpha);
  m->SetBlending(row.blending);
  m->SetImageAlpha(row.imageAlpha);
  m->SetCompression(row.compression);
  m->SetTextureMode(TextureMode::Modulate);
  for (int i = 0; i < 4; ++i) m->SetEmission(i, 1.0f);
}

void ApplyRowToAll(MaterialLibrary& lib, const Row& row) {
  for (int i = 0; i < lib.Count(); ++i) ApplyRow(lib.At(i), row);
}

// Sets the start-up error once: the first failure is the one the player sees.
bool Fail(Game& g, const std::string& message) {
  if (g.fatalError.empty()) g.fatalError = message;
  return false;
}

bool LoadGfxMaterial(Game& g, LibraryId library, const std::string& material,
                     const std::string& file) {
  std::vector<uint8_t> bytes;
  std::string why;
  const std::string path = PakPath(g.folders.data, "gfx.pak");
  if (g.assets.archives.Extract(path, file, bytes, &why) != PakStatus::Ok) {
    return Fail(g, path + ": member " + file + " is missing or damaged (" + why + ")");
  }
  auto picture = std::make_shared<Picture>();
  std::string error;
  if (!DecodeBmp(bytes, *picture, error)) {
    return Fail(g, path + ": member " + file + " is not a readable picture (" + error + ")");
  }
  g.scene.Library(library).AddTextureMaterial(material, std::move(picture));
  return true;
}

// Every catalogue picture of one library, in catalogue order.
bool LoadLibrary(Game& g, LibraryId library) {
  for (const GfxCatalogueEntry& e : GfxCatalogue()) {
    if (e.library == library && !LoadGfxMaterial(g, e.library, e.material, e.file)) return false;
  }
  return true;
}

bool ExtractTable(Game& g, const std::string& member, std::vector<uint8_t>& text) {
  std::string why;
  const std::string path = PakPath(g.folders.data, "dat.pak");
  if (g.assets.archives.Extract(path, member, text, &why) != PakStatus::Ok) {
    return Fail(g, path + ": member " + member + " is missing or damaged (" + why + ")");
  }
  return true;
}

// Line-by-line reading of the text tables. Lines end with LF, CR LF or a lone CR; a UTF-8
// byte-order mark at the start is ignored.
class TextReader {
 public:
  explicit TextReader(const std::vector<uint8_t>& text) : t_(text) {
    if (t_.size() >= 3 && t_[0] == 0xEF && t_[1] == 0xBB && t_[2] == 0xBF) i_ = 3;
  }
  int Line() const { return line_; }

  // The next line without its line end; empty at the end of the text.
  std::string ReadLine() {
    const size_t start = i_;
    while (i_ < t_.size() && t_[i_] != '\n' && t_[i_] != '\r') ++i_;
    std::string s(t_.begin() + static_cast<std::ptrdiff_t>(start),
                  t_.begin() + static_cast<std::ptrdiff_t>(i_));
    SkipLineEnd();
    return s;
  }

  // A decimal integer after blanks and line ends. Returns 0 when found, 1 at the end of
  // the text, 2 when something else stands there (or the number does not fit).
  int ReadInt(int32_t& value) {
    while (i_ < t_.size()) {
      const uint8_t ch = t_[i_];
      if (ch == '\n' || ch == '\r') {
        SkipLineEnd();
      } else if (ch == ' ' || ch == '\t') {
        ++i_;
      } else {
        break;
      }
    }
    if (i_ >= t_.size()) return 1;
    bool negative = false;
    if (t_[i_] == '+' || t_[i_] == '-') negative = t_[i_++] == '-';
    int64_t v = 0;
    size_t digits = 0;
    while (i_ < t_.size() && t_[i_] >= '0' && t_[i_] <= '9') {
      v = v * 10 + (t_[i_++] - '0');
      if (v > int64_t{INT32_MAX} + 1) return 2;
      ++digits;
    }
    if (digits == 0) return 2;
    if (negative) v = -v;
    if (v > INT32_MAX || v < INT32_MIN) return 2;
    value = static_cast<int32_t>(v);
    return 0;
  }

  void SkipRestOfLine() {
    while (i_ < t_.size() && t_[i_] != '\n' && t_[i_] != '\r') ++i_;
    SkipLineEnd();
  }

 private:
  void SkipLineEnd() {
    if (i_ >= t_.size()) return;
    if (t_[i_] == '\r') ++i_;
    if (i_ < t_.size() && t_[i_] == '\n') ++i_;
    ++line_;
  }

  const std::vector<uint8_t>& t_;
  size_t i_ = 0;
  int line_ = 1;
};

}  // namespace

const std::vector<GfxCatalogueEntry>& GfxCatalogue() {
  static const std::vector<GfxCatalogueEntry> catalogue = BuildCatalogue();
  return catalogue;
}

bool ReadMenuItems(const std::vector<uint8_t>& text, std::vector<MenuItemEntry>& table,
                   std::string& error) {
  table.clear();
  TextReader in(text);
  std::string name = in.ReadLine();
  while (!name.empty()) {
    MenuItemEntry e;
    e.name = name;
    int32_t* fields[2] = {&e.width, &e.height};
    const char* what[2] = {"width", "height"};
    for (int k = 0; k < 2; ++k) {
      const int r = in.ReadInt(*fields[k]);
      if (r != 0) {
        error = "line " + std::to_string(in.Line()) + ": the " + what[k] + " of '" +
                QuotedInput(name) + (r == 1 ? "' is missing" : "' is not a number");
        return false;
      }
      in.SkipRestOfLine();
    }
    if (table.size() < kMenuItemCapacity) table.push_back(std::move(e));
    name = in.ReadLine();
  }
  return true;
}

void ReadPreloadPairs(const std::vector<uint8_t>& text, std::vector<PreloadEntry>& table) {
  TextReader in(text);
  std::string material = in.ReadLine();
  while (!material.empty()) {
    std::string library = in.ReadLine();
    if (table.size() < kPreloadCapacity) table.push_back({std::move(library), std::move(material)});
    material = in.ReadLine();
  }
}

namespace {

// 2-8: the pictures only sprites show: the title logo and the game's mark, shots,
// explosions, bonuses, teleports.
bool LoadSpritePictures(Game& g) {
  Scene& s = g.scene;
  if (!LoadLibrary(g, LibGlmllogo) || !LoadLibrary(g, LibGlmlzorbel)) return false;
  ApplyRowToAll(s.Library(LibGLML1), kSuperBlackHq);
  ApplyRowToAll(s.Library(LibGlmllogo), kSuperBlackHq);
  ApplyRowToAll(s.Library(LibGlmlzorbel), kSuperBlack);

  // 4: shots. The death marker is half see-through; shots and fire balls glow.
  if (!LoadLibrary(g, LibGlmlshots)) return false;
  MaterialLibrary& shots = s.Library(LibGlmlshots);
  ApplyRowToAll(shots, kSuperBlack);
  ApplyRow(shots.At(0),
           {0.6f, BlendMode::Transparency, ImageAlpha::SuperBlackTransparent, Compression::None});
  for (int i = 1; i <= 3; ++i) {
    ApplyRow(shots.At(i),
             {1.0f, BlendMode::Additive, ImageAlpha::SuperBlackTransparent, Compression::None});
  }

  // 5: the atomic explosion fades out over its last ten frames.
  if (!LoadLibrary(g, LibGLMLatomic)) return false;
  MaterialLibrary& atomic = s.Library(LibGLMLatomic);
  for (int i = 0; i < atomic.Count(); ++i) {
    Row row = kLuminanceHq;
    if (i >= 40) row.alpha = static_cast<float>(49 - i) / 10.0f;
    ApplyRow(atomic.At(i), row);
  }

  // 6-8: rocket explosion, bonus appearance and bonus pictures, teleport.
  if (!LoadLibrary(g, LibGLMLrocket)) return false;
  ApplyRowToAll(s.Library(LibGLMLrocket), kLuminanceHq);
  if (!LoadLibrary(g, LibGLMLMyst)) return false;
  MaterialLibrary& myst = s.Library(LibGLMLMyst);
  for (int i = 0; i < myst.Count(); ++i) {
    ApplyRow(myst.At(i),
             i < 48 ? kLuminanceHq
                    : Row{1.0f, BlendMode::Transparency, ImageAlpha::Opaque, Compression::None});
  }
  if (!LoadLibrary(g, LibGLMLtele)) return false;
  ApplyRowToAll(s.Library(LibGLMLtele), kLuminance);
  return true;
}

}  // namespace

bool LoadAssets(Game& g) {
  Scene& s = g.scene;

  // 1: the black placeholder.
  auto black = std::make_shared<Picture>();
  black->width = 32;
  black->height = 32;
  black->rgba.assign(32 * 32 * 4, 0);
  for (size_t i = 3; i < black->rgba.size(); i += 4) black->rgba[i] = 255;
  s.Library(LibGLML1).AddTextureMaterial("empty", std::move(black));

  // A headless run draws nothing: the sprites' pictures stay in their archive. The menu
  // words are still read, as their sizes place the words that the mouse clicks.
  if (!g.headless && !LoadSpritePictures(g)) return false;

  // 9: the sizes of the menu word pictures.
  std::vector<uint8_t> text;
  if (!ExtractTable(g, "menu_items.dat", text)) return false;
  std::string error;
  if (!ReadMenuItems(text, g.assets.MenuItemTable, error)) {
    return Fail(g, PakPath(g.folders.data, "dat.pak") + ": member menu_items.dat, " + error);
  }
  // The words of what the game adds to its screens: sized and loaded like the others, but
  // not shown on the loading screen, whose length recordings from the program's start hold.
  g.assets.LoadedItems = g.assets.MenuItemTable.size();
  std::vector<MenuItemEntry> added;
  if (!ExtractTable(g, "added_items.dat", text)) return false;
  if (!ReadMenuItems(text, added, error)) {
    return Fail(g, PakPath(g.folders.data, "dat.pak") + ": member added_items.dat, " + error);
  }
  for (MenuItemEntry& e : added) {
    if (g.assets.MenuItemTable.size() < kMenuItemCapacity) {
      g.assets.MenuItemTable.push_back(std::move(e));
    }
  }

  // 10: the menu words; the `empty` word is the dimmed one.
  if (!LoadItemsPak(g)) return false;
  MaterialLibrary& menu = s.Library(LibGLMLmenu);
  ApplyRowToAll(menu, {1.0f, BlendMode::Transparency, ImageAlpha::Default, Compression::None});
  ApplyRow(menu.At(g.assets.EmptyItemIndex),
           {0.6f, BlendMode::Transparency, ImageAlpha::Default, Compression::HighQuality});
  return true;
}

bool LoadPreloadTable(Game& g) {
  AssetTables& a = g.assets;
  a.PreloadIndex = 0;
  a.PreloadTable.clear();
  a.PreloadLast = -1;
  std::vector<uint8_t> text;
  if (!ExtractTable(g, "preload.dat", text)) return false;
  ReadPreloadPairs(text, a.PreloadTable);
  for (size_t i = 0; i < a.LoadedItems && i < a.MenuItemTable.size(); ++i) {
    if (a.PreloadTable.size() >= kPreloadCapacity) break;
    a.PreloadTable.push_back({"GLMLmenu", a.MenuItemTable[i].name});
  }
  a.PreloadLast = static_cast<int>(a.PreloadTable.size()) - 1;
  return true;
}

}  // namespace tdx
