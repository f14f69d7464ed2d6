// The music service frame by frame, against the recording mixer on the game's own clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>

#include "app/game.h"
#include "audio/fake_mixer.h"
#include "audio/music_names.h"
#include "audio/sound.h"
#include "audio_fixtures.h"

namespace tdx {
namespace {

using testing::Bytes;

constexpr double kFrame = 0.02;

class MusicService : public ::testing::Test {
 protected:
  void SetUp() override {
    // slot, name, fade-in, fade-out, play time
    AddModule(0, kMenuModule, 2, 3, 10);
    AddModule(1, kWinnerModule, 1, 2, 5);
    AddModule(2, "broken.xm", 1, 1, 30);
    AddModule(3, "missing.xm", 1, 1, 30);
    g.audio.MusicStreams[3].clear();
    g.settings.game.music = 1;
    auto fake = std::make_unique<FakeMixer>(&g.Now);
    mixer = fake.get();
    StartAudio(g, std::move(fake));
    ASSERT_TRUE(g.audio.AudioAvailable);
    g.Now = 100.0;
  }

  void AddModule(int slot, const std::string& name, int fadeIn, int fadeOut, int playTime) {
    g.audio.MusicTable.push_back({slot, name, fadeIn, fadeOut, playTime});
    g.audio.MusicStreams[slot] = Bytes(name);
  }

  // One frame of the frame loop, as far as music goes.
  void Frame() {
    g.Now += kFrame;
    ServiceMusic(g);
  }
  void RunFor(double seconds) {
    double end = g.Now + seconds;
    while (g.Now < end - 1e-9) Frame();
  }
  // Frames until the condition holds; the time it first held.
  template <typename F>
  double RunUntil(F done, double limit = 60.0) {
    double end = g.Now + limit;
    while (!done() && g.Now < end) Frame();
    EXPECT_TRUE(done()) << "gave up at " << g.Now;
    return g.Now;
  }

  std::vector<std::string> Started() const {
    std::vector<std::string> names;
    for (const auto& c : mixer->Calls("play_module")) names.push_back(c.name);
    return names;
  }
  int Volume() const { return mixer->VolumeOf(g.audio.MusicChannel); }

  Game g;
  FakeMixer* mixer = nullptr;
};

TEST_F(MusicService, FadesInPlaysItsTimeThenFadesOutAndStops) {
  RequestMusic(g, kMenuModule);
  EXPECT_TRUE(mixer->Calls("play_module").empty());  // nothing happens before the service runs
  Frame();
  double start = g.Now;
  ASSERT_EQ(Started(), std::vector<std::string>{kMenuModule});
  EXPECT_EQ(g.audio.MusicState, MusicPlaying);
  EXPECT_TRUE(MusicChannelActive(g));
  auto volumes = mixer->Calls("volume");
  ASSERT_EQ(volumes.size(), 1u);
  EXPECT_EQ(volumes[0].volume, 0);  // silent at the first sample, then the slide
  auto slides = mixer->Calls("slide");
  ASSERT_EQ(slides.size(), 1u);
  EXPECT_EQ(slides[0].volume, 75);
  EXPECT_EQ(slides[0].milliseconds, 2000);
  RunFor(1.0);
  EXPECT_NEAR(Volume(), 37, 2);
  RunFor(1.5);
  EXPECT_EQ(Volume(), 75);

  // Play time 10 s from the start, then a fade-out of 3 s.
  double fadeStart = RunUntil([&] { return g.audio.MusicState == MusicFadingOut; });
  EXPECT_GT(fadeStart, start + 10.0);
  EXPECT_LE(fadeStart, start + 10.0 + kFrame + 1e-9);
  slides = mixer->Calls("slide");
  ASSERT_EQ(slides.size(), 2u);
  EXPECT_EQ(slides[1].volume, 0);
  EXPECT_EQ(slides[1].milliseconds, 3000);
  EXPECT_TRUE(MusicChannelActive(g));

  double stop = RunUntil([&] { return !mixer->Calls("stop").empty(); });
  EXPECT_GT(stop, fadeStart + 3.0);
  EXPECT_LE(stop, fadeStart + 3.0 + kFrame + 1e-9);
  EXPECT_FALSE(MusicChannelActive(g));
  RunFor(5.0);  // nothing asked for: silence, no restart
  EXPECT_EQ(Started().size(), 1u);
}

TEST_F(MusicService, ARequestWhilePlayingSwitchesWithAOneSecondFade) {
  RequestMusic(g, kMenuModule);
  RunFor(4.0);
  RequestMusic(g, kWinnerModule);
  Frame();
  double requested = g.Now;
  EXPECT_EQ(g.audio.MusicState, MusicSwitching);
  auto slides = mixer->Calls("slide");
  ASSERT_EQ(slides.size(), 2u);
  EXPECT_EQ(slides[1].volume, 0);
  EXPECT_EQ(slides[1].milliseconds, 1000);

  double stop = RunUntil([&] { return !mixer->Calls("stop").empty(); });
  EXPECT_GT(stop, requested + 1.0);
  EXPECT_LE(stop, requested + 1.0 + kFrame + 1e-9);
  EXPECT_EQ(Started().size(), 1u);
  Frame();  // the next frame finds the channel quiet and the request waiting
  EXPECT_EQ(Started(), (std::vector<std::string>{kMenuModule, kWinnerModule}));
  slides = mixer->Calls("slide");
  EXPECT_EQ(slides.back().volume, 75);
  EXPECT_EQ(slides.back().milliseconds, 1000);  // the winner's own fade-in
  EXPECT_EQ(g.audio.MusicState, MusicPlaying);
}

TEST_F(MusicService, TwoRequestsInOneFrameTheLaterWins) {
  RequestMusic(g, kMenuModule);
  RequestMusic(g, kWinnerModule);
  Frame();
  EXPECT_EQ(Started(), std::vector<std::string>{kWinnerModule});

  RunFor(2.0);
  RequestMusic(g, kWinnerModule);
  RequestMusic(g, kMenuModule);
  RunFor(2.0);
  EXPECT_EQ(Started(), (std::vector<std::string>{kWinnerModule, kMenuModule}));
}

TEST_F(MusicService, ARequestDuringAFadeOutWaitsForItsEnd) {
  RequestMusic(g, kMenuModule);
  Frame();
  RunUntil([&] { return g.audio.MusicState == MusicFadingOut; });
  double fadeStart = g.Now;
  RunFor(1.0);
  RequestMusic(g, kWinnerModule);
  Frame();
  EXPECT_EQ(g.audio.MusicState, MusicFadingOut);  // no one-second switch on top
  EXPECT_EQ(mixer->Calls("slide").size(), 2u);
  RunUntil([&] { return Started().size() == 2; });
  EXPECT_GT(g.Now, fadeStart + 3.0);  // the 3 s fade-out ran to its end
  EXPECT_EQ(Started().back(), kWinnerModule);
  EXPECT_EQ(mixer->Calls("slide").back().milliseconds, 1000);
}

TEST_F(MusicService, AskingForThePlayingModuleStartsItAgain) {
  RequestMusic(g, kMenuModule);
  RunFor(3.0);
  RequestMusic(g, kMenuModule);
  RunFor(1.5);
  EXPECT_EQ(Started(), (std::vector<std::string>{kMenuModule, kMenuModule}));
  EXPECT_EQ(mixer->Calls("stop").size(), 1u);
}

TEST_F(MusicService, AModuleThatEndsByItselfLeavesSilenceUntilTheNextRequest) {
  mixer->lengths[kMenuModule] = 4.0;  // shorter than its play time
  RequestMusic(g, kMenuModule);
  RunFor(6.0);
  EXPECT_FALSE(MusicChannelActive(g));
  EXPECT_EQ(g.audio.MusicState, MusicPlaying);
  EXPECT_TRUE(mixer->Calls("stop").empty());
  RequestMusic(g, kWinnerModule);
  Frame();
  EXPECT_EQ(Started().back(), kWinnerModule);
  EXPECT_TRUE(MusicChannelActive(g));
}

TEST_F(MusicService, ModulesThatDoNotLoadStaySilentAndAreNotRetried) {
  for (const char* name : {"broken.xm", "missing.xm", "broken.xm"}) {
    RequestMusic(g, name);
    Frame();
    EXPECT_FALSE(MusicChannelActive(g)) << name;
    Frame();
  }
  EXPECT_TRUE(Started().empty());
  EXPECT_EQ(mixer->Calls("module").size(), 1u);  // only the damaged one was handed over, once
  RequestMusic(g, kMenuModule);                  // the next request starts over
  Frame();
  EXPECT_EQ(Started(), std::vector<std::string>{kMenuModule});
}

TEST_F(MusicService, FadeMusicOutSilencesButKeepsTheModulePlaying) {
  RequestMusic(g, kMenuModule);
  RunFor(3.0);
  FadeMusicOut(g, 1000);
  RunFor(1.2);
  EXPECT_EQ(Volume(), 0);
  EXPECT_TRUE(MusicChannelActive(g));  // the menu asks for new music only when it has ended
  RequestMusic(g, kWinnerModule);
  RunFor(1.5);
  EXPECT_EQ(Started().back(), kWinnerModule);
}

TEST_F(MusicService, TheMusicSwitchOffStopsAtOnceAndIgnoresRequests) {
  RequestMusic(g, kMenuModule);
  RunFor(3.0);
  RequestMusic(g, kWinnerModule);  // a switch is fading ...
  Frame();
  g.settings.game.music = 0;  // ... when the player turns music off
  StopMusic(g);
  EXPECT_FALSE(MusicChannelActive(g));
  RequestMusic(g, kMenuModule);
  RequestRandomMusic(g);
  RunFor(3.0);
  EXPECT_EQ(Started().size(), 1u);  // neither the waiting switch nor the new requests play

  g.settings.game.music = 1;  // on again: nothing until the game asks
  RunFor(1.0);
  EXPECT_EQ(Started().size(), 1u);
  RequestMusic(g, kWinnerModule);
  Frame();
  EXPECT_EQ(Started().back(), kWinnerModule);
}

TEST_F(MusicService, UnknownNamesChangeNothing) {
  RequestMusic(g, kMenuModule);
  RunFor(1.0);
  RequestMusic(g, "nosuch.xm");
  RunFor(2.0);
  EXPECT_EQ(g.audio.MusicState, MusicPlaying);
  EXPECT_EQ(Started().size(), 1u);
}

TEST(MusicPlayList, RandomMusicDrawsFromTheEighteenModules) {
  std::set<std::string> names(std::begin(kPlayList), std::end(kPlayList));
  ASSERT_EQ(names.size(), 18u);
  int xm = 0, mod = 0;
  for (const std::string& n : names) {
    xm += n.ends_with(".xm");
    mod += n.ends_with(".mod");
  }
  EXPECT_EQ(xm, 13);
  EXPECT_EQ(mod, 5);
  EXPECT_FALSE(names.count(kMenuModule));
  EXPECT_FALSE(names.count(kWinnerModule));

  Game g;
  g.settings.game.music = 1;
  for (int i = 0; i < 18; ++i) {
    g.audio.MusicTable.push_back({i, kPlayList[i], 0, 0, 60});
    g.audio.MusicStreams[i] = Bytes(kPlayList[i]);
  }
  StartAudio(g, std::make_unique<FakeMixer>(&g.Now));
  std::set<std::string> drawn;
  for (int i = 0; i < 2000; ++i) {
    RequestRandomMusic(g);
    ASSERT_TRUE(g.audio.musicPending);
    drawn.insert(g.audio.MusicTable[g.audio.pendingIndex].fileName);
  }
  EXPECT_EQ(drawn, names);
}

}  // namespace
}  // namespace tdx
