#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "app/folders.h"
#include "menu/settings.h"

namespace fs = std::filesystem;
using namespace tdx;

namespace {

class Folders : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("tdx_folders_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir / "work");
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string At(const std::string& relative) const { return (dir / relative).string(); }
  GameFolders Find(const std::map<std::string, std::string>& env) const {
    return FindFolders(
        At("work"),
        [&env](const char* name) {
          auto it = env.find(name);
          return it == env.end() ? static_cast<const char*>(nullptr) : it->second.c_str();
        },
        "/usr/share/games/tandrix");
  }
  // An installed game whose data folder holds the shipped set-up `shipped` (none if empty).
  GameFolders Installed(const std::vector<uint8_t>& shipped) const {
    fs::create_directories(dir / "data");
    if (!shipped.empty()) Write(At("data/tandrix.cfg"), shipped);
    return Find({{"TANDRIX_DATA_DIR", At("data")}, {"HOME", At("home")}});
  }
  static void Write(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }
  static std::vector<uint8_t> Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  fs::path dir;
};

std::vector<uint8_t> SetupBytes(uint8_t fill) {
  return std::vector<uint8_t>(sizeof(SettingsBlock), fill);
}

TEST_F(Folders, AGameFolderKeepsEverythingInItWhateverTheEnvironmentSays) {
  fs::create_directories(dir / "work/pak");
  const GameFolders f = Find({{"TANDRIX_DATA_DIR", "/elsewhere"}, {"HOME", At("home")}});
  EXPECT_FALSE(f.installed);
  EXPECT_EQ(f.data, At("work/pak"));
  EXPECT_EQ(f.config, At("work"));
  EXPECT_EQ(f.playerData, At("work"));
  std::string error;
  EXPECT_TRUE(PrepareFolders(f, error)) << error;
  EXPECT_FALSE(fs::exists(dir / "home")) << "a game folder run made the player's folders";
  EXPECT_FALSE(fs::exists(dir / "work/tandrix.cfg")) << "a game folder got a set-up written";
}

TEST_F(Folders, InstalledTheEnvironmentNamesTheFolders) {
  struct Case {
    const char* what;
    std::map<std::string, std::string> env;
    const char *data, *config, *playerData;
  };
  const std::vector<Case> cases = {
      {"home only",
       {{"HOME", "/h"}},
       "/usr/share/games/tandrix",
       "/h/.config/tandrix",
       "/h/.local/share/tandrix"},
      {"XDG folders",
       {{"HOME", "/h"}, {"XDG_CONFIG_HOME", "/c"}, {"XDG_DATA_HOME", "/d"}},
       "/usr/share/games/tandrix",
       "/c/tandrix",
       "/d/tandrix"},
      // XDG says relative and empty values are to be ignored.
      {"relative or empty XDG folders",
       {{"HOME", "/h"}, {"XDG_CONFIG_HOME", "rel"}, {"XDG_DATA_HOME", ""}},
       "/usr/share/games/tandrix",
       "/h/.config/tandrix",
       "/h/.local/share/tandrix"},
      {"another data folder",
       {{"HOME", "/h"}, {"TANDRIX_DATA_DIR", "/opt/tandrix"}},
       "/opt/tandrix",
       "/h/.config/tandrix",
       "/h/.local/share/tandrix"},
      {"an empty data folder variable",
       {{"HOME", "/h"}, {"TANDRIX_DATA_DIR", ""}},
       "/usr/share/games/tandrix",
       "/h/.config/tandrix",
       "/h/.local/share/tandrix"},
  };
  for (const Case& c : cases) {
    const GameFolders f = Find(c.env);
    EXPECT_TRUE(f.installed) << c.what;
    EXPECT_EQ(f.data, c.data) << c.what;
    EXPECT_EQ(f.config, c.config) << c.what;
    EXPECT_EQ(f.playerData, c.playerData) << c.what;
  }
}

TEST_F(Folders, TheFirstStartWritesTheShippedSetUpAndLaterStartsKeepThePlayers) {
  const GameFolders f = Installed(SetupBytes(7));
  std::string error;
  ASSERT_TRUE(PrepareFolders(f, error)) << error;
  const std::string mine = At("home/.config/tandrix/tandrix.cfg");
  EXPECT_EQ(Read(mine), SetupBytes(7));
  EXPECT_TRUE(fs::is_directory(dir / "home/.local/share/tandrix"));
  // The player's folders are their own alone.
  struct stat st {};
  ASSERT_EQ(::stat(At("home/.config/tandrix").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  Write(mine, SetupBytes(9));
  ASSERT_TRUE(PrepareFolders(f, error)) << error;
  EXPECT_EQ(Read(mine), SetupBytes(9)) << "the player's set-up was overwritten";
  EXPECT_TRUE(fs::is_empty(dir / "work"));
}

TEST_F(Folders, AMissingOrDamagedShippedSetUpSaysToReinstallAndWritesNothing) {
  struct Case {
    const char* what;
    std::vector<uint8_t> shipped;
    const char* says;
  };
  const std::vector<Case> cases = {
      {"missing", {}, "the default set-up is missing"},
      {"short", std::vector<uint8_t>(20, 1), "too short"},
  };
  for (const Case& c : cases) {
    fs::remove_all(dir / "data");
    fs::remove_all(dir / "home");
    const GameFolders f = Installed(c.shipped);
    std::string error;
    EXPECT_FALSE(PrepareFolders(f, error)) << c.what;
    EXPECT_NE(error.find(At("data/tandrix.cfg")), std::string::npos) << c.what << ": " << error;
    EXPECT_NE(error.find(c.says), std::string::npos) << c.what << ": " << error;
    EXPECT_NE(error.find(kReinstallHint), std::string::npos) << c.what << ": " << error;
    EXPECT_FALSE(fs::exists(dir / "home")) << c.what << ": the player's folders were made";
  }
}

TEST_F(Folders, AFolderThatCannotBeMadeIsNamed) {
  fs::create_directories(dir / "data");
  Write(At("data/tandrix.cfg"), SetupBytes(1));
  Write(At("blocker"), {1});  // a file where the set-up folder's parent should be
  const GameFolders f =
      Find({{"TANDRIX_DATA_DIR", At("data")}, {"XDG_CONFIG_HOME", At("blocker")}, {"HOME", "/h"}});
  std::string error;
  EXPECT_FALSE(PrepareFolders(f, error));
  EXPECT_NE(error.find(At("blocker/tandrix")), std::string::npos) << error;
}

TEST_F(Folders, HelpNamesTheFoldersInUse) {
  const GameFolders f = Installed(SetupBytes(1));
  const std::string text = FoldersText(f);
  EXPECT_NE(text.find(At("data")), std::string::npos) << text;
  EXPECT_NE(text.find(At("home/.config/tandrix/tandrix.cfg")), std::string::npos) << text;
  EXPECT_NE(text.find(At("home/.local/share/tandrix/replays")), std::string::npos) << text;
}

}  // namespace
