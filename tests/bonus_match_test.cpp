// Bonuses in whole rounds of computer players, through the round cycle: they appear and
// are taken with the option on, and never show or sound with it off.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>

#include "app/frame_clock.h"
#include "app/frame_loop.h"
#include "app/round_cycle.h"
#include "audio/fake_mixer.h"
#include "audio/sound.h"
#include "support/bonus_fixture.h"

namespace fs = std::filesystem;

namespace tdx {
namespace {

class BonusMatch : public testing::BonusGame {
 protected:
  void SetUp() override {
    BonusGame::SetUp();
    CloseBonusPlaces(g);  // the match start makes them
    // Whole frames play what the match raised: a recording mixer whose buffers carry the
    // names of the sounds shows what was heard.
    g.settings.game.sounds = 1;
    const char* names[] = {"bonus.mp3",  "ceresna.mp3", "fireball.mp3", "bombeaten.mp3",
                           "srdce.mp3",  "poison.mp3",  "faster.mp3",   "slower.mp3",
                           "digger.mp3", "xonix.mp3",   "rocket.mp3",   "viruses.mp3",
                           "bomb.mp3",   "death.mp3"};
    int slot = 0;
    for (const char* n : names) {
      g.audio.SoundTable.push_back({slot, n});
      g.audio.SoundStreams[slot] = std::vector<uint8_t>(n, n + std::string(n).size());
      ++slot;
    }
    auto fake = std::make_unique<FakeMixer>(&g.Now);
    fake->effectSeconds = 0.001;  // channels free up at once: the test hears every sound
    mixer = fake.get();
    StartAudio(g, std::move(fake));
    ASSERT_TRUE(g.audio.AudioAvailable);
    dir = fs::temp_directory_path() /
          ("tdx_bonus_match_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
    g.folders = GameFolderAt(dir.string());
    g.Now = 0;
    for (int s : {0, 1, 3, 4, 6, 7, 9, 10}) {
      PlayerSetup& p = g.settings.players[static_cast<size_t>(s)];
      p.controller = CtrlCpuIq0;
      p.kind = static_cast<uint8_t>(WormKind::Traveller);
    }
    GameSetup& gs = g.settings.game;
    gs.speedMode = 1;
    gs.constantSpeed = 4;
    gs.scoreLimit = 5;  // more rounds than the test plays
    gs.startPosition = static_cast<uint8_t>(StartPositionRule::Circle);
    clock.SetFixedStep(1.0 / 50);
    clock.Enable();
  }
  void TearDown() override { fs::remove_all(dir); }

  // Plays `frames` frames of a deathmatch and returns the names of the sounds heard.
  std::multiset<std::string> Play(int frames) {
    std::string error;
    EXPECT_TRUE(SaveSettings(g.SetupPath(), g.settings, error)) << error;
    StartMatch(g, 0);
    for (int f = 0; f < frames; ++f) {
      clock.BeginFrame();
      FrameStep(g, clock);
      for (const BonusSlot& b : g.bonus.slots) {
        if (b.picture.visible) ++framesWithAPicture;
      }
    }
    std::multiset<std::string> heard;
    for (const FakeMixerCall& c : mixer->Calls("play")) heard.insert(c.name);
    return heard;
  }

  fs::path dir;
  FrameClock clock;
  FakeMixer* mixer = nullptr;
  long framesWithAPicture = 0;
};

const char* const kPickUpSounds[] = {"ceresna.mp3", "fireball.mp3", "bombeaten.mp3", "srdce.mp3",
                                     "poison.mp3",  "faster.mp3",   "slower.mp3",    "digger.mp3",
                                     "xonix.mp3",   "rocket.mp3",   "viruses.mp3"};

TEST_F(BonusMatch, BonusesAppearAndAreTakenDuringPlay) {
  std::multiset<std::string> sounds = Play(30000);
  EXPECT_GT(sounds.count("bonus.mp3"), 50u);
  EXPECT_GT(framesWithAPicture, 1000);
  size_t taken = 0;
  for (const char* s : kPickUpSounds) taken += sounds.count(s);
  EXPECT_GT(taken, 0u);
}

TEST_F(BonusMatch, WithTheOptionOffNoBonusIsSeenOrHeard) {
  g.settings.game.bonus = 0;
  std::multiset<std::string> sounds = Play(15000);
  EXPECT_EQ(sounds.count("bonus.mp3"), 0u);
  for (const char* s : kPickUpSounds) EXPECT_EQ(sounds.count(s), 0u) << s;
  EXPECT_EQ(framesWithAPicture, 0);
  EXPECT_TRUE(g.bonus.objects.BonusShots.empty());
  EXPECT_TRUE(g.bonus.objects.Bombs.empty());
}

}  // namespace
}  // namespace tdx
