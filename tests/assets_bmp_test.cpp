// BMP pictures as the archives carry them: 24-bit, 32-bit and 8-bit paletted, stored
// bottom-up or top-down, all decoded to top-down RGBA.
#include "assets_fixture.h"
#include "platform/bmp.h"

namespace tdx {
namespace {

using assets_testing::Bytes;
using assets_testing::MakeBmp;

// A 3 by 2 picture with a different colour in every pixel.
uint32_t Pixel(int x, int y) {
  const auto ux = static_cast<uint32_t>(x), uy = static_cast<uint32_t>(y);
  return 0x200000u * (ux + 1) + 0x1100u * ux + 0x40u * (uy + 1);
}

TEST(Bmp, DecodesEveryDepthTopDown) {
  struct Case {
    int bpp;
    bool topDown;
  };
  for (const Case c :
       {Case{24, false}, Case{24, true}, Case{32, false}, Case{8, false}, Case{8, true}}) {
    SCOPED_TRACE(std::to_string(c.bpp) + (c.topDown ? " top-down" : " bottom-up"));
    Picture p;
    std::string error;
    ASSERT_TRUE(DecodeBmp(MakeBmp(3, 2, c.bpp, Pixel, c.topDown), p, error)) << error;
    ASSERT_EQ(p.width, 3);
    ASSERT_EQ(p.height, 2);
    // A headless run reads only the size, and reads the same one.
    Picture size;
    ASSERT_TRUE(ReadBmpSize(MakeBmp(3, 2, c.bpp, Pixel, c.topDown), size, error)) << error;
    EXPECT_EQ(size.width, 3);
    EXPECT_EQ(size.height, 2);
    EXPECT_TRUE(size.rgba.empty());
    ASSERT_EQ(p.rgba.size(), 3u * 2u * 4u);
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < 3; ++x) {
        const uint8_t* px = &p.rgba[static_cast<size_t>((y * 3 + x) * 4)];
        const uint32_t want = Pixel(x, y);
        EXPECT_EQ(px[0], uint8_t(want >> 16)) << x << "," << y;
        EXPECT_EQ(px[1], uint8_t(want >> 8)) << x << "," << y;
        EXPECT_EQ(px[2], uint8_t(want)) << x << "," << y;
        if (c.bpp != 32) {
          EXPECT_EQ(px[3], 0xFF);
        }
      }
    }
  }
}

TEST(Bmp, RefusesDamagedOrAbsurdPictures) {
  std::vector<uint8_t> huge = MakeBmp(1, 1, 24, [](int, int) { return 0u; });
  huge[20] = 0x10;  // a width of a million pixels, in a file of a few bytes
  std::vector<uint8_t> cut = MakeBmp(8, 8, 24, [](int, int) { return 0xFFFFFFu; });
  cut.resize(60);
  for (const auto& bytes :
       {Bytes(""), Bytes("BM"), Bytes("GIF89a and more bytes than that....."), huge, cut}) {
    Picture p;
    std::string error;
    EXPECT_FALSE(DecodeBmp(bytes, p, error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(p.rgba.empty());
    if (bytes.size() != cut.size()) {  // a cut picture's header is whole: its size reads
      error.clear();
      EXPECT_FALSE(ReadBmpSize(bytes, p, error));
      EXPECT_FALSE(error.empty());
    }
  }
}

}  // namespace
}  // namespace tdx
