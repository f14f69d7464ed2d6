// The music generator's XM and MOD writer: header fields at their offsets, pattern
// packing, sample encoding, the limits it must refuse, and a cross-check with the game's
// own module player (SDL2_mixer), which must load what we write and read its title.
#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "../tools/datagen/music/module_writer.h"

namespace {

using namespace tdx::datagen::tracker;
using Bytes = std::vector<uint8_t>;

unsigned Le16(const Bytes& b, size_t at) { return b.at(at) | (b.at(at + 1) << 8); }
uint32_t Le32(const Bytes& b, size_t at) { return Le16(b, at) | (uint32_t(Le16(b, at + 2)) << 16); }
unsigned Be16(const Bytes& b, size_t at) { return (b.at(at) << 8) | b.at(at + 1); }
std::string Text(const Bytes& b, size_t at, size_t n) {
  return std::string(b.begin() + at, b.begin() + at + n);
}

XmSample Sample16(std::vector<int16_t> data) {
  XmSample s;
  s.name = "wave";
  s.data = std::move(data);
  return s;
}

// Two channels, two patterns, one instrument with one sample: small enough to check by hand.
XmModule SmallXm() {
  XmModule m;
  m.name = "Test Song";
  m.channels = 2;
  m.speed = 5;
  m.bpm = 140;
  m.order = {1, 0, 1};
  m.patterns = {XmPattern(4, 2), XmPattern(2, 2)};
  XmCell& c = m.patterns[0].At(0, 1, 2);
  c.note = 49;
  c.instrument = 1;
  c.volume = 0x50;
  XmInstrument ins;
  ins.name = "lead";
  ins.samples.push_back(Sample16({0, 100, -100, 32767, -32768}));
  ins.samples[0].loop = Loop::kForward;
  ins.samples[0].loopStart = 1;
  ins.samples[0].loopLength = 3;
  ins.samples[0].relativeNote = -5;
  ins.samples[0].finetune = -28;
  ins.volume.points = {{0, 0}, {10, 64}, {40, 32}};
  ins.volume.sustain = 1;
  ins.fadeout = 1234;
  m.instruments.push_back(ins);
  return m;
}

TEST(DatagenAudioXmWriter, HeaderFieldsSitWhereFastTrackerReadsThem) {
  Bytes b = WriteXm(SmallXm());
  EXPECT_EQ(Text(b, 0, 17), "Extended Module: ");
  EXPECT_EQ(Text(b, 17, 20), "Test Song           ");  // space padded, as FastTracker 2 writes it
  EXPECT_EQ(b[37], 0x1A);
  EXPECT_EQ(Le16(b, 58), 0x0104u);
  EXPECT_EQ(Le32(b, 60), 276u);
  EXPECT_EQ(Le16(b, 64), 3u);  // song length
  EXPECT_EQ(Le16(b, 66), 0u);  // restart
  EXPECT_EQ(Le16(b, 68), 2u);  // channels
  EXPECT_EQ(Le16(b, 70), 2u);  // patterns
  EXPECT_EQ(Le16(b, 72), 1u);  // instruments
  EXPECT_EQ(Le16(b, 74), 1u);  // linear frequency table
  EXPECT_EQ(Le16(b, 76), 5u);  // speed
  EXPECT_EQ(Le16(b, 78), 140u);
  EXPECT_EQ(b[80], 1);
  EXPECT_EQ(b[81], 0);
  EXPECT_EQ(b[82], 1);
  EXPECT_EQ(b[83], 0);  // unused order entries are zero
}

TEST(DatagenAudioXmWriter, PatternsAndInstrumentFollowTheHeader) {
  Bytes b = WriteXm(SmallXm());
  size_t at = 60 + 276;
  // Pattern 0: 4 rows x 2 channels; only one cell holds anything.
  EXPECT_EQ(Le32(b, at), 9u);
  EXPECT_EQ(b[at + 4], 0);
  EXPECT_EQ(Le16(b, at + 5), 4u);
  ASSERT_EQ(Le16(b, at + 7), 11u);  // 7 empty cells + (flag, note, instrument, volume)
  EXPECT_EQ(Bytes(b.begin() + at + 9, b.begin() + at + 20),
            (Bytes{0x80, 0x87, 49, 1, 0x50, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80}));
  at += 9 + 11;
  EXPECT_EQ(Le16(b, at + 5), 2u);
  EXPECT_EQ(Le16(b, at + 7), 4u);
  at += 9 + 4;

  // Instrument header.
  EXPECT_EQ(Le32(b, at), 263u);
  EXPECT_EQ(Text(b, at + 4, 4), "lead");
  EXPECT_EQ(Le16(b, at + 27), 1u);   // samples
  EXPECT_EQ(Le32(b, at + 29), 40u);  // sample header size
  size_t env = at + 129;
  EXPECT_EQ(Le16(b, env + 4), 10u);  // second point: tick 10, value 64
  EXPECT_EQ(Le16(b, env + 6), 64u);
  EXPECT_EQ(b[at + 225], 3);  // volume points
  EXPECT_EQ(b[at + 226], 0);  // panning points
  EXPECT_EQ(b[at + 227], 1);  // sustain point
  EXPECT_EQ(b[at + 233], 3);  // volume envelope on, with sustain
  EXPECT_EQ(b[at + 234], 0);  // panning envelope off
  EXPECT_EQ(Le16(b, at + 239), 1234u);
  at += 263;

  // Sample header: lengths in bytes for 16-bit data.
  EXPECT_EQ(Le32(b, at), 10u);
  EXPECT_EQ(Le32(b, at + 4), 2u);
  EXPECT_EQ(Le32(b, at + 8), 6u);
  EXPECT_EQ(b[at + 12], 64);
  EXPECT_EQ(static_cast<int8_t>(b[at + 13]), -28);
  EXPECT_EQ(b[at + 14], 0x11);  // forward loop, 16-bit
  EXPECT_EQ(static_cast<int8_t>(b[at + 16]), -5);
  EXPECT_EQ(Text(b, at + 18, 4), "wave");
  at += 40;

  // Sample data: differences from the previous value, wrapping round in 16 bits.
  ASSERT_EQ(b.size(), at + 10);
  std::vector<int16_t> deltas;
  for (size_t i = 0; i < 5; ++i) deltas.push_back(static_cast<int16_t>(Le16(b, at + 2 * i)));
  EXPECT_EQ(deltas, (std::vector<int16_t>{0, 100, -200, -32669, 1}));
}

TEST(DatagenAudioXmWriter, PacksEachCellByTheFieldsItHolds) {
  struct Case {
    const char* what;
    XmCell cell;
    Bytes packed;
  };
  const std::vector<Case> cases = {
      {"empty", {}, {0x80}},
      {"key off", {kXmKeyOff, 0, 0, 0, 0}, {0x81, 97}},
      {"instrument and volume", {0, 3, 0x20, 0, 0}, {0x86, 3, 0x20}},
      {"arpeggio: effect 0 with a parameter", {0, 0, 0, 0, 0x37}, {0x90, 0x37}},
      {"effect without parameter", {0, 0, 0, 0x0C, 0}, {0x88, 0x0C}},
      {"all five: stored as is", {49, 1, 0x40, 0x0F, 0x7D}, {49, 1, 0x40, 0x0F, 0x7D}},
  };
  for (const Case& c : cases) {
    XmPattern p(1, 1);
    p.cells[0] = c.cell;
    EXPECT_EQ(PackXmPattern(p), c.packed) << c.what;
  }
}

TEST(DatagenAudioXmWriter, EightBitSamplesWrapTheirDeltasInEightBits) {
  XmModule m = SmallXm();
  XmSample& s = m.instruments[0].samples[0];
  s.sixteenBit = false;
  s.loop = Loop::kNone;
  s.data = {0, 127, -128, 5};
  Bytes b = WriteXm(m);
  ASSERT_GE(b.size(), 4u);
  EXPECT_EQ(Bytes(b.end() - 4, b.end()), (Bytes{0x00, 0x7F, 0x01, 0x85}));
  size_t header = b.size() - 4 - 40;
  EXPECT_EQ(Le32(b, header), 4u);      // length in bytes
  EXPECT_EQ(Le32(b, header + 8), 0u);  // no loop: loop fields zero
  EXPECT_EQ(b[header + 14], 0x00);
}

TEST(DatagenAudioXmWriter, RefusesWhatPlayersWouldMisread) {
  struct Case {
    const char* what;
    std::function<void(XmModule&)> spoil;
  };
  const std::vector<Case> cases = {
      {"one channel", [](XmModule& m) { m.channels = 1; }},
      {"33 channels", [](XmModule& m) { m.channels = 33; }},
      {"order names a missing pattern", [](XmModule& m) { m.order.push_back(2); }},
      {"empty order list", [](XmModule& m) { m.order.clear(); }},
      {"restart outside the order list", [](XmModule& m) { m.restart = 3; }},
      {"pattern of 257 rows", [](XmModule& m) { m.patterns[1] = XmPattern(257, 2); }},
      {"cells do not match rows x channels", [](XmModule& m) { m.patterns[1].cells.pop_back(); }},
      {"note above key off", [](XmModule& m) { m.patterns[0].cells[0].note = 98; }},
      {"instrument that does not exist",
       [](XmModule& m) { m.patterns[0].cells[0].instrument = 2; }},
      {"instrument without samples", [](XmModule& m) { m.instruments[0].samples.clear(); }},
      {"loop past the end", [](XmModule& m) { m.instruments[0].samples[0].loopLength = 5; }},
      {"8-bit value out of range",
       [](XmModule& m) {
         m.instruments[0].samples[0].sixteenBit = false;
         m.instruments[0].samples[0].loop = Loop::kNone;
       }},
      {"thirteen envelope points",
       [](XmModule& m) {
         auto& e = m.instruments[0].volume;
         e.points.clear();
         for (uint16_t i = 0; i < 13; ++i) e.points.push_back({i, 10});
       }},
      {"envelope ticks not rising",
       [](XmModule& m) { m.instruments[0].volume.points[2].first = 10; }},
      {"sustain past the last point", [](XmModule& m) { m.instruments[0].volume.sustain = 3; }},
      {"title of 21 characters", [](XmModule& m) { m.name = std::string(21, 'x'); }},
      {"speed 0", [](XmModule& m) { m.speed = 0; }},
  };
  for (const Case& c : cases) {
    XmModule m = SmallXm();
    c.spoil(m);
    EXPECT_THROW(WriteXm(m), std::invalid_argument) << c.what;
  }
}

ModModule SmallMod() {
  ModModule m;
  m.title = "Chip";
  ModSample loop;
  loop.name = "square";
  loop.data = {0, 0, 100, 100, -100, -100};
  loop.loopStart = 2;
  loop.loopLength = 4;
  loop.finetune = -3;
  loop.volume = 40;
  ModSample shot;
  shot.name = "kick";
  shot.data = {0, 0, 1, 2};
  m.samples = {loop, shot};
  m.order = {0, 1, 0};
  m.patterns.resize(2);
  ModCell& c = m.patterns[1].At(63, 3);
  c.sample = 18;  // high nibble goes with the period, low nibble with the effect
  c.period = ModPeriod(0);
  c.effect = 0xC;
  c.param = 0x20;
  m.samples.resize(18, shot);
  return m;
}

TEST(DatagenAudioModWriter, ProTrackerLayout) {
  Bytes b = WriteMod(SmallMod());
  EXPECT_EQ(Text(b, 0, 4), "Chip");
  EXPECT_EQ(b[4], 0);
  // Sample 1: big-endian length in words, signed finetune nibble, loop in words.
  EXPECT_EQ(Text(b, 20, 6), "square");
  EXPECT_EQ(Be16(b, 42), 3u);
  EXPECT_EQ(b[44], 0x0D);
  EXPECT_EQ(b[45], 40);
  EXPECT_EQ(Be16(b, 46), 1u);
  EXPECT_EQ(Be16(b, 48), 2u);
  // Sample 2, a one-shot: repeat length of one word means no loop.
  EXPECT_EQ(Be16(b, 50 + 22), 2u);
  EXPECT_EQ(Be16(b, 50 + 26), 0u);
  EXPECT_EQ(Be16(b, 50 + 28), 1u);
  // Unused sample slots are empty.
  EXPECT_EQ(Be16(b, 20 + 30 * 30 + 22), 0u);
  EXPECT_EQ(b[950], 3);    // song length
  EXPECT_EQ(b[951], 127);  // restart byte
  EXPECT_EQ(b[952], 0);
  EXPECT_EQ(b[953], 1);
  EXPECT_EQ(b[954], 0);
  EXPECT_EQ(Text(b, 1080, 4), "M.K.");
  // Two patterns of 64 rows x 4 channels x 4 bytes, then the sample data.
  const size_t patterns = 1084, samples = patterns + 2 * 1024;
  ASSERT_EQ(b.size(), samples + 6 + 17 * 4);
  size_t cell = patterns + 1024 + (63 * 4 + 3) * 4;
  EXPECT_EQ(b[cell], 0x10 | (856 >> 8));
  EXPECT_EQ(b[cell + 1], 856 & 0xFF);
  EXPECT_EQ(b[cell + 2], 0x2C);
  EXPECT_EQ(b[cell + 3], 0x20);
  EXPECT_EQ(static_cast<int8_t>(b[samples + 2]), 100);
  EXPECT_EQ(static_cast<int8_t>(b[samples + 4]), -100);
}

TEST(DatagenAudioModWriter, PeriodsOfTheThreeOctaves) {
  EXPECT_EQ(ModPeriod(0), 856);
  EXPECT_EQ(ModPeriod(9), 508);
  EXPECT_EQ(ModPeriod(12), 428);  // C-2
  EXPECT_EQ(ModPeriod(24), 214);  // C-3
  EXPECT_EQ(ModPeriod(35), 113);  // B-3
  EXPECT_THROW(ModPeriod(-1), std::invalid_argument);
  EXPECT_THROW(ModPeriod(36), std::invalid_argument);
}

TEST(DatagenAudioModWriter, RefusesWhatPlayersWouldMisread) {
  struct Case {
    const char* what;
    std::function<void(ModModule&)> spoil;
  };
  const std::vector<Case> cases = {
      {"odd sample length", [](ModModule& m) { m.samples[1].data.push_back(0); }},
      {"sample over 128 KiB", [](ModModule& m) { m.samples[1].data.resize(131072); }},
      {"odd loop start", [](ModModule& m) { m.samples[0].loopStart = 1; }},
      {"loop past the end", [](ModModule& m) { m.samples[0].loopLength = 6; }},
      {"finetune 8", [](ModModule& m) { m.samples[0].finetune = 8; }},
      {"32 samples", [](ModModule& m) { m.samples.resize(32); }},
      {"pattern never played (would be lost)", [](ModModule& m) { m.order = {0}; }},
      {"order names a missing pattern", [](ModModule& m) { m.order.push_back(2); }},
      {"129 orders", [](ModModule& m) { m.order.assign(129, 0); }},
      {"cell names a missing sample", [](ModModule& m) { m.patterns[0].At(0, 0).sample = 19; }},
      {"effect above F", [](ModModule& m) { m.patterns[0].At(0, 0).effect = 16; }},
  };
  for (const Case& c : cases) {
    ModModule m = SmallMod();
    c.spoil(m);
    EXPECT_THROW(WriteMod(m), std::invalid_argument) << c.what;
  }
}

// The game plays modules through SDL2_mixer; what we write must load there, with our title.
class DatagenAudioModulePlayer : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("SDL_AUDIODRIVER");
    saved_ = old ? old : "";
    hadDriver_ = old != nullptr;
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_AUDIO), 0) << SDL_GetError();
    ASSERT_EQ(Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 1024), 0) << Mix_GetError();
  }
  void TearDown() override {
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    if (hadDriver_)
      setenv("SDL_AUDIODRIVER", saved_.c_str(), 1);
    else
      unsetenv("SDL_AUDIODRIVER");
  }
  static std::string LoadTitle(const Bytes& file) {
    Mix_Music* music =
        Mix_LoadMUS_RW(SDL_RWFromConstMem(file.data(), static_cast<int>(file.size())), 1);
    if (!music) return std::string("load failed: ") + Mix_GetError();
    std::string title = Mix_GetMusicTitle(music);
    Mix_MusicType type = Mix_GetMusicType(music);
    Mix_FreeMusic(music);
    return type == MUS_MOD ? title : "not a module";
  }

 private:
  std::string saved_;
  bool hadDriver_ = false;
};

TEST_F(DatagenAudioModulePlayer, LoadsWhatWeWrite) {
  XmModule xm = SmallXm();
  xm.name = "Player Check XM";
  EXPECT_EQ(LoadTitle(WriteXm(xm)), "Player Check XM");
  ModModule mod = SmallMod();
  mod.title = "Player Check MOD";
  EXPECT_EQ(LoadTitle(WriteMod(mod)), "Player Check MOD");
}

}  // namespace
