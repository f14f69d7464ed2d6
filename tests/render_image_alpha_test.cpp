// The image-alpha rules a material's picture gets when it becomes a texture.
#include <gtest/gtest.h>

#include "display/gl_renderer.h"
#include "render_decode.h"

namespace tdx {
namespace {

using render_test::MakePicture;

// Five texels (RGBA words, R low): top-left dark red, black, white, mid grey, pure green
// with its own alpha 77.
const std::vector<uint32_t> kTexels = {0x00000080u, 0x00000000u, 0x00FFFFFFu, 0x00808080u,
                                       0x4D00FF00u};

std::vector<int> Alphas(ImageAlpha rule, bool hasAlpha) {
  auto pic = MakePicture(5, 1, kTexels, hasAlpha);
  std::vector<uint8_t> out;
  ApplyImageAlpha(rule, *pic, out);
  std::vector<int> alphas;
  for (size_t i = 3; i < out.size(); i += 4) alphas.push_back(out[i]);
  return alphas;
}

TEST(RenderImageAlpha, EveryRuleSetsTheAlphaItNames) {
  struct Case {
    ImageAlpha rule;
    bool hasAlpha;
    std::vector<int> alphas;
  };
  // Luminance of green 255 is 150 (weights .299 .587 .114); dark red 128 gives 38.
  const Case cases[] = {
      {ImageAlpha::Default, true, {0, 0, 0, 0, 77}},            // the picture's own alpha
      {ImageAlpha::Default, false, {255, 255, 255, 255, 255}},  // none of its own: opaque
      {ImageAlpha::AlphaFromIntensity, false, {42, 0, 255, 128, 85}},
      {ImageAlpha::SuperBlackTransparent, false, {255, 0, 255, 255, 255}},
      {ImageAlpha::Luminance, false, {38, 0, 255, 128, 150}},
      {ImageAlpha::LuminanceSqrt, false, {98, 0, 255, 181, 196}},
      {ImageAlpha::Opaque, true, {255, 255, 255, 255, 255}},
      {ImageAlpha::TopLeftPointColorTransparent, false, {0, 255, 255, 255, 255}},
      {ImageAlpha::InverseLuminance, false, {217, 255, 0, 127, 105}},
      {ImageAlpha::InverseLuminanceSqrt, false, {235, 255, 0, 180, 164}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Alphas(c.rule, c.hasAlpha), c.alphas)
        << "rule " << int(c.rule) << " hasAlpha " << c.hasAlpha;
  }
}

TEST(RenderImageAlpha, ColoursAreKeptExceptUnderAColourKeyHole) {
  auto pic = MakePicture(5, 1, kTexels, false);
  std::vector<uint8_t> out;
  ApplyImageAlpha(ImageAlpha::LuminanceSqrt, *pic, out);
  ASSERT_EQ(out.size(), 20u);
  EXPECT_EQ(out[0], 0x80);   // dark red stays dark red
  EXPECT_EQ(out[17], 0xFF);  // green stays green
  // A hole keyed by the top-left colour is black, so filtering draws no fringe of the key.
  ApplyImageAlpha(ImageAlpha::TopLeftPointColorTransparent, *pic, out);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[8], 0xFF);
}

TEST(RenderImageAlpha, UnusablePicturesGiveNoTexels) {
  std::vector<uint8_t> out(8, 1);
  Picture empty;
  ApplyImageAlpha(ImageAlpha::Default, empty, out);
  EXPECT_TRUE(out.empty());
  Picture shortData;  // claims more pixels than it holds
  shortData.width = 4;
  shortData.height = 4;
  shortData.rgba.resize(12);
  ApplyImageAlpha(ImageAlpha::Opaque, shortData, out);
  EXPECT_TRUE(out.empty());
}

}  // namespace
}  // namespace tdx
