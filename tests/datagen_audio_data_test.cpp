// The generated sounds and music, as staged for the archives: every name the game plays
// is in sounds.dat / music.dat with its file, every MP3 decodes in the game's own decoder
// (SDL2_mixer) at 44.1 kHz and is heard without clipping, the effects have the character
// their events need, and every module loads in the game's module player.
// Module lengths and levels are checked with an independent player in
// tests/scripts/datagen_audio_openmpt.sh.
#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

fs::path Stage() {
  fs::path game = fs::path(TANDRIX_GAME_DATA).lexically_normal();
  if (game.filename().empty()) game = game.parent_path();
  return game.parent_path() / "stage";
}

std::vector<uint8_t> ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> Lines(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) {
    if (!l.empty() && l.back() == '\r') l.pop_back();
    lines.push_back(l);
  }
  return lines;
}

bool IsNumber(const std::string& s) {
  return !s.empty() && s.size() < 10 &&
         std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

struct Entry {
  int slot;
  std::string file;
  std::vector<int> numbers;  // music: fade-in, fade-out, play time
};

// The tables' format: `width` lines per entry (slot, file name, then numbers), ending at
// the first empty line or the end of the file.
std::vector<Entry> ReadTable(const fs::path& p, size_t width) {
  std::vector<Entry> out;
  std::vector<std::string> l = Lines(p);
  for (size_t i = 0; i < l.size() && !l[i].empty(); i += width) {
    EXPECT_LE(i + width, l.size()) << p << ": last entry is cut short";
    if (i + width > l.size()) break;
    EXPECT_TRUE(IsNumber(l[i])) << p << " line " << i + 1 << ": slot \"" << l[i] << "\"";
    Entry e{IsNumber(l[i]) ? std::stoi(l[i]) : -1, l[i + 1], {}};
    for (size_t k = 2; k < width; ++k) {
      EXPECT_TRUE(IsNumber(l[i + k])) << p << " line " << i + k + 1 << ": \"" << l[i + k] << "\"";
      e.numbers.push_back(IsNumber(l[i + k]) ? std::stoi(l[i + k]) : -1);
    }
    out.push_back(e);
  }
  return out;
}

std::set<std::string> FilesIn(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
  return names;
}

// Every file name of the given kind that the game's code names in a string literal.
std::set<std::string> NamesInSource(const std::string& extensions) {
  std::set<std::string> names;
  std::regex literal("\"([a-z0-9_]+\\.(?:" + extensions + "))\"");
  for (const auto& e : fs::recursive_directory_iterator(fs::path(TANDRIX_SOURCE_DIR) / "src")) {
    if (!e.is_regular_file()) continue;
    std::ifstream in(e.path());
    std::string text((std::istreambuf_iterator<char>(in)), {});
    for (std::sregex_iterator it(text.begin(), text.end(), literal), end; it != end; ++it)
      names.insert((*it)[1]);
  }
  return names;
}

// Every sound the game plays: abilities, explosions, death, bonuses, menus, the crowd,
// the bomb and the eight announcements.
const std::vector<std::string> kGameSounds = {
    "reverser.mp3",    "fireball.mp3",    "laser.mp3",      "multiplier.mp3", "viruses.mp3",
    "rocket.mp3",      "atomicalarm.mp3", "erekcia.mp3",    "teleport.mp3",   "gulomet.mp3",
    "traveller.mp3",   "speeder.mp3",     "pause.mp3",      "repeller.mp3",   "infernal.mp3",
    "thick.mp3",       "atomovka.mp3",    "rocketboom.mp3", "death.mp3",      "bonus.mp3",
    "ceresna.mp3",     "bombeaten.mp3",   "srdce.mp3",      "poison.mp3",     "faster.mp3",
    "slower.mp3",      "digger.mp3",      "xonix.mp3",      "menuclick.mp3",  "key.mp3",
    "on.mp3",          "off.mp3",         "crowd.mp3",      "bomb.mp3",       "s_welcome.mp3",
    "s_3.mp3",         "s_2.mp3",         "s_1.mp3",        "s_fight.mp3",    "s_winner.mp3",
    "s_neplayers.mp3", "s_neteams.mp3"};

class DatagenAudioData : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::is_directory(Stage() / "snd") || !fs::is_directory(Stage() / "music"))
      GTEST_SKIP() << "no generated data in " << Stage() << " (build with TANDRIX_DATA=ON)";
  }
};

TEST_F(DatagenAudioData, SoundTableListsEverySoundTheGamePlays) {
  std::vector<Entry> table = ReadTable(Stage() / "dat" / "sounds.dat", 2);
  ASSERT_FALSE(table.empty());
  EXPECT_LE(table.size(), 4096u);
  std::set<std::string> listed;
  for (const Entry& e : table) {
    EXPECT_GE(e.slot, 0) << e.file;
    EXPECT_LE(e.slot, 127) << e.file;
    EXPECT_TRUE(listed.insert(e.file).second) << e.file << " listed twice";
    EXPECT_TRUE(fs::is_regular_file(Stage() / "snd" / e.file))
        << e.file << " listed but not generated";
  }
  for (const std::string& name : kGameSounds)
    EXPECT_TRUE(listed.count(name)) << name << " missing from sounds.dat";
  for (const std::string& name : NamesInSource("mp3"))
    EXPECT_TRUE(listed.count(name)) << name << " is played by the game but missing from sounds.dat";
  for (const std::string& file : FilesIn(Stage() / "snd"))
    EXPECT_TRUE(listed.count(file)) << file << " is in the sound archive but in no table entry";
}

TEST_F(DatagenAudioData, MusicTableListsEveryModuleTheGameAsksFor) {
  std::vector<Entry> table = ReadTable(Stage() / "dat" / "music.dat", 5);
  std::set<std::string> listed;
  std::set<int> slots;
  int xm = 0, mod = 0;
  for (const Entry& e : table) {
    EXPECT_GE(e.slot, 0) << e.file;
    EXPECT_LE(e.slot, 31) << e.file;
    EXPECT_TRUE(slots.insert(e.slot).second) << e.file << ": slot " << e.slot << " shared";
    EXPECT_TRUE(listed.insert(e.file).second) << e.file << " listed twice";
    EXPECT_TRUE(fs::is_regular_file(Stage() / "music" / e.file))
        << e.file << " listed but not generated";
    ASSERT_EQ(e.numbers.size(), 3u);
    EXPECT_GE(e.numbers[0], 1) << e.file << ": fade-in";
    EXPECT_GE(e.numbers[1], 1) << e.file << ": fade-out";
    EXPECT_GE(e.numbers[2], 45) << e.file << ": play time";
    xm += e.file.ends_with(".xm");
    mod += e.file.ends_with(".mod");
  }
  // The play list (13 XM, 5 MOD) plus the menu and winner modules.
  EXPECT_EQ(table.size(), 20u);
  EXPECT_EQ(xm, 15);
  EXPECT_EQ(mod, 5);
  for (const std::string& name : NamesInSource("xm|mod"))
    EXPECT_TRUE(listed.count(name))
        << name << " is asked for by the game but missing from music.dat";
  for (const std::string& file : FilesIn(Stage() / "music"))
    EXPECT_TRUE(listed.count(file)) << file << " is in the music archive but in no table entry";
}

// The game's decoder, opened on SDL's dummy output for the length of a test.
class DatagenAudioDecode : public DatagenAudioData {
 protected:
  void SetUp() override {
    DatagenAudioData::SetUp();
    if (IsSkipped()) return;
    const char* old = std::getenv("SDL_AUDIODRIVER");
    hadDriver_ = old != nullptr;
    saved_ = old ? old : "";
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_AUDIO), 0) << SDL_GetError();
    ASSERT_EQ(Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 1024), 0) << Mix_GetError();
    opened_ = true;
  }
  void TearDown() override {
    if (opened_) {
      Mix_CloseAudio();
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    if (hadDriver_)
      setenv("SDL_AUDIODRIVER", saved_.c_str(), 1);
    else
      unsetenv("SDL_AUDIODRIVER");
  }

 private:
  bool opened_ = false, hadDriver_ = false;
  std::string saved_;
};

struct Decoded {
  std::vector<float> left, right;  // -1..1
  double Seconds() const { return left.size() / 44100.0; }
  double Peak() const {
    double p = 0;
    for (size_t i = 0; i < left.size(); ++i)
      p = std::max({p, double(std::fabs(left[i])), double(std::fabs(right[i]))});
    return p;
  }
  double Rms() const {
    double s = 0;
    for (size_t i = 0; i < left.size(); ++i)
      s += double(left[i]) * left[i] + double(right[i]) * right[i];
    return left.empty() ? 0 : std::sqrt(s / (2.0 * left.size()));
  }
  // Seconds until the sound first reaches -30 dBFS.
  double Onset() const {
    for (size_t i = 0; i < left.size(); ++i)
      if (std::fabs(left[i]) > 0.0316 || std::fabs(right[i]) > 0.0316) return i / 44100.0;
    return Seconds();
  }
  // The share of the energy below about 150 Hz.
  double LowShare() const {
    const double a = std::exp(-2.0 * M_PI * 150.0 / 44100.0);
    double y = 0, low = 0, all = 0;
    for (size_t i = 0; i < left.size(); ++i) {
      double x = 0.5 * (left[i] + right[i]);
      y = x + a * (y - x);
      low += y * y;
      all += x * x;
    }
    return all > 0 ? low / all : 0;
  }
};

double Db(double level) { return 20.0 * std::log10(std::max(level, 1e-9)); }

TEST_F(DatagenAudioDecode, EverySoundDecodesAndIsHeardWithoutClipping) {
  std::map<std::string, Decoded> sounds;
  std::printf("%-18s %8s %9s %9s %8s\n", "sound", "seconds", "peak dB", "rms dB", "onset");
  for (const std::string& file : FilesIn(Stage() / "snd")) {
    std::vector<uint8_t> mp3 = ReadAll(Stage() / "snd" / file);
    // The first frame: MPEG-1 layer III at 44.1 kHz (no ID3 tag in front).
    ASSERT_GE(mp3.size(), 4u) << file;
    EXPECT_EQ(mp3[0], 0xFF) << file;
    EXPECT_EQ(mp3[1] & 0xFE, 0xFA) << file << ": not MPEG-1 layer III";
    EXPECT_EQ((mp3[2] >> 2) & 3, 0) << file << ": not 44.1 kHz";

    Mix_Chunk* chunk =
        Mix_LoadWAV_RW(SDL_RWFromConstMem(mp3.data(), static_cast<int>(mp3.size())), 1);
    ASSERT_NE(chunk, nullptr) << file << ": " << Mix_GetError();
    Decoded d;
    const auto* s16 = reinterpret_cast<const int16_t*>(chunk->abuf);
    for (size_t i = 0; i + 1 < chunk->alen / 2; i += 2) {
      d.left.push_back(s16[i] / 32768.0f);
      d.right.push_back(s16[i + 1] / 32768.0f);
    }
    Mix_FreeChunk(chunk);
    std::printf("%-18s %8.3f %9.1f %9.1f %8.3f\n", file.c_str(), d.Seconds(), Db(d.Peak()),
                Db(d.Rms()), d.Onset());
    EXPECT_GT(d.Rms(), 0.02) << file << " is (nearly) silent";
    EXPECT_LT(d.Peak(), 0.999) << file << " clips";
    EXPECT_GT(d.Seconds(), 0.04) << file;
    EXPECT_LT(d.Seconds(), 6.0) << file << " is too long for an effect";
    sounds[file] = std::move(d);
  }
  ASSERT_EQ(sounds.count("menuclick.mp3"), 1u);
  // A menu click is short and crisp; the countdown is spoken on the beat.
  EXPECT_LT(sounds["menuclick.mp3"].Seconds(), 0.15);
  EXPECT_LT(sounds["menuclick.mp3"].Onset(), 0.005);
  for (const char* word : {"s_3.mp3", "s_2.mp3", "s_1.mp3", "s_fight.mp3"})
    EXPECT_LT(sounds[word].Onset(), 0.06) << word << " starts late";
  // The atomic bomb rumbles: long, with most of its energy low down; a death is no beep.
  EXPECT_GT(sounds["atomovka.mp3"].Seconds(), 2.5);
  EXPECT_GT(sounds["atomovka.mp3"].LowShare(), 0.5);
  EXPECT_GT(sounds["death.mp3"].LowShare(), 0.15);
  EXPECT_GT(sounds["crowd.mp3"].Seconds(), 2.0);
}

TEST_F(DatagenAudioDecode, EveryModuleLoadsInTheGamesPlayer) {
  for (const std::string& file : FilesIn(Stage() / "music")) {
    std::vector<uint8_t> bytes = ReadAll(Stage() / "music" / file);
    Mix_Music* music =
        Mix_LoadMUS_RW(SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size())), 1);
    ASSERT_NE(music, nullptr) << file << ": " << Mix_GetError();
    EXPECT_EQ(Mix_GetMusicType(music), MUS_MOD) << file;
    EXPECT_STRNE(Mix_GetMusicTitle(music), "") << file << " has no title";
    Mix_FreeMusic(music);
  }
}

}  // namespace
