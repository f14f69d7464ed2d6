#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "menu/settings.h"

namespace fs = std::filesystem;
using namespace tdx;

namespace {

class SettingsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("tdx_settings_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
    path = (dir / "tandrix.cfg").string();
  }
  void TearDown() override { fs::remove_all(dir); }
  void WriteBytes(const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }
  fs::path dir;
  std::string path;
};

std::vector<uint8_t> Pattern(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 7 + 3);
  return v;
}

}  // namespace

TEST(SettingsLayout, FieldsSitAtTheirFileOffsets) {
  EXPECT_EQ(sizeof(SettingsBlock), 164u);
  EXPECT_EQ(offsetof(SettingsBlock, players[1]), 12u);
  EXPECT_EQ(offsetof(PlayerSetup, leftKey), 8u);
  EXPECT_EQ(offsetof(PlayerSetup, team), 11u);
  EXPECT_EQ(offsetof(SettingsBlock, game), 144u);
  EXPECT_EQ(offsetof(SettingsBlock, game.scoreLimit), 152u);
  EXPECT_EQ(offsetof(SettingsBlock, game.rightLeft), 160u);
}

TEST_F(SettingsFile, SaveThenLoadKeepsEveryByteIncludingReserved) {
  SettingsBlock in;
  auto bytes = Pattern(164);
  std::memcpy(&in, bytes.data(), 164);
  std::string error;
  ASSERT_TRUE(SaveSettings(path, in, error)) << error;
  EXPECT_EQ(fs::file_size(path), 164u);
  SettingsBlock out{};
  ASSERT_TRUE(LoadSettings(path, out, error)) << error;
  EXPECT_EQ(std::memcmp(&in, &out, 164), 0);
  // Nothing is left beside the file.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(SettingsFile, LongerFileUsesItsFirst164Bytes) {
  auto bytes = Pattern(200);
  WriteBytes(bytes);
  SettingsBlock out{};
  std::string error;
  ASSERT_TRUE(LoadSettings(path, out, error)) << error;
  EXPECT_EQ(std::memcmp(&out, bytes.data(), 164), 0);
}

TEST_F(SettingsFile, MissingOrShortFileIsAnErrorNamingTheFileAndLeavesTheBlock) {
  struct Case {
    const char* what;
    int size;  // -1: no file
    const char* expected;
  } cases[] = {{"missing", -1, "cannot open"},
               {"missing: the way back", -1, "run \"make build\" to write the default set-up"},
               {"empty", 0, "too short (0 of 164"},
               {"short", 163, "too short (163 of 164"}};
  for (const Case& c : cases) {
    fs::remove(path);
    if (c.size >= 0) WriteBytes(Pattern(static_cast<size_t>(c.size)));
    SettingsBlock out;
    std::memset(&out, 0xAB, sizeof out);
    std::string error;
    EXPECT_FALSE(LoadSettings(path, out, error)) << c.what;
    EXPECT_NE(error.find(path), std::string::npos) << c.what << ": " << error;
    EXPECT_NE(error.find(c.expected), std::string::npos) << c.what << ": " << error;
    EXPECT_EQ(reinterpret_cast<uint8_t*>(&out)[0], 0xAB) << c.what;
  }
}

TEST_F(SettingsFile, FailedSaveKeepsTheOldFile) {
  auto old = Pattern(164);
  WriteBytes(old);
  SettingsBlock in{};
  std::string error;
  // A save into a folder that does not exist fails and says so.
  EXPECT_FALSE(SaveSettings((dir / "no_such_dir" / "tandrix.cfg").string(), in, error));
  EXPECT_NE(error.find("no_such_dir"), std::string::npos);
  // The temporary name is taken by a folder: the save fails, the old file stays whole.
  fs::create_directories(path + "." + std::to_string(::getpid()) + ".tmp");
  EXPECT_FALSE(SaveSettings(path, in, error));
  fs::remove(path + "." + std::to_string(::getpid()) + ".tmp");
  // A full disk (here a file size limit of nothing, which fails writes the same way): the
  // save says so, and neither the old file nor a temporary is harmed or left.
  struct rlimit was {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &was), 0);
  struct rlimit none = was;
  none.rlim_cur = 0;
  void (*handler)(int) = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &none), 0);
  const bool saved = SaveSettings(path, in, error);
  ::setrlimit(RLIMIT_FSIZE, &was);
  std::signal(SIGXFSZ, handler);
  EXPECT_FALSE(saved);
  EXPECT_NE(error.find("cannot write the settings file"), std::string::npos) << error;
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
  std::ifstream f(path, std::ios::binary);
  std::vector<uint8_t> now((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  EXPECT_EQ(now, old);
}

TEST_F(SettingsFile, ReadOnlyFileStaysAndLinksAreWrittenThrough) {
  SettingsBlock in{};
  std::memset(&in, 5, sizeof in);
  std::string error;
  // Read-only, even for a user the system would let replace it.
  auto old = Pattern(164);
  WriteBytes(old);
  fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  EXPECT_FALSE(SaveSettings(path, in, error));
  EXPECT_NE(error.find("read-only"), std::string::npos) << error;
  EXPECT_NE(error.find(path), std::string::npos) << error;
  {
    std::ifstream f(path, std::ios::binary);
    std::vector<uint8_t> now((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    EXPECT_EQ(now, old);
  }
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::owner_write, fs::perms::none);

  // A link: the file it points to takes the set-up, the link stays a link, and the file
  // keeps its own permissions.
  const fs::path target = dir / "kept" / "my.cfg";
  fs::create_directories(target.parent_path());
  std::ofstream(target, std::ios::binary).write(reinterpret_cast<const char*>(old.data()), 164);
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
  const fs::path link = dir / "linked.cfg";
  fs::create_symlink(target, link);
  ASSERT_TRUE(SaveSettings(link.string(), in, error)) << error;
  EXPECT_TRUE(fs::is_symlink(link));
  SettingsBlock back{};
  ASSERT_TRUE(LoadSettings(target.string(), back, error)) << error;
  EXPECT_EQ(std::memcmp(&back, &in, sizeof in), 0);
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(std::distance(fs::directory_iterator(target.parent_path()), fs::directory_iterator()),
            1)
      << "no temporary is left beside the target";
}

TEST_F(SettingsFile, AFifoOrFolderInItsPlaceIsRefusedAtOnce) {
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  SettingsBlock out{};
  std::string error;
  EXPECT_FALSE(LoadSettings(path, out, error));  // a blocking open would never return
  EXPECT_NE(error.find("not a plain file"), std::string::npos) << error;
  fs::remove(path);
  fs::create_directory(path);
  EXPECT_FALSE(LoadSettings(path, out, error));
  EXPECT_NE(error.find(path), std::string::npos) << error;
}

TEST(SettingsTables, OutOfRangeIndexesReadAsTheNearestValue) {
  EXPECT_EQ(ClampedRoundLimit(0), 3);
  EXPECT_EQ(ClampedRoundLimit(5), 1000);
  EXPECT_EQ(ClampedRoundLimit(8), 1000);
  EXPECT_EQ(ClampedSpeed(9), 150);
  EXPECT_EQ(ClampedSpeed(12), 150);
  EXPECT_EQ(ClampedSpeed(0), 30);
}

TEST(SettingsTables, HandEditedControllerAndTeamReadAsTheNearestValue) {
  struct Case {
    uint8_t controller;
    ControllerKind plays;
    bool takesPart, human, computer;
  } controllers[] = {{0, CtrlOff, false, false, false},
                     {CtrlOff, CtrlOff, false, false, false},
                     {CtrlHuman, CtrlHuman, true, true, false},
                     {CtrlCpuIq0, CtrlCpuIq0, true, false, true},
                     {CtrlCpuIq10, CtrlCpuIq10, true, false, true},
                     {5, CtrlCpuIq10, true, false, true},
                     {255, CtrlCpuIq10, true, false, true}};
  for (const Case& c : controllers) {
    PlayerSetup p{};
    p.controller = c.controller;
    EXPECT_EQ(ControllerOf(p), c.plays) << int(c.controller);
    EXPECT_EQ(TakesPart(p), c.takesPart) << int(c.controller);
    EXPECT_EQ(IsHumanSlot(p), c.human) << int(c.controller);
    EXPECT_EQ(IsComputerSlot(p), c.computer) << int(c.controller);
  }
  struct TeamCase {
    uint8_t stored;
    int plays;
  } teams[] = {{0, 1}, {1, 1}, {3, 3}, {4, 4}, {5, 4}, {7, 4}, {255, 4}};
  for (const TeamCase& c : teams) {
    PlayerSetup p{};
    p.team = c.stored;
    EXPECT_EQ(TeamNumber(p), c.plays) << int(c.stored);
  }
}
