// The picture generator: runs it into a temporary stage folder and checks the result
// against the asset catalogue, the menu tables and the key table, as the game reads them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/bmp.h"
#include "players/key_codes.h"

namespace fs = std::filesystem;

namespace {

// The generator is built next to the game folder's tools; TANDRIX_DATAGEN_GFX overrides.
fs::path GeneratorPath() {
  if (const char* env = std::getenv("TANDRIX_DATAGEN_GFX")) return env;
  return fs::path(TANDRIX_GAME_DATA) / ".." / "tools" / "datagen" / "gfx" / "datagen_gfx";
}

std::vector<uint8_t> ReadBytes(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
uint16_t U16(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

// A Windows bitmap as the game's reader needs it: uncompressed 24-bit, or 32-bit with
// bit-field masks; returns an error text, empty when the file is sound.
struct Bmp {
  int width = 0, height = 0, bpp = 0;
  std::vector<uint8_t> bytes;
  uint32_t offset = 0;
  // Pixel (x, y) from the top-left: blue, green, red, alpha (255 for 24-bit).
  uint32_t At(int x, int y) const {
    const int row = bpp == 24 ? ((width * 3 + 3) & ~3) : width * 4;
    size_t p =
        offset + static_cast<size_t>(height - 1 - y) * row + static_cast<size_t>(x) * (bpp / 8);
    uint32_t a = bpp == 32 ? bytes[p + 3] : 255u;
    return bytes[p] | (bytes[p + 1] << 8) | (bytes[p + 2] << 16) | (a << 24);
  }
};

std::string ParseBmp(const fs::path& p, Bmp* out) {
  Bmp b;
  b.bytes = ReadBytes(p);
  const auto& d = b.bytes;
  if (d.size() < 54 || d[0] != 'B' || d[1] != 'M') return "not a bitmap";
  if (U32(d, 2) != d.size())
    return "file size field " + std::to_string(U32(d, 2)) + " != " + std::to_string(d.size());
  b.offset = U32(d, 10);
  const uint32_t header = U32(d, 14);
  b.width = static_cast<int32_t>(U32(d, 18));
  b.height = static_cast<int32_t>(U32(d, 22));
  b.bpp = U16(d, 28);
  const uint32_t compression = U32(d, 30);
  if (b.width <= 0 || b.height <= 0) return "size must be positive (bottom-up rows)";
  if (U16(d, 26) != 1) return "planes != 1";
  if (b.bpp == 24) {
    if (compression != 0 || header < 40) return "24-bit must be uncompressed";
  } else if (b.bpp == 32) {
    if (compression != 3 || header < 108) return "32-bit needs bit-field masks in a V4 header";
    if (U32(d, 54) != 0x00FF0000 || U32(d, 58) != 0x0000FF00 || U32(d, 62) != 0x000000FF ||
        U32(d, 66) != 0xFF000000)
      return "unexpected colour masks";
  } else {
    return "bit depth " + std::to_string(b.bpp);
  }
  if (b.offset != 14 + header) return "pixel offset does not follow the header";
  const size_t row = b.bpp == 24 ? ((b.width * 3 + 3) & ~3) : static_cast<size_t>(b.width) * 4;
  if (d.size() != b.offset + row * static_cast<size_t>(b.height))
    return "pixel data size does not match";
  *out = std::move(b);
  return "";
}

// Reads a text table line by line as the game does ("\r\n" tolerated).
std::vector<std::string> Lines(const fs::path& p) {
  std::ifstream f(p);
  std::vector<std::string> lines;
  for (std::string l; std::getline(f, l);) {
    if (!l.empty() && l.back() == '\r') l.pop_back();
    lines.push_back(l);
  }
  return lines;
}

std::string Num(int v, int width) {
  std::string s = std::to_string(v);
  while (static_cast<int>(s.size()) < width) s = "0" + s;
  return s;
}

// The asset catalogue's gfx.pak members, in catalogue order per library.
std::vector<std::string> CatalogueGfxFiles() {
  std::vector<std::string> f = {"logo.bmp",      "tandrix.bmp", "rip.bmp",    "shot.bmp",
                                "fire_ball.bmp", "tripple.bmp", "laserv.bmp", "laserh.bmp"};
  for (int d = 1; d <= 9; ++d)
    for (char l = 'a'; l <= 'l'; ++l) f.push_back("virus" + std::to_string(d) + l + ".bmp");
  for (const char* n :
       {"rocket1", "rocket2", "rocket3", "target", "digger1", "digger2", "digger3", "s_bomb_1",
        "s_bomb_2", "s_bomb_3", "x_bomb_1", "x_bomb_2", "x_bomb_3", "x_bomb_4"})
    f.push_back(std::string(n) + ".bmp");
  for (int n = 1; n <= 99; n += 2) f.push_back("atomic0" + Num(n, 2) + ".bmp");
  for (int n = 0; n <= 24; ++n) f.push_back("e0001_" + Num(n, 3) + ".bmp");
  for (int n = 0; n <= 47; ++n) f.push_back("myst" + Num(n, 2) + ".bmp");
  for (const char* n :
       {"bomb1",         "bomb2",        "bomb3",        "cherry1",       "cherry2",
        "fire1",         "fire2",        "fire3",        "heart1",        "heart2",
        "poison1",       "poison2",      "b_up_1",       "b_up_2",        "b_down_1",
        "b_down_2",      "b_digger_1",   "b_digger_2",   "b_digger_3",    "b_xonix_1",
        "b_xonix_2",     "b_xonix_3",    "b_xonix_4",    "b_no_rocket_1", "b_no_rocket_2",
        "b_no_rocket_3", "b_no_virus_1", "b_no_virus_2", "b_no_virus_3"})
    f.push_back(std::string(n) + ".bmp");
  for (int n = 0; n <= 23; ++n) f.push_back("tele" + Num(n, 2) + ".bmp");
  return f;
}

const std::vector<std::string> kColourNames = {"c00ff00", "cff0000", "c0000ff", "c00ffff",
                                               "cffff00", "cff00ff", "c00ff80", "c0080ff",
                                               "c808080", "cff8000", "cff0080", "c8000ff"};

// Words of the set-up table, shown at scale 1.0 (or 1.1) on rows 16 pixels apart.
const std::vector<std::string> kSetupWords = {"back",
                                              "player",
                                              "team",
                                              "active",
                                              "left",
                                              "right",
                                              "fire",
                                              "job",
                                              "off",
                                              "human",
                                              "cpuiq0",
                                              "cpuiq10",
                                              "traveller",
                                              "speeder",
                                              "stopper",
                                              "warper",
                                              "reverser",
                                              "killer",
                                              "laser_shooter",
                                              "multiplier",
                                              "virus_infester",
                                              "repeller",
                                              "rocket_launcher",
                                              "atomic_bomber",
                                              "reproducer",
                                              "erector",
                                              "teleporter",
                                              "shooter",
                                              "w_infernal",
                                              "w_thicker",
                                              "pauser",
                                              "virus_controller",
                                              "w_random",
                                              "bonus",
                                              "on",
                                              "speed",
                                              "constant",
                                              "accelerating",
                                              "from",
                                              "to",
                                              "starting_position",
                                              "into_the_middle",
                                              "away_from_the_middle",
                                              "circle",
                                              "proportional_random",
                                              "random",
                                              "race",
                                              "score_limit",
                                              "3b",
                                              "10b",
                                              "21b",
                                              "50b",
                                              "100b",
                                              "1000b",
                                              "game_number",
                                              "show",
                                              "hide",
                                              "game_time",
                                              "real_time",
                                              "score",
                                              "positions",
                                              "surprise",
                                              "background_effect",
                                              "rightleft",
                                              "leftright",
                                              "sounds",
                                              "speech",
                                              "music",
                                              "press_a_key",
                                              "30b",
                                              "40b",
                                              "60b",
                                              "70b",
                                              "80b",
                                              "90b",
                                              "120b",
                                              "150b",
                                              "1c",
                                              "2c",
                                              "3c",
                                              "4c",
                                              "10",
                                              "11",
                                              "12"};

// Every other word the game shows.
const std::vector<std::string> kOtherWords = {"loading",
                                              "please_wait",
                                              "deathmatch",
                                              "team_deathmatch",
                                              "set_up",
                                              "about",
                                              "quit",
                                              "glscene",
                                              "plonquet",
                                              "copyright",
                                              "select_more_players",
                                              "select_more_teams",
                                              "empty",
                                              "about_pic",
                                              "get_ready",
                                              "go",
                                              "main_menu",
                                              "exit_program",
                                              "hit_the_fire_button",
                                              "congratulations",
                                              "won_this_round",
                                              "draw_game",
                                              "waiting",
                                              "ready",
                                              "dvojbodka",
                                              "into_the_middle_pic",
                                              "away_from_the_middle_pic",
                                              "circle_pic",
                                              "proportional_random_pic",
                                              "random_pic",
                                              "race_pic",
                                              "f12"};

class DatagenGfx : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const fs::path gen = GeneratorPath();
    if (!fs::exists(gen)) return;
    stage_ = fs::temp_directory_path() / ("tdx_gfx_" + std::to_string(::getpid()));
    fs::remove_all(stage_);
    // Leftovers of an earlier run and a table of another tool.
    fs::create_directories(stage_ / "gfx");
    fs::create_directories(stage_ / "items");
    fs::create_directories(stage_ / "dat");
    std::ofstream(stage_ / "gfx" / "renamed_sprite.bmp") << "old";
    std::ofstream(stage_ / "items" / "old_word_00.bmp") << "old";
    std::ofstream(stage_ / "dat" / "sounds.dat") << "kept\n";
    std::ofstream(stage_ / "dat" / "keys.dat") << "junk\n";
    status_ = std::system(("\"" + gen.string() + "\" \"" + stage_.string() + "\" --layout \"" +
                           (stage_ / "text_layout.txt").string() + "\" > /dev/null")
                              .c_str());
    for (const auto& e : fs::directory_iterator(stage_ / "items")) {
      const std::string name = e.path().filename().string();
      // The game cuts the last seven characters of the member name.
      items_[name.size() > 6 ? name.substr(0, name.size() - 7) : name] = e.path();
    }
  }
  static void TearDownTestSuite() {
    if (!stage_.empty()) fs::remove_all(stage_);
  }
  void SetUp() override {
    if (!fs::exists(GeneratorPath()))
      GTEST_SKIP() << "datagen_gfx not built (" << GeneratorPath()
                   << "); configure with -DTANDRIX_DATA=ON";
    ASSERT_EQ(status_, 0) << "datagen_gfx failed";
  }
  Bmp Item(const std::string& material) {
    Bmp b;
    auto it = items_.find(material);
    if (it == items_.end()) {
      ADD_FAILURE() << "no items picture for '" << material << "'";
      return b;
    }
    std::string err = ParseBmp(it->second, &b);
    EXPECT_EQ(err, "") << it->second;
    return b;
  }

  static fs::path stage_;
  static int status_;
  static std::map<std::string, fs::path> items_;
};
fs::path DatagenGfx::stage_;
int DatagenGfx::status_ = -1;
std::map<std::string, fs::path> DatagenGfx::items_;

TEST_F(DatagenGfx, WritesEveryCataloguePictureAndNothingElse) {
  std::set<std::string> expected;
  for (const std::string& f : CatalogueGfxFiles()) {
    expected.insert(f);
    Bmp b;
    const fs::path p = stage_ / "gfx" / f;
    ASSERT_TRUE(fs::exists(p)) << f;
    ASSERT_EQ(ParseBmp(p, &b), "") << f;
    // Gfx libraries take alpha from the colours, so the files carry none.
    EXPECT_EQ(b.bpp, 24) << f;
  }
  for (const auto& e : fs::directory_iterator(stage_ / "gfx"))
    EXPECT_TRUE(expected.count(e.path().filename().string())) << "unexpected (stale?) " << e.path();
  EXPECT_FALSE(fs::exists(stage_ / "items" / "old_word_00.bmp"));
  EXPECT_EQ(Lines(stage_ / "dat" / "sounds.dat"), std::vector<std::string>{"kept"})
      << "another tool's table";
}

TEST_F(DatagenGfx, SpritesFadeToBlackBeforeTheirEdges) {
  // Every library but the bonus pictures makes black (or dark) transparent; a glow that
  // reached the edge would show the sprite's rectangle. The bonus pictures are opaque
  // tiles.
  std::set<std::string> opaque = {"bomb1", "bomb2", "bomb3",  "cherry1", "cherry2", "fire1",
                                  "fire2", "fire3", "heart1", "heart2",  "poison1", "poison2"};
  for (const std::string& f : CatalogueGfxFiles()) {
    const std::string material = f.substr(0, f.size() - 4);
    if (opaque.count(material) || material.rfind("b_", 0) == 0) continue;
    Bmp b;
    ASSERT_EQ(ParseBmp(stage_ / "gfx" / f, &b), "") << f;
    int lit = 0;
    for (int x = 0; x < b.width; ++x)
      lit += (b.At(x, 0) & 0xFFFFFF) != 0 || (b.At(x, b.height - 1) & 0xFFFFFF) != 0;
    for (int y = 0; y < b.height; ++y)
      lit += (b.At(0, y) & 0xFFFFFF) != 0 || (b.At(b.width - 1, y) & 0xFFFFFF) != 0;
    EXPECT_EQ(lit, 0) << f << ": lit pixels on the edge";
  }
}

TEST_F(DatagenGfx, HasAPictureForEveryWordWithSizesThatFitTheScreens) {
  for (const std::string& w : kSetupWords) {
    Bmp b = Item(w);
    EXPECT_EQ(b.bpp, 32) << w << ": menu words carry their own alpha";
    EXPECT_LE(b.height, 16) << w << ": set-up rows are 16 pixels apart";
    EXPECT_LT(b.At(0, 0) >> 24, 24u) << w << ": background must be transparent";
  }
  for (const std::string& w : kOtherWords) Item(w);
  for (const std::string& c : kColourNames) {
    Bmp b = Item(c);
    EXPECT_EQ(b.width, b.height) << c << ": shown as a 12 by 12 square in the display";
  }
  for (char c = '0'; c <= '9'; ++c) {
    Bmp b = Item(std::string(1, c));
    EXPECT_EQ(b.width, b.height) << c << ": the display stretches digits to squares";
  }
  for (char c = 'a'; c <= 'z'; ++c) Item(std::string(1, c));
  for (const tdx::KeyCodeName& k : tdx::kKeyCodeNames) {
    Bmp b = Item(k.name);
    EXPECT_LE(b.width, 73) << k.name << ": key columns of the set-up table are 73 pixels apart";
  }
  Bmp about = Item("about_pic");
  EXPECT_LE(about.width, 512);
  EXPECT_LE(about.height, 336) << "the about picture must fit inside its frame";
  for (const char* rule : {"into_the_middle", "away_from_the_middle", "circle",
                           "proportional_random", "random", "race"}) {
    Bmp b = Item(std::string(rule) + "_pic");
    EXPECT_EQ(b.width, b.height) << rule << ": the preview sprite is 64 by 64";
  }
}

TEST_F(DatagenGfx, GameReaderDecodesPicturesWithTheRightAlpha) {
  struct Case {
    fs::path path;
    bool alpha;
  } cases[] = {{items_["deathmatch"], true},
               {items_["about_pic"], true},
               {items_["c00ff00"], true},
               {stage_ / "gfx" / "virus1a.bmp", false},
               {stage_ / "gfx" / "atomic051.bmp", false},
               {stage_ / "gfx" / "tandrix.bmp", false}};
  for (const Case& c : cases) {
    Bmp ours;
    ASSERT_EQ(ParseBmp(c.path, &ours), "") << c.path;
    tdx::Picture pic;
    std::string error;
    ASSERT_TRUE(tdx::DecodeBmp(ReadBytes(c.path), pic, error)) << c.path << ": " << error;
    EXPECT_EQ(pic.width, ours.width);
    EXPECT_EQ(pic.height, ours.height);
    EXPECT_EQ(pic.hasAlpha, c.alpha) << c.path;
    // Top-down RGBA from the reader against our bottom-up BGRA: the middle row.
    const int y = ours.height / 2;
    for (int x = 0; x < ours.width; ++x) {
      const uint32_t v = ours.At(x, y);
      const uint8_t* px = &pic.rgba[(static_cast<size_t>(y) * pic.width + x) * 4];
      ASSERT_EQ(px[0], (v >> 16) & 0xFF) << c.path << " x " << x;
      ASSERT_EQ(px[2], v & 0xFF) << c.path << " x " << x;
      if (c.alpha) {
        ASSERT_EQ(px[3], v >> 24) << c.path << " x " << x;
      }
    }
  }
}

TEST_F(DatagenGfx, MenuItemTableListsEveryItemWithItsHitSize) {
  // The words of the loading screen's list, then those the game adds to its screens: every
  // picture in one of the two, once.
  std::map<std::string, std::pair<int, int>> table;
  std::set<std::string> added;
  for (const char* file : {"menu_items.dat", "added_items.dat"}) {
    const std::vector<std::string> lines = Lines(stage_ / "dat" / file);
    size_t i = 0;
    while (i < lines.size() && !lines[i].empty()) {
      ASSERT_LT(i + 2, lines.size()) << file << " entry " << lines[i] << " lacks its sizes";
      const std::string name = lines[i];
      int w = std::stoi(lines[i + 1]), h = std::stoi(lines[i + 2]);
      EXPECT_TRUE(table.emplace(name, std::pair{w, h}).second) << "duplicate " << name;
      if (std::string(file) == "added_items.dat") added.insert(name);
      i += 3;
    }
    EXPECT_EQ(i, lines.size()) << file << ": an empty line would end the table early";
  }
  EXPECT_TRUE(added.count("network"));
  EXPECT_FALSE(added.count("deathmatch"));
  EXPECT_LE(table.size(), 1024u);
  EXPECT_EQ(table.size(), items_.size());
  for (const auto& [material, path] : items_) {
    auto it = table.find(material);
    ASSERT_NE(it, table.end()) << material << " missing from the items tables";
    Bmp b;
    ASSERT_EQ(ParseBmp(path, &b), "");
    EXPECT_GT(it->second.first, 0) << material;
    EXPECT_GT(it->second.second, 0) << material;
    EXPECT_LE(it->second.first, b.width) << material << ": hit box wider than the picture";
    EXPECT_LE(it->second.second, b.height) << material;
  }
  // The ticker spaces each letter by its own table width, so letters share one width.
  std::set<int> letter_widths;
  for (char c = 'a'; c <= 'z'; ++c) letter_widths.insert(table[std::string(1, c)].first);
  EXPECT_EQ(letter_widths.size(), 1u);
}

TEST_F(DatagenGfx, PreloadTableNamesEveryArchivePictureInCatalogueOrder) {
  const std::vector<std::string> lines = Lines(stage_ / "dat" / "preload.dat");
  ASSERT_EQ(lines.size() % 2, 0u);
  std::vector<std::pair<std::string, std::string>> pairs;  // material, library
  for (size_t i = 0; i < lines.size(); i += 2) {
    ASSERT_FALSE(lines[i].empty()) << "an empty line ends the table at entry " << i / 2;
    pairs.emplace_back(lines[i], lines[i + 1]);
  }
  const std::set<std::string> spellings = {"GLML1",      "glmllogo",   "glmlzorbel", "GLMLshots",
                                           "GLMLatomic", "glmlrocket", "glmlmyst",   "GLMLtele"};
  std::vector<std::string> shots;
  std::set<std::string> materials;
  for (const auto& [m, lib] : pairs) {
    EXPECT_TRUE(spellings.count(lib)) << lib << " is not a library the loading screen knows";
    if (lib == "GLMLshots") shots.push_back(m);
    materials.insert(lib + "/" + m);
  }
  EXPECT_EQ(pairs.size() - 1, CatalogueGfxFiles().size())
      << "every gfx picture plus the made-in-code empty";
  EXPECT_TRUE(materials.count("GLML1/empty"));
  EXPECT_TRUE(materials.count("glmlmyst/b_no_virus_3"));
  EXPECT_TRUE(materials.count("GLMLatomic/99"));
  EXPECT_TRUE(materials.count("glmlrocket/024"));
  ASSERT_GT(shots.size(), 114u);
  EXPECT_EQ(shots[0], "rip");
  EXPECT_EQ(shots[113], "virus9l");
  EXPECT_EQ(shots[114], "rocket1");
  EXPECT_LE(pairs.size() + items_.size(), 4096u);
}

TEST_F(DatagenGfx, KeyNameTableCoversEveryKeyCode) {
  const std::vector<std::string> lines = Lines(stage_ / "dat" / "keys.dat");
  std::map<int, std::string> names;
  size_t i = 0;
  while (i + 1 < lines.size() && !lines[i].empty()) {
    names.emplace(std::stoi(lines[i]) & 0xFF, lines[i + 1]);
    i += 2;
  }
  EXPECT_EQ(i, lines.size());
  EXPECT_LE(i / 2, 256u);
  for (const tdx::KeyCodeName& k : tdx::kKeyCodeNames) {
    ASSERT_TRUE(names.count(k.code)) << "code " << int(k.code);
    EXPECT_EQ(names[k.code], k.name);
    EXPECT_TRUE(items_.count(k.name)) << "no picture for key name " << k.name;
  }
}

TEST_F(DatagenGfx, NoTextRunsIntoAnotherOrOutOfItsPicture) {
  // The generator lists the ink box of every text it drew on every picture.
  struct Text {
    double x0, y0, x1, y1;
    std::string text;
  };
  struct Picture {
    int w = 0, h = 0;
    std::vector<Text> texts;
  };
  std::map<std::string, Picture> pictures;
  for (const std::string& line : Lines(stage_ / "text_layout.txt")) {
    std::vector<std::string> f;
    std::stringstream in(line);
    for (std::string field; std::getline(in, field, '\t');) f.push_back(field);
    ASSERT_EQ(f.size(), 8u) << line;
    Picture& p = pictures[f[0]];
    p.w = std::stoi(f[1]);
    p.h = std::stoi(f[2]);
    p.texts.push_back({std::stod(f[3]), std::stod(f[4]), std::stod(f[5]), std::stod(f[6]), f[7]});
  }
  ASSERT_GE(pictures["about_pic"].texts.size(), 10u) << "the about picture's texts are listed";
  ASSERT_EQ(pictures["deathmatch"].texts.size(), 1u) << "every word picture is listed";
  for (const auto& [name, p] : pictures) {
    for (size_t i = 0; i < p.texts.size(); ++i) {
      const Text& a = p.texts[i];
      EXPECT_TRUE(a.x0 >= 0 && a.y0 >= 0 && a.x1 <= p.w && a.y1 <= p.h)
          << name << " (" << p.w << " by " << p.h << "): '" << a.text << "' leaves the picture at "
          << a.x0 << "," << a.y0 << " - " << a.x1 << "," << a.y1;
      for (size_t j = i + 1; j < p.texts.size(); ++j) {
        const Text& b = p.texts[j];
        const bool overlap = a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1;
        EXPECT_FALSE(overlap) << name << ": '" << a.text.substr(0, 40) << "' runs into '"
                              << b.text.substr(0, 40) << "'";
      }
    }
  }
}

TEST_F(DatagenGfx, SameInputGivesTheSameBytes) {
  const fs::path again = stage_.string() + "_again";
  fs::remove_all(again);
  ASSERT_EQ(
      std::system(
          ("\"" + GeneratorPath().string() + "\" \"" + again.string() + "\" > /dev/null").c_str()),
      0);
  size_t files = 0;
  for (const char* folder : {"gfx", "items"}) {
    for (const auto& e : fs::directory_iterator(stage_ / folder)) {
      const fs::path other = again / folder / e.path().filename();
      ASSERT_TRUE(fs::exists(other)) << other;
      EXPECT_TRUE(ReadBytes(e.path()) == ReadBytes(other))
          << e.path().filename() << " differs between runs";
      ++files;
    }
  }
  for (const char* table : {"menu_items.dat", "preload.dat", "keys.dat"})
    EXPECT_TRUE(ReadBytes(stage_ / "dat" / table) == ReadBytes(again / "dat" / table)) << table;
  EXPECT_GT(files, 500u);
  fs::remove_all(again);
}

}  // namespace
