// Screenshot files: BMP and PNG encodings read back, and the errors a player would see.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/screenshot_file.h"
#include "render_decode.h"

namespace tdx {
namespace {

using render_test::DecodeBmp;
using render_test::DecodePng;

// 3 by 2 pixels: an odd width, so BMP rows need padding.
const std::vector<uint8_t> kRgb = {
    255, 0,  0,  0,   255, 0,   0, 0, 255,  // top row: red green blue
    10,  20, 30, 200, 150, 100, 0, 0, 0};

std::vector<uint8_t> ReadAll(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}

class PlatformScreenshot : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("tandrix_shot_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

TEST_F(PlatformScreenshot, BothFormatsReadBackPixelForPixel) {
  struct Case {
    const char* name;
    bool (*decode)(const std::vector<uint8_t>&, int&, int&, std::vector<uint8_t>&);
  };
  for (const Case& c :
       {Case{"shot.bmp", DecodeBmp}, Case{"shot.png", DecodePng}, Case{"SHOT.PNG", DecodePng}}) {
    SCOPED_TRACE(c.name);
    std::string error;
    ASSERT_TRUE(WriteScreenshotFile((dir_ / c.name).string(), 3, 2, kRgb, error)) << error;
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    ASSERT_TRUE(c.decode(ReadAll(dir_ / c.name), w, h, rgb));
    EXPECT_EQ(w, 3);
    EXPECT_EQ(h, 2);
    EXPECT_EQ(rgb, kRgb);
  }
}

TEST_F(PlatformScreenshot, ErrorsNameTheFileAndLeaveNothingBehind) {
  struct Case {
    std::string path;
    const char* reason;
  };
  const Case cases[] = {
      {(dir_ / "shot.jpg").string(), "unknown picture type"},
      {(dir_ / "shot").string(), "unknown picture type"},
      {(dir_ / "missing_folder" / "shot.png").string(), "No such file or directory"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(WriteScreenshotFile(c.path, 3, 2, kRgb, error));
    EXPECT_NE(error.find(c.path), std::string::npos) << error;
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(c.path));
  }
  std::string error;
  EXPECT_FALSE(
      WriteScreenshotFile((dir_ / "short.png").string(), 3, 2, std::vector<uint8_t>(5), error));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "short.png"));
}

TEST_F(PlatformScreenshot, AFailedWriteKeepsThePictureThatWasThere) {
  const std::filesystem::path shot = dir_ / "shot.png";
  std::ofstream(shot, std::ios::binary) << "the old picture";
  // The temporary file cannot be made (its name is taken by a folder): the write fails and
  // the old picture stays whole.
  std::filesystem::create_directories(dir_ / "shot.png.tmp");
  std::string error;
  EXPECT_FALSE(WriteScreenshotFile(shot.string(), 3, 2, kRgb, error));
  EXPECT_NE(error.find(shot.string()), std::string::npos) << error;
  const std::vector<uint8_t> old = ReadAll(shot);
  EXPECT_EQ(std::string(old.begin(), old.end()), "the old picture");
  // Once it can be written, the new picture replaces the old one and nothing is left over.
  std::filesystem::remove(dir_ / "shot.png.tmp");
  ASSERT_TRUE(WriteScreenshotFile(shot.string(), 3, 2, kRgb, error)) << error;
  int w = 0, h = 0;
  std::vector<uint8_t> rgb;
  ASSERT_TRUE(DecodePng(ReadAll(shot), w, h, rgb));
  EXPECT_EQ(rgb, kRgb);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1);
}

}  // namespace
}  // namespace tdx
