// The mixer of exported videos: what it renders must be what the sound output plays for
// the same calls (volume and pan arithmetic, clipping order, sounds ending mid-frame,
// slides on its own clock, a module held at volume 0), and MP3s must decode whole.
#include "audio/offline_mixer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "audio_fixtures.h"

namespace tdx {
namespace {

// A steady stereo sample: `frames` pairs of (left, right).
std::vector<int16_t> Steady(int16_t left, int16_t right, size_t frames) {
  std::vector<int16_t> s;
  for (size_t i = 0; i < frames; ++i) {
    s.push_back(left);
    s.push_back(right);
  }
  return s;
}

OfflineMixer& Opened(OfflineMixer& m) {
  m.Open(kMixerFrequency);
  return m;
}

// The expected values were heard from the sound output (SDL's disk driver) playing the
// same sample with the same volume and pan.
TEST(OfflineMixer, AnEffectIsScaledByItsPanThenItsVolume) {
  struct Case {
    int volume, pan;
    int16_t left, right;
    int16_t wantLeft, wantRight;
  } cases[] = {
      {100, 0, 1001, -1001, 1001, -1001},
      {50, 0, 1001, -1001, 500, -500},    // 64 of 128, truncated towards zero
      {50, -50, 1001, -1001, 500, -249},  // the far side at 127 of 255, then halved
      {1, 0, 1000, -1000, 7, -7},         // 1 of 100 is 1 of 128
      {100, 100, 1000, 1000, 0, 1000},    // fully right: the left side is silent
      {0, 0, 1000, 1000, 0, 0},
      {130, -130, 1000, 1000, 1000, 0},  // clamped to 100 and -100
  };
  for (const Case& c : cases) {
    OfflineMixer m;
    Opened(m);
    SampleId s = m.AddSample(Steady(c.left, c.right, 10));
    ASSERT_NE(m.PlayEffect(3, s, c.volume, c.pan), 0u);
    std::vector<int16_t> out;
    m.Render(1, out);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0], c.wantLeft) << "volume " << c.volume << " pan " << c.pan;
    EXPECT_EQ(out[1], c.wantRight) << "volume " << c.volume << " pan " << c.pan;
  }
}

TEST(OfflineMixer, ChannelsAreAddedInOrderAndClippedAtEachStep) {
  OfflineMixer m;
  Opened(m);
  SampleId loud = m.AddSample(Steady(30000, -30000, 4));
  SampleId back = m.AddSample(Steady(-30000, 30000, 4));
  m.PlayEffect(0, loud, 100, 0);
  m.PlayEffect(1, loud, 100, 0);
  m.PlayEffect(2, back, 100, 0);
  std::vector<int16_t> out;
  m.Render(1, out);
  // The first two clip at 32767; the third channel then takes 30000 off the clipped sum.
  EXPECT_EQ(out[0], 32767 - 30000);
  EXPECT_EQ(out[1], -32768 + 30000);
}

TEST(OfflineMixer, ASoundEndingInsideAFrameLeavesSilenceAndFreesItsChannel) {
  OfflineMixer m;
  Opened(m);
  SampleId s = m.AddSample(Steady(1000, 1000, 100));
  AudioHandle h = m.PlayEffect(5, s, 50, 0);
  std::vector<int16_t> out;
  m.Render(kOfflineSamplesPerFrame, out);
  ASSERT_EQ(out.size(), static_cast<size_t>(kOfflineSamplesPerFrame) * 2);
  EXPECT_EQ(out[99 * 2], 500);
  EXPECT_EQ(out[100 * 2], 0);
  EXPECT_EQ(out.back(), 0);
  EXPECT_FALSE(m.IsActive(h));
  m.Update();
  m.SetVolume(h, 100);  // a spent handle is ignored
  m.Render(10, out);
  EXPECT_EQ(out[0], 0);

  // A new sound on a busy channel cuts the old one off at once.
  AudioHandle first = m.PlayEffect(5, s, 100, 0);
  AudioHandle second = m.PlayEffect(5, m.AddSample(Steady(10, 10, 100)), 100, 0);
  EXPECT_FALSE(m.IsActive(first));
  EXPECT_TRUE(m.IsActive(second));
  m.Render(1, out);
  EXPECT_EQ(out[0], 10);
}

TEST(OfflineMixer, SlidesMoveWithTheRenderedSoundOnly) {
  OfflineMixer m;
  Opened(m);
  SampleId s = m.AddSample(Steady(1000, 1000, kMixerFrequency * 2));
  AudioHandle h = m.PlayEffect(0, s, 100, 0);
  m.SlideVolume(h, 0, 1000);
  std::vector<int16_t> out;
  for (int frame = 0; frame < 30; ++frame) {  // half a second of frames
    m.Update();
    m.Render(kOfflineSamplesPerFrame, out);
  }
  m.Update();  // the volume steps once a frame, as the sound output's does
  m.Render(1, out);
  EXPECT_EQ(out[0], 1000 * 64 / 128);  // 50 of 100
  EXPECT_DOUBLE_EQ(m.Now(), (30.0 * kOfflineSamplesPerFrame + 1) / kMixerFrequency);
}

// A module at volume 0 waits where it stands: raised again, it goes on from there, so
// what follows is the module's start, as a fresh one plays it.
TEST(OfflineMixer, AModuleAtVolumeZeroIsHeldAndGoesOnWhenRaised) {
  const std::vector<uint8_t> mod = testing::MakeTinyMod();
  std::vector<int16_t> fresh, held, out;

  OfflineMixer a;
  Opened(a);
  AudioHandle ha = a.LoadModule(mod);
  ASSERT_NE(ha, 0u);
  ASSERT_TRUE(a.PlayModule(ha));
  a.Render(kOfflineSamplesPerFrame, fresh);

  OfflineMixer b;
  Opened(b);
  AudioHandle hb = b.LoadModule(mod);
  b.SetVolume(hb, 0);
  ASSERT_TRUE(b.PlayModule(hb));
  for (int i = 0; i < 10; ++i) {
    b.Render(kOfflineSamplesPerFrame, out);
    for (int16_t v : out) ASSERT_EQ(v, 0);
  }
  EXPECT_TRUE(b.IsActive(hb));
  b.SetVolume(hb, 100);
  b.Render(kOfflineSamplesPerFrame, held);
  EXPECT_EQ(held, fresh);
  int peak = 0;
  for (int16_t v : fresh) peak = std::max(peak, std::abs(static_cast<int>(v)));
  EXPECT_GT(peak, 1000);

  // Effects are added over the module.
  SampleId s = b.AddSample(Steady(1000, 1000, 4));
  b.PlayEffect(0, s, 100, 0);
  b.Render(1, out);
  std::vector<int16_t> next;
  a.Render(1, next);
  EXPECT_EQ(out[0], next[0] + 1000);

  EXPECT_EQ(b.LoadModule(testing::Bytes("not a module")), 0u);
  EXPECT_FALSE(b.IsActive(hb));  // replaced (and stopped) by the load
}

TEST(OfflineMixer, AnMp3DecodesToStereoAtTheMixingRate) {
  std::vector<int16_t> stereo;
  ASSERT_TRUE(DecodeMp3(testing::MakeMp3Tone(0.5), stereo));
  // A mono tone comes out on both sides, as long as it was made plus at most the two MP3
  // frames of the encoder's delay and padding (this fixture has no tag to trim them).
  const size_t frames = stereo.size() / 2;
  EXPECT_GE(frames, static_cast<size_t>(kMixerFrequency / 2));
  EXPECT_LE(frames, static_cast<size_t>(kMixerFrequency / 2 + 2 * 1152));
  int peak = 0;
  for (size_t i = 0; i < frames; ++i) {
    ASSERT_EQ(stereo[i * 2], stereo[i * 2 + 1]);
    peak = std::max(peak, std::abs(static_cast<int>(stereo[i * 2])));
  }
  EXPECT_GT(peak, 9000);
  EXPECT_FALSE(DecodeMp3(testing::Bytes("broken"), stereo));
  EXPECT_FALSE(DecodeMp3({}, stereo));

  OfflineMixer m;
  EXPECT_EQ(m.LoadSample(testing::MakeMp3Tone(0.1)), 0u);  // not opened yet
  Opened(m);
  EXPECT_NE(m.LoadSample(testing::MakeMp3Tone(0.1)), 0u);
}

}  // namespace
}  // namespace tdx
