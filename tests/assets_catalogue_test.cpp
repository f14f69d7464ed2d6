// The asset catalogue on a small game folder packed here: every library in order, the
// settings rows by material index, the text tables, and start-up stopping with a message
// that names the archive and the member.
#include <cstdlib>
#include <functional>

#include "app/game.h"
#include "assets/catalogue.h"
#include "assets/quoted_input.h"
#include "assets_fixture.h"

namespace tdx {
namespace {

using assets_testing::Bytes;
using assets_testing::Member;
using assets_testing::ScratchDir;
using assets_testing::SolidBmp;

// Catalogue picture i is a 2 by 2 picture of colour i + 1, so a material shows which
// member it came from.
uint32_t ColourOf(size_t i) { return static_cast<uint32_t>(i + 1) * 0x010203u & 0xFFFFFF; }

struct GameFiles {
  std::vector<PakMember> gfx, dat, items;
};

GameFiles DefaultFiles() {
  GameFiles f;
  const auto& catalogue = GfxCatalogue();
  for (size_t i = 0; i < catalogue.size(); ++i) {
    f.gfx.push_back(Member(catalogue[i].file, SolidBmp(ColourOf(i))));
  }
  f.dat.push_back(
      Member("menu_items.dat", "play\n120\n32\r\nquit\r\n 80 \r\n\r\n 30\nempty\n10\n10\n"));
  f.dat.push_back(Member("preload.dat", "logo\nglmllogo\n05\nGLMLtele\n"));
  f.dat.push_back(Member("added_items.dat", "network\n70\n14\n"));
  f.items.push_back(Member("play_mi.bmp", SolidBmp(0xAA0000)));
  f.items.push_back(Member("empty_mi.bmp", SolidBmp(0x000000)));
  f.items.push_back(Member("quit_mi.bmp", SolidBmp(0x00AA00)));
  f.items.push_back(Member("network_mi.bmp", SolidBmp(0x0000AA)));
  return f;
}

void PackGame(const ScratchDir& dir, const GameFiles& f) {
  dir.Pack("gfx.pak", f.gfx);
  dir.Pack("dat.pak", f.dat);
  dir.Pack("items.pak", f.items);
}

// One loaded game for the tests that only look at the result.
class Catalogue : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new ScratchDir;
    PackGame(*dir_, DefaultFiles());
    before_ = new std::vector<std::string>(dir_->Listing());
    game_ = new Game;
    game_->folders = GameFolderAt(dir_->Path());
    loaded_ = LoadAssets(*game_) && LoadPreloadTable(*game_);
  }
  static void TearDownTestSuite() {
    delete game_;
    delete before_;
    delete dir_;
  }
  void SetUp() override { ASSERT_TRUE(loaded_) << game_->fatalError; }
  const MaterialLibrary& Lib(LibraryId id) { return game_->scene.Library(id); }

  static ScratchDir* dir_;
  static std::vector<std::string>* before_;
  static Game* game_;
  static bool loaded_;
};
ScratchDir* Catalogue::dir_ = nullptr;
std::vector<std::string>* Catalogue::before_ = nullptr;
Game* Catalogue::game_ = nullptr;
bool Catalogue::loaded_ = false;

TEST_F(Catalogue, EveryLibraryHoldsItsPicturesInCatalogueOrder) {
  const std::pair<LibraryId, int> counts[] = {
      {LibGLML1, 1},       {LibGlmllogo, 1},    {LibGlmlzorbel, 1}, {LibGlmlshots, 128},
      {LibGLMLatomic, 50}, {LibGLMLrocket, 25}, {LibGLMLMyst, 77},  {LibGLMLtele, 24},
      {LibGLMLmenu, 4},    {LibGLMLloading, 0}};
  for (const auto& [lib, count] : counts) EXPECT_EQ(Lib(lib).Count(), count) << kLibraryNames[lib];

  const std::tuple<LibraryId, int, const char*> named[] = {
      {LibGlmllogo, 0, "logo"},          {LibGlmlzorbel, 0, "zorbel"},
      {LibGlmlshots, 0, "rip"},          {LibGlmlshots, 3, "tripple"},
      {LibGlmlshots, 6, "virus1a"},      {LibGlmlshots, 17, "virus1l"},
      {LibGlmlshots, 113, "virus9l"},    {LibGlmlshots, 114, "rocket1"},
      {LibGlmlshots, 127, "x_bomb_4"},   {LibGLMLatomic, 0, "01"},
      {LibGLMLatomic, 45, "91"},         {LibGLMLatomic, 49, "99"},
      {LibGLMLrocket, 0, "000"},         {LibGLMLrocket, 24, "024"},
      {LibGLMLMyst, 47, "47"},           {LibGLMLMyst, 48, "bomb1"},
      {LibGLMLMyst, 76, "b_no_virus_3"}, {LibGLMLtele, 23, "tele23"}};
  for (const auto& [lib, index, name] : named) {
    ASSERT_NE(Lib(lib).At(index), nullptr);
    EXPECT_EQ(Lib(lib).At(index)->name, name) << kLibraryNames[lib] << " " << index;
  }

  // Each material has the picture of its own member.
  const auto& catalogue = GfxCatalogue();
  std::array<int, kLibraryCount> next{};
  for (size_t i = 0; i < catalogue.size(); ++i) {
    const Material* m = Lib(catalogue[i].library).At(next[catalogue[i].library]++);
    ASSERT_NE(m, nullptr);
    ASSERT_NE(m->picture, nullptr);
    const uint32_t c = ColourOf(i);
    EXPECT_EQ(std::vector<uint8_t>(m->picture->rgba.begin(), m->picture->rgba.begin() + 4),
              (std::vector<uint8_t>{uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), 0xFF}))
        << catalogue[i].file;
  }
  const Material& empty = *Lib(LibGLML1).At(0);
  EXPECT_EQ(empty.name, "empty");
  EXPECT_EQ(empty.picture->width, 32);
  EXPECT_EQ(empty.picture->height, 32);
  EXPECT_EQ(empty.picture->rgba[0] | empty.picture->rgba[1] | empty.picture->rgba[2], 0);
  EXPECT_EQ(*before_, dir_->Listing());  // nothing was written beside the archives
}

TEST_F(Catalogue, EachMaterialCarriesItsLibrarysRow) {
  using B = BlendMode;
  using I = ImageAlpha;
  using C = Compression;
  struct Row {
    LibraryId lib;
    int index;
    float alpha;
    B blending;
    I imageAlpha;
    C compression;
  };
  const Row rows[] = {
      {LibGLML1, 0, 1.0f, B::Transparency, I::SuperBlackTransparent, C::HighQuality},
      {LibGlmllogo, 0, 1.0f, B::Transparency, I::SuperBlackTransparent, C::HighQuality},
      {LibGlmlzorbel, 0, 1.0f, B::Transparency, I::SuperBlackTransparent, C::None},
      {LibGlmlshots, 0, 0.6f, B::Transparency, I::SuperBlackTransparent, C::None},
      {LibGlmlshots, 1, 1.0f, B::Additive, I::SuperBlackTransparent, C::None},
      {LibGlmlshots, 3, 1.0f, B::Additive, I::SuperBlackTransparent, C::None},
      {LibGlmlshots, 4, 1.0f, B::Transparency, I::SuperBlackTransparent, C::None},
      {LibGlmlshots, 127, 1.0f, B::Transparency, I::SuperBlackTransparent, C::None},
      {LibGLMLatomic, 0, 1.0f, B::Transparency, I::LuminanceSqrt, C::HighQuality},
      {LibGLMLatomic, 39, 1.0f, B::Transparency, I::LuminanceSqrt, C::HighQuality},
      {LibGLMLatomic, 40, 0.9f, B::Transparency, I::LuminanceSqrt, C::HighQuality},
      {LibGLMLatomic, 45, 0.4f, B::Transparency, I::LuminanceSqrt, C::HighQuality},
      {LibGLMLatomic, 49, 0.0f, B::Transparency, I::LuminanceSqrt, C::HighQuality},
      {LibGLMLrocket, 24, 1.0f, B::Transparency, I::LuminanceSqrt, C::HighQuality},
      {LibGLMLMyst, 47, 1.0f, B::Transparency, I::LuminanceSqrt, C::HighQuality},
      {LibGLMLMyst, 48, 1.0f, B::Transparency, I::Opaque, C::None},
      {LibGLMLMyst, 76, 1.0f, B::Transparency, I::Opaque, C::None},
      {LibGLMLtele, 0, 1.0f, B::Transparency, I::LuminanceSqrt, C::None},
      {LibGLMLmenu, 0, 1.0f, B::Transparency, I::Default, C::None},
      {LibGLMLmenu, 1, 0.6f, B::Transparency, I::Default, C::HighQuality},  // `empty`
      {LibGLMLmenu, 2, 1.0f, B::Transparency, I::Default, C::None},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string(kLibraryNames[r.lib]) + " " + std::to_string(r.index));
    const Material* m = Lib(r.lib).At(r.index);
    ASSERT_NE(m, nullptr);
    EXPECT_NEAR(m->diffuse.a, r.alpha, 1e-6);
    EXPECT_EQ(m->blending, r.blending);
    EXPECT_EQ(m->imageAlpha, r.imageAlpha);
    EXPECT_EQ(m->compression, r.compression);
  }
  for (int lib = 0; lib < kLibraryCount; ++lib) {
    for (int i = 0; i < Lib(LibraryId(lib)).Count(); ++i) {
      const Material& m = *Lib(LibraryId(lib)).At(i);
      EXPECT_TRUE(m.enabled);
      EXPECT_EQ(m.textureMode, TextureMode::Modulate);
      EXPECT_TRUE(m.emission.r == 1 && m.emission.g == 1 && m.emission.b == 1 && m.emission.a == 1)
          << kLibraryNames[lib] << " " << i;
    }
  }
}

TEST_F(Catalogue, MenuItemsAndPreloadTable) {
  const auto& items = game_->assets.MenuItemTable;
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[0].name, "play");
  EXPECT_EQ(items[0].width, 120);
  EXPECT_EQ(items[0].height, 32);
  EXPECT_EQ(items[1].name, "quit");  // CR LF ends and a blank line between the numbers
  EXPECT_EQ(items[1].width, 80);
  EXPECT_EQ(items[1].height, 30);
  EXPECT_EQ(items[2].name, "empty");
  EXPECT_EQ(items[3].name, "network");  // added to the screens: sized like the others
  EXPECT_EQ(items[3].width, 70);
  EXPECT_EQ(game_->assets.EmptyItemIndex, 1);

  const auto& preload = game_->assets.PreloadTable;
  ASSERT_EQ(preload.size(), 5u);
  EXPECT_EQ(preload[0].material, "logo");
  EXPECT_EQ(preload[0].library, "glmllogo");
  EXPECT_EQ(preload[1].material, "05");
  EXPECT_EQ(preload[1].library, "GLMLtele");
  EXPECT_EQ(preload[2].library, "GLMLmenu");
  EXPECT_EQ(preload[2].material, "play");
  EXPECT_EQ(preload[4].material, "empty");
  // ... but not on the loading screen, which keeps its length.
  EXPECT_EQ(game_->assets.PreloadLast, 4);
  EXPECT_EQ(game_->assets.PreloadIndex, 0);
}

// Start-up stops at the first thing missing, with a message naming archive and member.
TEST(CatalogueFailures, StartUpStopsNamingTheArchiveAndMember) {
  struct Case {
    const char* what;
    std::function<void(GameFiles&)> change;
    std::vector<std::string> mentions;
  };
  auto drop = [](std::vector<PakMember>& v, const std::string& name) {
    v.erase(std::remove_if(v.begin(), v.end(), [&](const PakMember& m) { return m.name == name; }),
            v.end());
  };
  const Case cases[] = {
      {"missing logo", [&](GameFiles& f) { drop(f.gfx, "logo.bmp"); }, {"pak/gfx.pak", "logo.bmp"}},
      {"missing virus frame",
       [&](GameFiles& f) { drop(f.gfx, "virus5c.bmp"); },
       {"pak/gfx.pak", "virus5c.bmp"}},
      {"no gfx.pak", [](GameFiles& f) { f.gfx.clear(); }, {"pak/gfx.pak", "logo.bmp"}},
      {"unreadable picture",
       [](GameFiles& f) { f.gfx.back().data = Bytes("BMnot really"); },
       {"pak/gfx.pak", "tele23.bmp", "picture"}},
      {"missing menu table",
       [&](GameFiles& f) { drop(f.dat, "menu_items.dat"); },
       {"pak/dat.pak", "menu_items.dat"}},
      {"menu size not a number",
       [](GameFiles& f) { f.dat[0].data = Bytes("play\nwide\n32\n"); },
       {"pak/dat.pak", "menu_items.dat", "line 2", "width", "play"}},
      {"menu size missing",
       [](GameFiles& f) { f.dat[0].data = Bytes("play\n120\n"); },
       {"menu_items.dat", "height", "missing"}},
      {"missing added words' table",
       [&](GameFiles& f) { drop(f.dat, "added_items.dat"); },
       {"pak/dat.pak", "added_items.dat"}},
      {"added word's size not a number",
       [](GameFiles& f) { f.dat[2].data = Bytes("network\n70\nhigh\n"); },
       {"pak/dat.pak", "added_items.dat", "height", "network"}},
      {"broken menu word",
       [](GameFiles& f) { f.items[2].data = Bytes("junk"); },
       {"pak/items.pak", "quit_mi.bmp"}},
      {"no menu words", [](GameFiles& f) { f.items.clear(); }, {"pak/items.pak", "no menu words"}},
  };
  // Most cases keep the 306 pictures as they are: pack those once.
  const GameFiles defaults = DefaultFiles();
  const std::vector<uint8_t> defaultGfx = BuildPak(defaults.gfx);
  auto sameGfx = [&defaults](const std::vector<PakMember>& gfx) {
    return std::equal(gfx.begin(), gfx.end(), defaults.gfx.begin(), defaults.gfx.end(),
                      [](const PakMember& a, const PakMember& b) {
                        return a.name == b.name && a.data == b.data;
                      });
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GameFiles files = defaults;
    c.change(files);
    ScratchDir dir;
    if (sameGfx(files.gfx)) {
      std::ofstream(dir.Path() + "/pak/gfx.pak", std::ios::binary)
          .write(reinterpret_cast<const char*>(defaultGfx.data()),
                 static_cast<std::streamsize>(defaultGfx.size()));
    } else if (!files.gfx.empty()) {
      dir.Pack("gfx.pak", files.gfx);
    }
    dir.Pack("dat.pak", files.dat);
    dir.Pack("items.pak", files.items);
    Game g;
    g.folders = GameFolderAt(dir.Path());
    EXPECT_FALSE(LoadAssets(g));
    for (const std::string& text : c.mentions) {
      EXPECT_NE(g.fatalError.find(text), std::string::npos) << g.fatalError;
    }
  }
}

TEST(CatalogueFailures, MissingPreloadTableStopsStartUp) {
  ScratchDir dir;
  dir.Pack("dat.pak", {Member("menu_items.dat", "")});
  Game g;
  g.folders = GameFolderAt(dir.Path());
  EXPECT_FALSE(LoadPreloadTable(g));
  EXPECT_NE(g.fatalError.find("pak/dat.pak: member preload.dat"), std::string::npos)
      << g.fatalError;
}

TEST(CatalogueTables, EmptyTablesSkipLoading) {
  ScratchDir dir;
  dir.Pack("dat.pak", {Member("preload.dat", "")});
  Game g;
  g.folders = GameFolderAt(dir.Path());
  g.assets.PreloadIndex = 7;
  ASSERT_TRUE(LoadPreloadTable(g)) << g.fatalError;
  EXPECT_EQ(g.assets.PreloadLast, -1);
  EXPECT_EQ(g.assets.PreloadIndex, 0);
}

TEST(CatalogueTables, MenuItemsParseSafely) {
  struct Case {
    const char* what;
    std::string text;
    size_t count;
    int lastWidth;
  };
  const Case cases[] = {
      {"LF", "a\n1\n2\nb\n3\n4\n", 2, 3},
      {"CR LF and a byte-order mark",
       "\xEF\xBB\xBF"
       "a\r\n1\r\n2\r\nb\r\n3\r\n4\r\n",
       2, 3},
      {"blanks, signs and trailing words", "a\n  +7 px\n\t-2 high\n", 1, 7},
      {"stops at the first empty name", "a\n1\n2\n\nb\n3\n4\n", 1, 1},
      {"no line end at the end", "a\n1\n2", 1, 1},
      {"empty file", "", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<MenuItemEntry> table;
    std::string error;
    ASSERT_TRUE(ReadMenuItems(Bytes(c.text), table, error)) << error;
    ASSERT_EQ(table.size(), c.count);
    if (c.count) {
      EXPECT_EQ(table.back().width, c.lastWidth);
      EXPECT_EQ(table[0].name, "a");
    }
  }
  for (const char* bad : {"a\nx\n2\n", "a\n1\n", "a\n99999999999\n1\n", "a\n-\n1\n"}) {
    std::vector<MenuItemEntry> table;
    std::string error;
    EXPECT_FALSE(ReadMenuItems(Bytes(bad), table, error)) << bad;
    EXPECT_NE(error.find("'a'"), std::string::npos) << error;
  }
  // A bad entry is quoted cut short: a megabyte of name gives a one-line message.
  const std::string huge(1 << 20, 'n');
  for (const std::string& bad : {huge + "\nwide\n1\n", huge + "\n1\n"}) {
    std::vector<MenuItemEntry> table;
    std::string error;
    EXPECT_FALSE(ReadMenuItems(Bytes(bad), table, error));
    EXPECT_NE(error.find("'" + std::string(60, 'n') + "...'"), std::string::npos) << error;
    EXPECT_LT(error.size(), 120u);
  }
}

TEST(CatalogueTables, QuotedInputIsCutAndMadePrintable) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"play", "play"},
      {std::string(60, 'a'), std::string(60, 'a')},
      {std::string(61, 'a'), std::string(60, 'a') + "..."},
      {"tab\there\r", "tab?here?"},
      // A two-byte character across the cut is left out whole.
      {std::string(59, 'a') + "\xC3\xA9zz", std::string(59, 'a') + "..."},
  };
  for (const Case& c : cases) EXPECT_EQ(QuotedInput(c.in), c.out) << c.in;
}

TEST(CatalogueTables, ExtraEntriesAreIgnoredNotWrittenPastTheTable) {
  std::string menu, preload;
  for (int i = 0; i < 1100; ++i) menu += "w" + std::to_string(i) + "\n1\n2\n";
  for (int i = 0; i < 4090; ++i) preload += "m" + std::to_string(i) + "\nGLMLtele\n";
  std::vector<MenuItemEntry> items;
  std::string error;
  ASSERT_TRUE(ReadMenuItems(Bytes(menu), items, error)) << error;
  ASSERT_EQ(items.size(), kMenuItemCapacity);
  EXPECT_EQ(items.back().name, "w1023");

  // Preload pairs and menu words share the 4096 entries.
  ScratchDir dir;
  dir.Pack("dat.pak", {Member("preload.dat", preload)});
  Game g;
  g.folders = GameFolderAt(dir.Path());
  g.assets.MenuItemTable = items;
  g.assets.LoadedItems = items.size();
  ASSERT_TRUE(LoadPreloadTable(g)) << g.fatalError;
  ASSERT_EQ(g.assets.PreloadTable.size(), kPreloadCapacity);
  EXPECT_EQ(g.assets.PreloadLast, 4095);
  EXPECT_EQ(g.assets.PreloadTable[4089].material, "m4089");
  EXPECT_EQ(g.assets.PreloadTable[4095].material, "w5");

  std::vector<PreloadEntry> pairs;
  ReadPreloadPairs(Bytes(preload + preload), pairs);
  EXPECT_EQ(pairs.size(), kPreloadCapacity);
}

}  // namespace
}  // namespace tdx

namespace tdx {
namespace {

// The generated game folder, when one has been built: every catalogue picture and table
// loads, and the menu words the table names exist.
TEST(CatalogueGameData, TheGeneratedGameFolderLoads) {
  const char* env = std::getenv("TANDRIX_GAME_DATA");
  const std::string dir = env && *env ? env : TANDRIX_GAME_DATA;
  if (!std::filesystem::exists(dir + "/pak/gfx.pak")) GTEST_SKIP() << "no game folder at " << dir;
  Game g;
  g.folders = GameFolderAt(dir);
  ASSERT_TRUE(LoadAssets(g)) << g.fatalError;
  ASSERT_TRUE(LoadPreloadTable(g)) << g.fatalError;
  EXPECT_EQ(g.scene.Library(LibGlmlshots).Count(), 128);
  EXPECT_EQ(g.scene.Library(LibGLMLMyst).Count(), 77);
  const MaterialLibrary& menu = g.scene.Library(LibGLMLmenu);
  ASSERT_GE(g.assets.EmptyItemIndex, 0);
  ASSERT_LT(g.assets.EmptyItemIndex, menu.Count());
  EXPECT_EQ(menu.At(g.assets.EmptyItemIndex)->name, "empty");
  EXPECT_FALSE(g.assets.MenuItemTable.empty());
  for (const MenuItemEntry& e : g.assets.MenuItemTable) {
    EXPECT_NE(menu.Find(e.name), nullptr) << e.name;
  }
  EXPECT_EQ(g.assets.PreloadLast, static_cast<int>(g.assets.PreloadTable.size()) - 1);
}

}  // namespace
}  // namespace tdx
