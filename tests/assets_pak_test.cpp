// The archive operations the game calls: member matching, the bulk loaders' rules, and
// what a missing or damaged archive leaves behind.
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "app/game.h"
#include "assets/pak_archive.h"
#include "assets_fixture.h"

namespace tdx {
namespace {

using assets_testing::Bytes;
using assets_testing::Member;
using assets_testing::ScratchDir;
using assets_testing::SolidBmp;

PakMember WrongPassword(PakMember m) {
  m.password = "not the game's";
  return m;
}

TEST(PakNames, TrimmedOfControlsAndBlanksAtBothEnds) {
  EXPECT_EQ(TrimMemberName("  logo.bmp\t\r\n"), "logo.bmp");
  EXPECT_EQ(TrimMemberName(std::string("logo.bmp\0\0", 10)), "logo.bmp");
  EXPECT_EQ(TrimMemberName("two words.bmp"), "two words.bmp");
  EXPECT_EQ(TrimMemberName(" \x01 "), "");
  EXPECT_EQ(TrimMemberName("caf\xC3\xA9"), "caf\xC3\xA9");  // bytes above 127 are kept
}

TEST(PakNames, ItemMaterialCutsTheLastSevenCharacters) {
  const std::pair<const char*, const char*> cases[] = {{"play_mi.bmp", "play"},
                                                       {"empty_00.bmp", "empty"},
                                                       {"abcdefgh", "a"},
                                                       {"abcdefg", ""},
                                                       {"abcdef", "abcdef"},
                                                       {"a", "a"},
                                                       {"", ""}};
  for (const auto& [member, material] : cases)
    EXPECT_EQ(ItemMaterialName(member), material) << member;
}

TEST(PakSingleMember, MatchesTheWholeNameExactlyAndTheFirstWins) {
  ScratchDir dir;
  dir.Pack("gfx.pak", {Member("pics/logo.bmp", "in a folder"), Member("LOGO.BMP", "other case"),
                       Member("logo.bmp", "first"), Member("logo.bmp", "second"),
                       Member(" padded.bmp ", "padded")});
  std::vector<uint8_t> out;
  ASSERT_TRUE(ExtractGfxMember(dir.Path() + "/pak", "logo.bmp", out));
  EXPECT_EQ(out, Bytes("first"));
  ASSERT_TRUE(ExtractGfxMember(dir.Path() + "/pak", "padded.bmp", out));
  EXPECT_EQ(out, Bytes("padded"));
  EXPECT_FALSE(ExtractGfxMember(dir.Path() + "/pak", "logo", out));
  EXPECT_TRUE(out.empty());
  ASSERT_TRUE(ExtractGfxMember(dir.Path() + "/pak", "pics/logo.bmp", out));
  EXPECT_EQ(out, Bytes("in a folder"));
}

TEST(PakSingleMember, ReportsWhyNothingCameOut) {
  ScratchDir dir;
  dir.Pack("dat.pak", {Member("keys.dat", "1\n"), WrongPassword(Member("preload.dat", "x\n")),
                       Member("menu_items.dat", "never reached\n")});
  std::string bad = dir.Path() + "/pak/bad.pak";
  std::ofstream(bad) << "not an archive";

  std::vector<uint8_t> out;
  EXPECT_TRUE(ExtractPakMember(dir.Path() + "/pak", "keys.dat", "dat.pak", out));
  EXPECT_EQ(out, Bytes("1\n"));
  // A member past the damaged one is still found: a single-member walk skips what it
  // does not want without decoding it.
  EXPECT_TRUE(ExtractPakMember(dir.Path() + "/pak", "menu_items.dat", "dat.pak", out));

  struct Case {
    std::string archive, member;
    PakStatus status;
  };
  const Case cases[] = {{"dat.pak", "preload.dat", PakStatus::MemberDamaged},
                        {"dat.pak", "music.dat", PakStatus::MemberMissing},
                        {"gfx.pak", "logo.bmp", PakStatus::ArchiveUnreadable},
                        {"bad.pak", "logo.bmp", PakStatus::ArchiveUnreadable}};
  for (const Case& c : cases) {
    std::string detail;
    out = Bytes("stale");
    EXPECT_EQ(ExtractMember(PakPath(dir.Path() + "/pak", c.archive), c.member, out, &detail),
              c.status)
        << c.archive << " " << c.member;
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(detail.empty());
  }
  EXPECT_FALSE(ExtractPakMember(dir.Path() + "/pak", "preload.dat", "dat.pak", out));
}

TEST(PakSingleMember, OneIndexServesEveryMemberInAnyOrderAndStopsAtADamagedHeader) {
  ScratchDir dir;
  std::vector<PakMember> members;
  for (int i = 0; i < 30; ++i) {
    members.push_back(Member("m" + std::to_string(i) + ".bmp", "bytes of " + std::to_string(i)));
  }
  members.push_back(Member("m3.bmp", "a later m3"));
  dir.Pack("gfx.pak", members);
  const std::string path = PakPath(dir.Path() + "/pak", "gfx.pak");
  {
    PakIndex index(path);
    std::vector<uint8_t> out;
    for (int round = 0; round < 2; ++round) {
      for (int i = 29; i >= 0; i -= 1 + round) {
        ASSERT_EQ(index.Extract("m" + std::to_string(i) + ".bmp", out), PakStatus::Ok) << i;
        EXPECT_EQ(out, Bytes("bytes of " + std::to_string(i)));
      }
    }
    EXPECT_EQ(index.Extract("m30.bmp", out), PakStatus::MemberMissing);
  }
  // A damaged header (a name's byte changed, so its checksum fails): the members before it
  // are still served, the ones after it were never seen.
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  const size_t at = bytes.find("m20.bmp");
  ASSERT_NE(at, std::string::npos);
  f.seekp(static_cast<std::streamoff>(at));
  f.put('n');
  f.close();
  PakIndex index(path);
  std::vector<uint8_t> out;
  std::string detail;
  EXPECT_EQ(index.Extract("m19.bmp", out, &detail), PakStatus::Ok);
  EXPECT_EQ(index.Extract("m25.bmp", out, &detail), PakStatus::MemberDamaged);
  EXPECT_NE(detail.find("not found before a damaged header"), std::string::npos) << detail;
  EXPECT_EQ(index.Extract("m2.bmp", out, &detail), PakStatus::Ok);
  EXPECT_EQ(out, Bytes("bytes of 2"));
}

class SoundPak : public ::testing::Test {
 protected:
  std::vector<std::vector<uint8_t>> Load(const std::vector<StreamTableEntry>& table) {
    std::vector<std::vector<uint8_t>> streams(4);
    problem = LoadSoundPak(dir.Path() + "/pak", table, streams);
    return streams;
  }
  ScratchDir dir;
  std::string problem;  // what the last Load said went wrong
};

TEST_F(SoundPak, EachMemberGoesToTheFirstEntryNamingIt) {
  dir.Pack("snd.pak",
           {Member("death.mp3", "D"), Member("bonus.mp3", "B"), Member("unused.mp3", "U")});
  const auto streams = Load({{2, "bonus.mp3"},
                             {0, "death.mp3"},
                             {3, "death.mp3"},
                             {9, "unused.mp3"},
                             {-1, "unused.mp3"}});
  EXPECT_EQ(streams[0], Bytes("D"));
  EXPECT_EQ(streams[2], Bytes("B"));
  EXPECT_TRUE(streams[3].empty());  // a second entry for death.mp3 gets nothing
  EXPECT_TRUE(streams[1].empty());
  EXPECT_EQ(problem, "");  // read to its end: nothing to say
}

TEST_F(SoundPak, OneSlotForTwoFilesKeepsTheLaterMember) {
  dir.Pack("snd.pak", {Member("b.mp3", "stored first"), Member("a.mp3", "stored later")});
  const auto streams = Load({{1, "a.mp3"}, {1, "b.mp3"}});
  EXPECT_EQ(streams[1], Bytes("stored later"));
}

TEST_F(SoundPak, ADamagedMemberEndsTheWalkAndKeepsWhatCameBefore) {
  dir.Pack("snd.pak",
           {Member("a.mp3", "A"), WrongPassword(Member("b.mp3", "B")), Member("c.mp3", "C")});
  const auto streams = Load({{0, "a.mp3"}, {1, "b.mp3"}, {2, "c.mp3"}});
  EXPECT_EQ(streams[0], Bytes("A"));
  EXPECT_TRUE(streams[1].empty());
  EXPECT_TRUE(streams[2].empty());
  EXPECT_NE(problem.find("pak/snd.pak: member b.mp3 is damaged"), std::string::npos) << problem;
}

TEST_F(SoundPak, AMissingOrBrokenArchiveLeavesTheBuffersAlone) {
  std::vector<std::vector<uint8_t>> streams = {Bytes("kept"), {}};
  EXPECT_EQ(LoadSoundPak(dir.Path() + "/pak", {{0, "a.mp3"}, {1, "b.mp3"}}, streams),
            dir.Path() + "/pak/snd.pak is missing or not readable");
  EXPECT_EQ(streams[0], Bytes("kept"));
  EXPECT_TRUE(streams[1].empty());
  std::ofstream(dir.Path() + "/pak/snd.pak") << "Rar!garbage";
  EXPECT_EQ(LoadSoundPak(dir.Path() + "/pak", {{0, "a.mp3"}}, streams),
            dir.Path() + "/pak/snd.pak is missing or not readable");
  EXPECT_EQ(streams[0], Bytes("kept"));
  EXPECT_EQ(LoadMusicPak(dir.Path() + "/pak", {{0, "a.xm"}}, streams),
            dir.Path() + "/pak/music.pak is missing or not readable");
}

TEST_F(SoundPak, MusicComesFromItsOwnArchive) {
  dir.Pack("snd.pak", {Member("tune.xm", "wrong archive")});
  dir.Pack("music.pak", {Member("tune.xm", "module")});
  std::vector<std::vector<uint8_t>> streams(2);
  LoadMusicPak(dir.Path() + "/pak", {{1, "tune.xm"}}, streams);
  EXPECT_EQ(streams[1], Bytes("module"));
}

TEST(ItemsPak, EveryMemberBecomesAMenuMaterialInArchiveOrder) {
  ScratchDir dir;
  dir.Pack("items.pak",
           {Member("play_mi.bmp", SolidBmp(0x102030)), Member("abcdefg", SolidBmp(0x000001)),
            Member("abc", SolidBmp(0x000002)), Member("empty_mi.bmp", SolidBmp(0x111111)),
            Member("quit_mi.bmp", SolidBmp(0x445566, 3, 1))});
  Game g;
  g.folders = GameFolderAt(dir.Path());
  const auto before = dir.Listing();
  LoadItemsPak(g);
  EXPECT_TRUE(g.fatalError.empty()) << g.fatalError;
  const MaterialLibrary& menu = g.scene.Library(LibGLMLmenu);
  ASSERT_EQ(menu.Count(), 5);
  const char* names[] = {"play", "", "abc", "empty", "quit"};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(menu.At(i)->name, names[i]);
  EXPECT_EQ(g.assets.EmptyItemIndex, 3);
  const Picture& quit = *menu.At(4)->picture;
  EXPECT_EQ(quit.width, 3);
  EXPECT_EQ(quit.height, 1);
  EXPECT_EQ(std::vector<uint8_t>(quit.rgba.begin(), quit.rgba.begin() + 4),
            (std::vector<uint8_t>{0x44, 0x55, 0x66, 0xFF}));
  EXPECT_EQ(dir.Listing(), before);  // nothing extracted to disk
}

TEST(ItemsPak, WithoutAnEmptyMemberTheIndexStaysUnset) {
  ScratchDir dir;
  dir.Pack("items.pak", {Member("play_mi.bmp", SolidBmp(1))});
  Game g;
  g.folders = GameFolderAt(dir.Path());
  LoadItemsPak(g);
  EXPECT_EQ(g.assets.EmptyItemIndex, -1);
}

TEST(ItemsPak, AMissingDamagedOrEmptyArchiveStopsStartUpNamingIt) {
  // Without its words the main menu would be blank yet clickable.
  struct Case {
    const char* what;
    std::function<void(const ScratchDir&)> make;
    const char* says;
  } cases[] = {
      {"missing", [](const ScratchDir&) {}, "missing or not readable"},
      {"not an archive",
       [](const ScratchDir& d) { std::ofstream(d.Path() + "/pak/items.pak") << "Rar!garbage"; },
       "missing or not readable"},
      {"damaged member",
       [](const ScratchDir& d) {
         d.Pack("items.pak", {Member("play_mi.bmp", SolidBmp(1)),
                              WrongPassword(Member("quit_mi.bmp", SolidBmp(2)))});
       },
       "member quit_mi.bmp is damaged"},
      {"empty", [](const ScratchDir& d) { d.Pack("items.pak", {}); }, "holds no menu words"},
  };
  for (const Case& c : cases) {
    ScratchDir dir;
    c.make(dir);
    Game g;
    g.folders = GameFolderAt(dir.Path());
    EXPECT_FALSE(LoadItemsPak(g)) << c.what;
    // The message begins with the archive's path, wherever the archives are.
    EXPECT_EQ(g.fatalError.rfind(dir.Path() + "/pak/items.pak", 0), 0u)
        << c.what << ": " << g.fatalError;
    EXPECT_NE(g.fatalError.find(c.says), std::string::npos) << c.what << ": " << g.fatalError;
  }
}

TEST(ItemsPak, AMemberNameInAMessageIsCutShort) {
  ScratchDir dir;
  const std::string longName = std::string(1000, 'w') + "_mi.bmp";
  dir.Pack("items.pak", {Member(longName, "not a picture")});
  Game g;
  g.folders = GameFolderAt(dir.Path());
  EXPECT_FALSE(LoadItemsPak(g));
  EXPECT_NE(g.fatalError.find(std::string(60, 'w') + "..."), std::string::npos) << g.fatalError;
  EXPECT_LT(g.fatalError.size(), 200u);
}

TEST(ItemsPak, APictureThatCannotBeReadStopsStartUp) {
  ScratchDir dir;
  dir.Pack("items.pak", {Member("play_mi.bmp", SolidBmp(1)), Member("oops_mi.bmp", "not a picture"),
                         Member("quit_mi.bmp", SolidBmp(2))});
  Game g;
  g.folders = GameFolderAt(dir.Path());
  LoadItemsPak(g);
  EXPECT_NE(g.fatalError.find("pak/items.pak"), std::string::npos) << g.fatalError;
  EXPECT_NE(g.fatalError.find("oops_mi.bmp"), std::string::npos) << g.fatalError;
  EXPECT_EQ(g.scene.Library(LibGLMLmenu).Count(), 1);
}

}  // namespace
}  // namespace tdx
