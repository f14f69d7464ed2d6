// sounds.dat and music.dat: what a good table gives, and that bad lines never reach past
// the buffers or shift the entries after them.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/game.h"
#include "audio/sound.h"
#include "audio_fixtures.h"
#include "pak_writer.h"

namespace tdx {
namespace {

using testing::Bytes;

PakMember Member(const std::string& name, std::vector<uint8_t> data) {
  PakMember m;
  m.name = name;
  m.data = std::move(data);
  return m;
}

TEST(AudioTables, SoundTableReadsPairsUntilTheFirstEmptyLine) {
  auto t = ParseSoundTable(
      Bytes("0\r\ndeath.mp3\r\n5\r\nbonus.mp3\r\n5\r\nceresna.mp3\r\n\r\n7\r\nafter.mp3\r\n"));
  ASSERT_EQ(t.size(), 3u);
  EXPECT_EQ(t[0].slot, 0);
  EXPECT_EQ(t[0].fileName, "death.mp3");
  EXPECT_EQ(t[1].slot, 5);
  EXPECT_EQ(t[2].slot, 5);  // two names may share a buffer
  EXPECT_EQ(t[2].fileName, "ceresna.mp3");
}

TEST(AudioTables, SoundTableSkipsBadEntriesWithoutShiftingTheRest) {
  struct Case {
    const char* text;
    std::vector<std::pair<int, std::string>> expected;
  };
  const Case cases[] = {
      {"x1\na.mp3\n2\nb.mp3\n", {{2, "b.mp3"}}},           // slot is not a number
      {"3.5\na.mp3\n2\nb.mp3\n", {{2, "b.mp3"}}},          // nor is this
      {"128\na.mp3\n127\nb.mp3\n", {{127, "b.mp3"}}},      // past the 128 buffers
      {"-1\na.mp3\n0\nb.mp3\n", {{0, "b.mp3"}}},           // before them
      {"99999999999\na.mp3\n1\nb.mp3\n", {{1, "b.mp3"}}},  // does not fit an integer
      {" 4 \na.mp3\n+6\nb.mp3\n", {{4, "a.mp3"}, {6, "b.mp3"}}},
      {"\xEF\xBB\xBF"
       "1\na.mp3\n",
       {{1, "a.mp3"}}},                 // saved by an editor with a BOM
      {"1\na.mp3\n2", {{1, "a.mp3"}}},  // a slot with no name line
      {"", {}},
      {"\n1\na.mp3\n", {}},  // empty first line: empty table
  };
  for (const Case& c : cases) {
    auto t = ParseSoundTable(Bytes(c.text));
    ASSERT_EQ(t.size(), c.expected.size()) << c.text;
    for (size_t i = 0; i < t.size(); ++i) {
      EXPECT_EQ(t[i].slot, c.expected[i].first) << c.text;
      EXPECT_EQ(t[i].fileName, c.expected[i].second) << c.text;
    }
  }
}

TEST(AudioTables, AtMost4096EntriesAreKept) {
  std::string text;
  for (int i = 0; i < 5000; ++i)
    text += std::to_string(i % 128) + "\ns" + std::to_string(i) + ".mp3\n";
  auto sounds = ParseSoundTable(Bytes(text));
  ASSERT_EQ(sounds.size(), 4096u);
  EXPECT_EQ(sounds.back().fileName, "s4095.mp3");

  std::string music;
  for (int i = 0; i < 4100; ++i)
    music += std::to_string(i % 32) + "\nm" + std::to_string(i) + ".xm\n1\n2\n60\n";
  EXPECT_EQ(ParseMusicTable(Bytes(music)).size(), 4096u);
}

TEST(AudioTables, MusicTableReadsFiveLinesAnEntry) {
  auto t = ParseMusicTable(
      Bytes("3\r\nmenu_theme.xm\r\n2\r\n4\r\n95\r\n31\r\nwinner.mod\r\n0\r\n1\r\n20\r\n"));
  ASSERT_EQ(t.size(), 2u);
  EXPECT_EQ(t[0].slot, 3);
  EXPECT_EQ(t[0].fileName, "menu_theme.xm");
  EXPECT_EQ(t[0].fadeIn, 2);
  EXPECT_EQ(t[0].fadeOut, 4);
  EXPECT_EQ(t[0].playTime, 95);
  EXPECT_EQ(t[1].slot, 31);
  EXPECT_EQ(t[1].playTime, 20);
}

TEST(AudioTables, MusicTableSkipsBadEntries) {
  const std::string good = "2\nb.xm\n1\n1\n10\n";
  const char* bad[] = {
      "32\na.xm\n1\n1\n10\n",   // past the 32 module buffers
      "1\na.xm\none\n1\n10\n",  // fade-in is not a number
      "1\na.xm\n1\n-3\n10\n",   // a negative fade-out
      "1\na.xm\n1\n1\n1e3\n",   // play time is not a decimal integer
      "1\n\n1\n1\n10\n",        // no file name
  };
  for (const char* text : bad) {
    // The entry after a bad one still reads, in its own place.
    auto t = ParseMusicTable(Bytes(text + good));
    ASSERT_EQ(t.size(), 1u) << text;
    EXPECT_EQ(t[0].fileName, "b.xm") << text;
    EXPECT_EQ(t[0].playTime, 10) << text;
  }
  EXPECT_TRUE(ParseMusicTable(Bytes("1\na.xm\n1\n1\n")).empty());  // ends inside the entry
}

// The tables come out of pak/dat.pak; without them the game cannot start.
class AudioTableFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("tandrix_audio_tables_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_ / "pak");
    g_.folders = GameFolderAt(dir_.string());
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  void WriteDat(std::vector<PakMember> members) {
    std::string error;
    ASSERT_TRUE(WritePakFile((dir_ / "pak" / "dat.pak").string(), members, error)) << error;
  }

  std::filesystem::path dir_;
  Game g_;
};

TEST_F(AudioTableFiles, BothTablesLoadFromDatPak) {
  WriteDat({Member("music.dat", Bytes("0\nmenu_theme.xm\n2\n3\n90\n")),
            Member("sounds.dat", Bytes("0\ndeath.mp3\n1\nbonus.mp3\n"))});
  ASSERT_TRUE(LoadSoundTable(g_)) << g_.fatalError;
  ASSERT_TRUE(LoadMusicTable(g_)) << g_.fatalError;
  EXPECT_EQ(g_.audio.SoundCount(), 2);
  EXPECT_EQ(g_.audio.MusicCount(), 1);
  EXPECT_TRUE(g_.fatalError.empty());
}

TEST_F(AudioTableFiles, AMissingTableStopsStartUpNamingArchiveAndMember) {
  EXPECT_FALSE(LoadSoundTable(g_));  // no dat.pak at all
  EXPECT_NE(g_.fatalError.find("pak/dat.pak"), std::string::npos) << g_.fatalError;
  EXPECT_NE(g_.fatalError.find("sounds.dat"), std::string::npos) << g_.fatalError;

  g_.fatalError.clear();
  WriteDat({Member("sounds.dat", Bytes("0\ndeath.mp3\n"))});
  EXPECT_TRUE(LoadSoundTable(g_));
  EXPECT_FALSE(LoadMusicTable(g_));
  EXPECT_NE(g_.fatalError.find("pak/dat.pak"), std::string::npos) << g_.fatalError;
  EXPECT_NE(g_.fatalError.find("music.dat"), std::string::npos) << g_.fatalError;
}

}  // namespace
}  // namespace tdx
