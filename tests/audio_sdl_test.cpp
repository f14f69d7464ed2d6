// The real mixer, heard through SDL's disk audio driver: what the game plays reaches the
// output, panned the right way, and damaged data never takes the game down.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "app/game.h"
#include "audio/offline_mixer.h"
#include "audio/sound.h"
#include "audio_fixtures.h"

namespace tdx {
namespace {

using testing::Bytes;
using testing::MakeMp3Tone;
using testing::MakeTinyMod;
using testing::ReadStereoLevels;
using testing::StereoLevels;

// Routes SDL's output into a file for the length of a test, then puts the environment back.
class DiskAudio : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("tandrix_audio_sdl_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    output_ = (dir_ / "out.raw").string();
    Save("SDL_AUDIODRIVER", "disk");
    Save("SDL_DISKAUDIOFILE", output_);
    // A few milliseconds per buffer: faster than real time, yet the mixer keeps up.
    Save("SDL_DISKAUDIODELAY", "5");
    g.folders = GameFolderAt(dir_.string());  // no pak/ here: nothing loads from archives
    g.settings.game.sounds = 1;
    g.settings.game.speech = 1;
    g.settings.game.music = 1;
  }
  void TearDown() override {
    ShutdownAudio(g);
    for (auto& [name, value] : saved_) {
      if (value.has_value()) {
        setenv(name.c_str(), value->c_str(), 1);
      } else {
        unsetenv(name.c_str());
      }
    }
    std::filesystem::remove_all(dir_);
  }

  void Save(const std::string& name, const std::string& value) {
    const char* old = std::getenv(name.c_str());
    saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    setenv(name.c_str(), value.c_str(), 1);
  }

  // Polls (never times) until the condition holds or a generous limit passes.
  static bool WaitFor(const std::function<bool()>& done) {
    for (int i = 0; i < 3000 && !done(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
  }
  size_t OutputBytes() const {
    std::error_code ec;
    auto size = std::filesystem::file_size(output_, ec);
    return ec ? 0 : static_cast<size_t>(size);
  }
  // Stops the output so the file is complete, then measures it.
  StereoLevels Output() {
    ShutdownAudio(g);
    return ReadStereoLevels(output_);
  }

  std::filesystem::path dir_;
  std::string output_;
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
  Game g;
};

TEST_F(DiskAudio, AnEffectIsHeardOnTheSideItIsPannedTo) {
  struct Case {
    double x;
    bool swap;
    bool leftLoud, rightLoud;
  };
  const Case cases[] = {{0, false, true, false},
                        {608, false, false, true},
                        {0, true, false, true},
                        {304, false, true, true}};
  const std::vector<uint8_t> tone = MakeMp3Tone(0.4);
  ASSERT_GT(tone.size(), 1000u);
  for (const Case& c : cases) {
    SCOPED_TRACE("x=" + std::to_string(c.x) + " swap=" + std::to_string(c.swap));
    std::filesystem::remove(output_);
    g.audio.SoundTable = {{0, "tone.mp3"}};
    g.audio.SoundStreams[0] = tone;
    g.settings.game.rightLeft = c.swap ? 1 : 0;
    InitAudio(g, /*headless=*/false);  // no pak/snd.pak: the buffer above stays
    ASSERT_TRUE(g.audio.AudioAvailable);
    PlaySoundByName(g, "tone.mp3", c.x);
    ASSERT_TRUE(ChannelActive(g, 0));
    EXPECT_EQ(AudioActivityText(g), "PNNNNNNNNNNNNNNNNNNN");
    ASSERT_TRUE(WaitFor([&] { return !ChannelActive(g, 0); }));
    StereoLevels out = Output();
    ASSERT_GT(out.frames, 0.4 * 44100);
    EXPECT_EQ(out.left > 2000, c.leftLoud) << out.left;
    EXPECT_EQ(out.right > 2000, c.rightLoud) << out.right;
    if (!c.leftLoud) {
      EXPECT_LT(out.left, 64);
    }
    if (!c.rightLoud) {
      EXPECT_LT(out.right, 64);
    }
  }
}

TEST_F(DiskAudio, AModulePlaysThroughTheMusicService) {
  g.audio.MusicTable = {{0, "tiny.mod", 1, 1, 60}};  // fades in over a second
  g.audio.MusicStreams[0] = MakeTinyMod();
  InitAudio(g, false);
  LoadMusic(g);  // no pak/music.pak: the buffer above stays
  ASSERT_TRUE(g.audio.AudioAvailable);
  RequestMusic(g, "tiny.mod");
  g.Now = 1.0;
  ServiceMusic(g);
  ASSERT_TRUE(MusicChannelActive(g));
  // Frames keep coming while the output fills up with three seconds.
  ASSERT_TRUE(WaitFor([&] {
    g.Now += 0.01;
    ServiceMusic(g);
    return OutputBytes() >= 44100 * 4 * 3;
  }));
  EXPECT_TRUE(MusicChannelActive(g));
  StereoLevels out = Output();
  EXPECT_GT(out.left, 1000);
  EXPECT_GT(out.right, 1000);
}

TEST_F(DiskAudio, AFadedOutModuleKeepsPlayingInSilenceUntilStopped) {
  g.audio.MusicTable = {{0, "tiny.mod", 0, 1, 60}};
  g.audio.MusicStreams[0] = MakeTinyMod();
  InitAudio(g, false);
  RequestMusic(g, "tiny.mod");
  ServiceMusic(g);
  ASSERT_TRUE(MusicChannelActive(g));
  ASSERT_TRUE(WaitFor([&] { return OutputBytes() >= 44100 * 2; }));
  size_t loudUntil = OutputBytes();
  FadeMusicOut(g, 100);
  // Frames go on (each one steps the slide) until the fade has had its time.
  auto fadeStart = std::chrono::steady_clock::now();
  ASSERT_TRUE(WaitFor([&] {
    ServiceMusic(g);
    return std::chrono::steady_clock::now() - fadeStart > std::chrono::milliseconds(250);
  }));
  EXPECT_TRUE(MusicChannelActive(g));
  // Skip what the device had mixed ahead, then expect silence for half a second.
  size_t quietFrom = OutputBytes() + 8 * 4096;
  ASSERT_TRUE(WaitFor([&] { return OutputBytes() > quietFrom + 44100 * 2; }));
  StopMusic(g);
  EXPECT_FALSE(MusicChannelActive(g));
  ShutdownAudio(g);

  FILE* f = std::fopen(output_.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  int16_t frame[2];
  int loud = 0, quiet = 0;
  size_t at = 0;
  while (std::fread(frame, sizeof frame, 1, f) == 1) {
    int level =
        std::max(std::abs(static_cast<int>(frame[0])), std::abs(static_cast<int>(frame[1])));
    if (at < loudUntil) loud = std::max(loud, level);
    if (at >= quietFrom) quiet = std::max(quiet, level);
    at += sizeof frame;
  }
  std::fclose(f);
  EXPECT_GT(loud, 1000);
  EXPECT_EQ(quiet, 0);
}

TEST_F(DiskAudio, DamagedSoundsAndModulesNeverBreakTheGame) {
  std::vector<uint8_t> tone = MakeMp3Tone(0.3);
  std::vector<uint8_t> halfTone(tone.begin(), tone.begin() + tone.size() / 2);
  std::vector<uint8_t> mod = MakeTinyMod();
  std::vector<uint8_t> shortMod(mod.begin(), mod.begin() + 1100);  // cut inside the pattern
  std::vector<uint8_t> noise(5000);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>(i * 7919 % 251);
  std::vector<uint8_t> syncNoise = noise;
  syncNoise[0] = 0xFF;
  syncNoise[1] = 0xFB;  // an MP3 frame sync followed by rubbish
  g.audio.SoundTable = {{0, "text.mp3"}, {1, "empty.mp3"}, {2, "half.mp3"}, {3, "sync.mp3"}};
  g.audio.SoundStreams[0] = Bytes("this is not a sound");
  g.audio.SoundStreams[2] = halfTone;
  g.audio.SoundStreams[3] = syncNoise;
  g.audio.MusicTable = {{0, "text.xm", 0, 0, 60},
                        {1, "none.xm", 0, 0, 60},
                        {2, "short.mod", 0, 0, 60},
                        {3, "noise.mod", 0, 0, 60}};
  g.audio.MusicStreams[0] = Bytes("Extended Module: but nothing after it");
  g.audio.MusicStreams[2] = shortMod;
  g.audio.MusicStreams[3] = noise;
  InitAudio(g, false);
  ASSERT_TRUE(g.audio.AudioAvailable);

  // What cannot be decoded at all plays nothing.
  PlaySound(g, "text.mp3", 0);
  PlaySound(g, "empty.mp3", 0);
  PlaySound(g, "unknown.mp3", 0);
  EXPECT_EQ(AudioActivityText(g), std::string(20, 'N'));
  for (const char* name : {"text.xm", "none.xm"}) {
    RequestMusic(g, name);
    ServiceMusic(g);
    EXPECT_FALSE(MusicChannelActive(g)) << name;
  }
  // Cut or noisy data may decode to something or to nothing; either way the game goes on.
  PlaySound(g, "half.mp3", 0);
  PlaySound(g, "sync.mp3", 0);
  for (const char* name : {"short.mod", "noise.mod"}) {
    RequestMusic(g, name);
    for (int frame = 0; frame < 3; ++frame) {
      g.Now += 0.02;
      ServiceMusic(g);
    }
  }
  EXPECT_EQ(AudioActivityText(g).size(), 20u);
}

TEST_F(DiskAudio, AMissingSoundOrMusicArchiveIsNamedOnceAndTheGamePlaysOn) {
  // No pak/ folder at all in this game folder.
  g.audio.SoundTable = {{0, "tone.mp3"}};
  g.audio.MusicTable = {{0, "tiny.mod", 1, 1, 60}};
  ::testing::internal::CaptureStderr();
  InitAudio(g, false);
  LoadMusic(g);
  const std::string said = ::testing::internal::GetCapturedStderr();
  ASSERT_TRUE(g.audio.AudioAvailable);
  EXPECT_NE(said.find("pak/snd.pak is missing or not readable; playing on without the sound "
                      "effects"),
            std::string::npos)
      << said;
  EXPECT_NE(said.find("pak/music.pak is missing or not readable; playing on without the music"),
            std::string::npos)
      << said;
  size_t lines = 0;
  for (size_t at = said.find("tandrix: "); at != std::string::npos;
       at = said.find("tandrix: ", at + 1)) {
    ++lines;
  }
  EXPECT_EQ(lines, 2u) << said;  // once each
  PlaySound(g, "tone.mp3", 0);   // nothing to play, nothing breaks
  EXPECT_EQ(AudioActivityText(g), std::string(20, 'N'));
}

// The mixer of exported videos against the output: the same effect (volume and pan) and
// the same module (volume) reach the same levels, so a video sounds as the game did.
TEST_F(DiskAudio, TheExportMixerReachesTheLevelsOfTheOutput) {
  struct Case {
    bool module;
    int volume, pan;
  } cases[] = {{false, 100, 0}, {false, 40, -60}, {false, 75, 100},
               {true, 100, 0},  {true, 50, 0},    {true, 12, 0}};
  const std::vector<uint8_t> tone = MakeMp3Tone(0.3);
  const std::vector<uint8_t> mod = MakeTinyMod();
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.module ? "module" : "effect") + " volume " +
                 std::to_string(c.volume) + " pan " + std::to_string(c.pan));
    auto play = [&](Mixer& m) {
      if (c.module) {
        AudioHandle h = m.LoadModule(mod);
        m.SetVolume(h, c.volume);
        return m.PlayModule(h);
      }
      return m.PlayEffect(0, m.LoadSample(tone), c.volume, c.pan) != 0;
    };
    std::filesystem::remove(output_);
    InitAudio(g, /*headless=*/false);
    ASSERT_TRUE(g.audio.AudioAvailable);
    ASSERT_TRUE(play(*g.audio.mixer));
    ASSERT_TRUE(WaitFor([&] { return OutputBytes() >= 44100 * 4 / 4; }));
    StereoLevels heard = Output();

    OfflineMixer offline;
    offline.Open(kMixerFrequency);
    ASSERT_TRUE(play(offline));
    std::vector<int16_t> pcm;
    offline.Render(kMixerFrequency / 4, pcm);
    StereoLevels mixed;
    for (size_t i = 0; i + 1 < pcm.size(); i += 2) {
      mixed.left = std::max(mixed.left, std::abs(static_cast<int>(pcm[i])));
      mixed.right = std::max(mixed.right, std::abs(static_cast<int>(pcm[i + 1])));
    }
    EXPECT_GT(std::max(heard.left, heard.right), 500);
    EXPECT_NEAR(mixed.left, heard.left, 2);
    EXPECT_NEAR(mixed.right, heard.right, 2);
  }
}

TEST(AudioDevice, HeadlessOrNoDeviceRunsSilentWithoutWaiting) {
  const char* old = std::getenv("SDL_AUDIODRIVER");
  std::string saved = old ? old : "";
  for (bool headless : {true, false}) {
    setenv("SDL_AUDIODRIVER", headless ? "disk" : "no-such-driver", 1);
    Game g;
    g.settings.game.sounds = 1;
    g.audio.SoundTable = {{0, "tone.mp3"}};
    g.audio.SoundStreams[0] = Bytes("whatever");
    InitAudio(g, headless);
    EXPECT_FALSE(g.audio.AudioAvailable) << headless;
    PlaySound(g, "tone.mp3", 0);
    EXPECT_EQ(AudioActivityText(g), std::string(20, 'N'));
    ShutdownAudio(g);
  }
  if (old) {
    setenv("SDL_AUDIODRIVER", saved.c_str(), 1);
  } else {
    unsetenv("SDL_AUDIODRIVER");
  }
}

}  // namespace
}  // namespace tdx
