// Effects and speech against the recording mixer: pan, the stereo swap, the channel pool,
// the switches, and sounds that are missing or damaged.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/game.h"
#include "audio/fake_mixer.h"
#include "audio/sound.h"
#include "audio_fixtures.h"

namespace tdx {
namespace {

using testing::Bytes;

class AudioEffects : public ::testing::Test {
 protected:
  void SetUp() override {
    // Each buffer holds its own name, so the fake's record names what was played.
    const char* names[] = {"death.mp3", "menuclick.mp3", "s_fight.mp3", "broken.mp3"};
    for (int slot = 0; slot < 4; ++slot) {
      g.audio.SoundTable.push_back({slot, names[slot]});
      g.audio.SoundStreams[slot] = Bytes(slot == 3 ? "broken mp3 data" : names[slot]);
    }
    g.audio.SoundTable.push_back({9, "missing.mp3"});  // its file was not in snd.pak
    g.settings.game.sounds = 1;
    g.settings.game.speech = 1;
    auto fake = std::make_unique<FakeMixer>(&g.Now);
    mixer = fake.get();
    StartAudio(g, std::move(fake));
    ASSERT_TRUE(g.audio.AudioAvailable);
  }

  std::vector<FakeMixerCall> Plays() const { return mixer->Calls("play"); }

  Game g;
  FakeMixer* mixer = nullptr;
};

TEST_F(AudioEffects, PanFollowsArenaXAndTheStereoSwap) {
  struct Case {
    double x;
    bool swap;
    int pan;
  };
  const Case cases[] = {
      {0, false, -100},
      {304, false, 0},
      {608, false, 100},
      {0, true, 100},
      {304, true, 0},
      {608, true, -100},
      {-40, false, -100},
      {900, false, 100},
      {-40, true, 100},  // sources outside the arena
      {152, false, -50},
      {38, false, -88},   // x * 200 / 608 = 12.5: the half goes to the even
                          // 12
      {114, false, -62},  // 37.5 goes to 38
  };
  for (const Case& c : cases) {
    g.settings.game.rightLeft = c.swap ? 1 : 0;
    g.Now += 10;  // the previous sound has ended
    PlaySoundByName(g, "death.mp3", c.x);
    ASSERT_FALSE(Plays().empty());
    EXPECT_EQ(Plays().back().pan, c.pan) << "x=" << c.x << " swap=" << c.swap;
    EXPECT_EQ(Plays().back().volume, 100);
  }
  size_t before = Plays().size();
  g.Now += 10;
  PlaySoundByName(g, "death.mp3", std::nan(""));  // never undefined, just centred
  ASSERT_EQ(Plays().size(), before + 1);
  EXPECT_EQ(Plays().back().pan, 0);
}

TEST_F(AudioEffects, TheTwentyFirstEffectIsDroppedAndTheLowestFreeChannelIsReused) {
  mixer->effectSeconds = 5.0;
  mixer->lengths["menuclick.mp3"] = 0.5;
  for (int i = 0; i < 20; ++i) PlaySound(g, i == 5 ? "menuclick.mp3" : "death.mp3", 0);
  auto plays = Plays();
  ASSERT_EQ(plays.size(), 20u);
  for (int ch = 0; ch < 20; ++ch) EXPECT_EQ(plays[ch].channel, ch);
  EXPECT_EQ(AudioActivityText(g), std::string(20, 'P'));
  EXPECT_EQ(FindFreeChannel(g), -1);

  PlaySound(g, "death.mp3", 0);  // all 20 busy: dropped, nothing cut off
  EXPECT_EQ(Plays().size(), 20u);
  EXPECT_TRUE(mixer->Calls("stop").empty());

  g.Now += 0.6;  // the click on channel 5 has ended
  EXPECT_EQ(AudioActivityText(g), "PPPPPNPPPPPPPPPPPPPP");
  PlaySound(g, "death.mp3", 0);
  ASSERT_EQ(Plays().size(), 21u);
  EXPECT_EQ(Plays().back().channel, 5);

  g.Now += 10;
  EXPECT_EQ(AudioActivityText(g), std::string(20, 'N'));
}

TEST_F(AudioEffects, SpeechPlaysWithEffectsOffAndNeverWithSpeechOff) {
  struct Case {
    int sounds, speech;
    bool click, fight;
  };
  const Case cases[] = {
      {1, 1, true, true}, {0, 1, false, true}, {1, 0, true, false}, {0, 0, false, false}};
  for (const Case& c : cases) {
    g.settings.game.sounds = static_cast<uint8_t>(c.sounds);
    g.settings.game.speech = static_cast<uint8_t>(c.speech);
    g.settings.game.rightLeft = 1;
    mixer->calls.clear();
    PlaySound(g, "menuclick.mp3", 0);
    PlaySpeech(g, "s_fight.mp3");
    auto plays = Plays();
    bool click = false, fight = false;
    for (const auto& p : plays) {
      click |= p.name == "menuclick.mp3";
      fight |= p.name == "s_fight.mp3" && p.pan == 0;
    }
    EXPECT_EQ(click, c.click) << c.sounds << c.speech;
    EXPECT_EQ(fight, c.fight) << c.sounds << c.speech;
    EXPECT_EQ(g.settings.game.sounds, c.sounds);  // the switch is left as it was
  }
}

TEST_F(AudioEffects, UnknownMissingAndDamagedSoundsPlayNothingAndKeepTheChannelFree) {
  PlaySound(g, "nosuch.mp3", 0);
  PlaySound(g, "Death.mp3", 0);  // names match exactly
  PlaySound(g, "missing.mp3", 0);
  PlaySound(g, "broken.mp3", 0);
  PlaySound(g, "broken.mp3", 0);
  EXPECT_TRUE(Plays().empty());
  EXPECT_EQ(mixer->Calls("sample").size(), 1u);  // a damaged buffer is tried once
  EXPECT_EQ(FindFreeChannel(g), 0);
  PlaySound(g, "death.mp3", 0);
  ASSERT_EQ(Plays().size(), 1u);
  EXPECT_EQ(Plays()[0].channel, 0);
}

TEST_F(AudioEffects, ABufferPlaysOnSeveralChannelsAtOnceAndDecodesOnce) {
  PlaySound(g, "death.mp3", 0);
  PlaySound(g, "death.mp3", 0);
  PlaySound(g, "death.mp3", 0);
  EXPECT_EQ(Plays().size(), 3u);
  EXPECT_EQ(mixer->Calls("sample").size(), 1u);
  EXPECT_EQ(AudioActivityText(g), "PPPNNNNNNNNNNNNNNNNN");
}

// A network match stepped again may no longer make a sound it already started: that one
// sound stops, the others of its name and every other sound play on.
TEST_F(AudioEffects, StoppingAnEffectByNameStopsOneOfItsPlays) {
  PlaySound(g, "death.mp3", 0);
  PlaySound(g, "menuclick.mp3", 0);
  PlaySound(g, "death.mp3", 0);
  StopEffect(g, "death.mp3");
  EXPECT_EQ(AudioActivityText(g), "NPPNNNNNNNNNNNNNNNNN");
  StopEffect(g, "s_fight.mp3");  // not playing: nothing happens
  StopEffect(g, "death.mp3");
  StopEffect(g, "death.mp3");
  EXPECT_EQ(AudioActivityText(g), "NPNNNNNNNNNNNNNNNNNN");
}

TEST(AudioStart, AWrongLayerVersionOrNoDeviceMakesTheGameSilent) {
  struct Case {
    uint32_t version;
    bool device;
  };
  const Case cases[] = {{MakeAudioVersion(2, 1), true}, {kAudioLayerVersion, false}, {0, false}};
  for (const Case& c : cases) {
    Game g;
    g.settings.game.sounds = g.settings.game.speech = g.settings.game.music = 1;
    g.audio.SoundTable.push_back({0, "death.mp3"});
    g.audio.SoundStreams[0] = Bytes("death.mp3");
    g.audio.MusicTable.push_back({0, "menu_theme.xm", 1, 1, 60});
    g.audio.MusicStreams[0] = Bytes("menu_theme.xm");
    auto fake = std::make_unique<FakeMixer>(&g.Now);
    fake->version = c.version;
    fake->deviceAvailable = c.device;
    FakeMixer* mixer = fake.get();
    StartAudio(g, std::move(fake));
    EXPECT_FALSE(g.audio.AudioAvailable);
    EXPECT_EQ(mixer->Calls("open").size(), 1u);  // the output is tried in any case
    PlaySound(g, "death.mp3", 0);
    PlaySpeech(g, "death.mp3");
    RequestMusic(g, "menu_theme.xm");
    g.Now = 1;
    ServiceMusic(g);
    EXPECT_TRUE(mixer->Calls("play").empty());
    EXPECT_TRUE(mixer->Calls("module").empty());
  }
}

TEST(AudioStart, AGameThatNeverStartedAudioIsSilentAndSafe) {
  Game g;
  g.settings.game.sounds = g.settings.game.music = 1;
  PlaySoundByName(g, "death.mp3", 10);
  RequestRandomMusic(g);
  ServiceMusic(g);
  FadeMusicOut(g, 1000);
  StopMusic(g);
  EXPECT_EQ(AudioActivityText(g), std::string(20, 'N'));
  EXPECT_FALSE(MusicChannelActive(g));
  EXPECT_FALSE(ChannelActive(g, 99));
  ShutdownAudio(g);
}

TEST_F(AudioEffects, ShutDownStopsAndFreesEachEffectChannelThenTheMusic) {
  g.settings.game.music = 1;
  g.audio.MusicTable.push_back({0, "menu_theme.xm", 1, 1, 60});
  g.audio.MusicStreams[0] = Bytes("menu_theme.xm");
  PlaySound(g, "death.mp3", 0);
  PlaySound(g, "menuclick.mp3", 0);
  RequestMusic(g, "menu_theme.xm");
  ServiceMusic(g);
  ASSERT_TRUE(MusicChannelActive(g));
  mixer->calls.clear();

  ShutdownAudio(g);
  const auto& calls = mixer->calls;
  ASSERT_EQ(calls.size(), 20u * 2 + 2 + 1);
  for (int ch = 0; ch < 20; ++ch) {
    EXPECT_EQ(calls[2 * ch].op, "stop");
    EXPECT_EQ(calls[2 * ch + 1].op, "free");
    EXPECT_EQ(calls[2 * ch].handle, g.audio.EffectChannels[ch]);
    EXPECT_EQ(calls[2 * ch + 1].handle, g.audio.EffectChannels[ch]);
  }
  EXPECT_EQ(calls[0].name, "death.mp3");
  EXPECT_EQ(calls[2].name, "menuclick.mp3");
  EXPECT_EQ(calls[40].op, "stop");
  EXPECT_EQ(calls[40].name, "menu_theme.xm");
  EXPECT_EQ(calls[41].op, "free");
  EXPECT_EQ(calls[42].op, "close");
  EXPECT_EQ(AudioActivityText(g), std::string(20, 'N'));
  EXPECT_FALSE(MusicChannelActive(g));
  PlaySound(g, "death.mp3", 0);  // after shut-down nothing plays
  EXPECT_TRUE(mixer->Calls("play").empty());
}

}  // namespace
}  // namespace tdx
