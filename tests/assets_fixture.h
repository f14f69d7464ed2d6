// Small helpers for the archive and catalogue tests: a scratch game folder, BMP files
// written in code, and packing archives into it.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "pak_writer.h"

namespace tdx::assets_testing {

// A fresh folder under the system's temp folder, removed with everything in it.
class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tandrix-assets-XXXXXX").string();
    path_ = mkdtemp(pattern.data()) ? pattern : std::string();
    EXPECT_FALSE(path_.empty());
    std::filesystem::create_directories(path_ + "/pak");
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& Path() const { return path_; }

  void Pack(const std::string& archive, const std::vector<PakMember>& members,
            const PakWriteOptions& options = {}) const {
    std::string error;
    ASSERT_TRUE(WritePakFile(path_ + "/pak/" + archive, members, error, options)) << error;
  }

  // Every file under the folder, relative to it, for checking nothing new was written.
  std::vector<std::string> Listing() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::recursive_directory_iterator(path_)) {
      names.push_back(std::filesystem::relative(e.path(), path_).string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::string path_;
};

inline std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

inline PakMember Member(const std::string& name, const std::string& content) {
  PakMember m;
  m.name = name;
  m.data = Bytes(content);
  return m;
}

inline PakMember Member(const std::string& name, std::vector<uint8_t> content) {
  PakMember m;
  m.name = name;
  m.data = std::move(content);
  return m;
}

// A Windows bitmap with the pixel colours `rgb(x, y)` = 0xRRGGBB (and alpha in the top byte
// for 32-bit pictures). 8-bit pictures get a palette of the colours used (at most 256).
inline std::vector<uint8_t> MakeBmp(int w, int h, int bpp,
                                    const std::function<uint32_t(int, int)>& rgb,
                                    bool topDown = false) {
  std::vector<uint32_t> palette;
  std::map<uint32_t, uint8_t> paletteIndex;
  if (bpp == 8) {
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const uint32_t c = rgb(x, y) & 0xFFFFFF;
        if (!paletteIndex.count(c)) {
          paletteIndex[c] = static_cast<uint8_t>(palette.size());
          palette.push_back(c);
        }
      }
    }
  }
  const int rowBytes = (w * bpp / 8 + 3) / 4 * 4;
  const uint32_t offset = 14 + 40 + static_cast<uint32_t>(palette.size()) * 4;
  const uint32_t fileSize = offset + static_cast<uint32_t>(rowBytes * h);
  std::vector<uint8_t> b;
  auto u16 = [&b](uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
  };
  auto u32 = [&b](uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
  };
  b.push_back('B');
  b.push_back('M');
  u32(fileSize);
  u32(0);
  u32(offset);
  u32(40);
  u32(static_cast<uint32_t>(w));
  u32(static_cast<uint32_t>(topDown ? -h : h));
  u16(1);
  u16(static_cast<uint32_t>(bpp));
  u32(0);  // no compression
  u32(static_cast<uint32_t>(rowBytes * h));
  u32(2835);
  u32(2835);
  u32(static_cast<uint32_t>(palette.size()));
  u32(0);
  for (uint32_t c : palette) u32(c);  // B, G, R, 0 in file order
  for (int row = 0; row < h; ++row) {
    const int y = topDown ? row : h - 1 - row;
    size_t start = b.size();
    for (int x = 0; x < w; ++x) {
      const uint32_t c = rgb(x, y);
      if (bpp == 8) {
        b.push_back(paletteIndex[c & 0xFFFFFF]);
      } else {
        b.push_back(uint8_t(c));
        b.push_back(uint8_t(c >> 8));
        b.push_back(uint8_t(c >> 16));
        if (bpp == 32) b.push_back(uint8_t(c >> 24));
      }
    }
    while (b.size() - start < static_cast<size_t>(rowBytes)) b.push_back(0);
  }
  return b;
}

inline std::vector<uint8_t> SolidBmp(uint32_t rgb, int w = 2, int h = 2) {
  return MakeBmp(w, h, 24, [rgb](int, int) { return rgb; });
}

}  // namespace tdx::assets_testing
