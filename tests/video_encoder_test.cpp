// Finding ffmpeg on PATH: only an executable file counts (not a folder of that name, not
// a file that cannot be run), folders are searched in order, and an empty entry is the
// current folder, as the shell has it.
#include "app/video_encoder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace tdx {
namespace {

namespace fs = std::filesystem;

class FindProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("tandrix-find-" + std::to_string(::getpid()));
    fs::create_directories(root_ / "folder" / "tool");  // a folder named like the program
    fs::create_directories(root_ / "plain");
    fs::create_directories(root_ / "runs");
    fs::create_directories(root_ / "also");
    Make(root_ / "plain" / "tool", 0644);  // cannot be run
    Make(root_ / "runs" / "tool", 0755);
    Make(root_ / "also" / "tool", 0755);
  }
  void TearDown() override { fs::remove_all(root_); }
  static void Make(const fs::path& p, mode_t mode) {
    std::ofstream(p) << "#!/bin/sh\n";
    ::chmod(p.c_str(), mode);
  }
  std::string At(const char* folder) const { return (root_ / folder).string(); }
  fs::path root_;
};

TEST_F(FindProgramTest, TheFirstExecutableFileOnThePathIsTaken) {
  const std::string runs = At("runs") + "/tool";
  struct Case {
    std::string path;
    std::string want;
  } cases[] = {
      {At("runs"), runs},
      {At("folder") + ":" + At("plain") + ":" + At("runs") + ":" + At("also"), runs},
      {At("also") + ":" + At("runs"), At("also") + "/tool"},
      {At("folder") + ":" + At("plain"), ""},
      {"", ""},
      {"/nonexistent::" + At("runs"), runs},  // an empty entry: the current folder, which has none
  };
  for (const Case& c : cases) EXPECT_EQ(FindProgram("tool", c.path), c.want) << c.path;

  // An empty entry is the current folder.
  const fs::path before = fs::current_path();
  fs::current_path(root_ / "runs");
  EXPECT_EQ(FindProgram("tool", "/nonexistent:"), "./tool");
  fs::current_path(before);
}

}  // namespace
}  // namespace tdx
