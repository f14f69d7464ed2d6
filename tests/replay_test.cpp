// Recorded matches: the file format and its damage, and a match played by scripted people
// and computer players that replays to the same round digests.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/frame_clock.h"
#include "app/game.h"
#include "app/match_tape.h"
#include "app/replay.h"
#include "app/round_cycle.h"
#include "audio/fake_mixer.h"
#include "audio/sound.h"
#include "match/arena/worm.h"

namespace fs = std::filesystem;
using namespace tdx;

namespace {

// ---------------------------------------------------------------- the file

Replay SampleReplay() {
  Replay r;
  r.version = TANDRIX_VERSION;
  r.seed = 0xFEEDFACECAFEBEEFull;
  r.start = 2;
  std::memset(&r.setup, 7, sizeof r.setup);
  // A fixed clock, then a real one, then the fixed one again with another step.
  double t = 0;
  for (int i = 0; i < 50; ++i) {
    ReplayFrame f;
    t += 0.02;
    f.now = f.end = t;
    if (i == 3) f.keys = {{37, 1}, {38, 1}};
    if (i == 4) f.keys = {{37, 0}};
    if (i == 5) f.mouse = {{MouseEvent::Move, 639, -3}, {MouseEvent::Click, 12, 470}};
    if (i == 6) {
      f.setupChanged = true;
      std::memset(&f.setup, 9, sizeof f.setup);
    }
    if (i == 7) f.setupMissing = true;
    if (i == 8) f.scored = {{1, -1, 0x1234567890ABCDEFull, 0}, {2, 11, 42, 0}};
    if (i >= 20 && i < 30) {
      f.now = t + 0.001 * i;
      f.end = f.now + 0.0005;
    }
    if (i >= 30 && i < 40) {
      t += 1.0 / 3.0;
      f.now = f.end = t;
    }
    if (i >= 40) {  // the real clock's whole microseconds
      t = (5000000.0 + static_cast<double>(i) * 16667 + 3) / 1e6;
      f.now = t;
      f.end = (5000000.0 + static_cast<double>(i) * 16667 + 250) / 1e6;
    }
    r.frames.push_back(f);
  }
  return r;
}

// Where the frame count lies in an encoded recording of SampleReplay's version.
size_t FramesAt() { return 8 + 4 + 2 + std::string(TANDRIX_VERSION).size() + 8 + 1 + 164; }

// The checksum made right again after a change.
std::vector<uint8_t> WithCrc(std::vector<uint8_t> b) {
  auto crc = static_cast<uint32_t>(crc32(0, b.data(), static_cast<uInt>(b.size() - 4)));
  std::memcpy(&b[b.size() - 4], &crc, 4);
  return b;
}

// The sample with its fourth frame's clock readings crafted (a valid file otherwise).
std::vector<uint8_t> WithClock(double now, double end) {
  Replay r = SampleReplay();
  r.frames[3].now = now;
  r.frames[3].end = end;
  return EncodeReplay(r);
}

TEST(ReplayFile, EveryKindOfFrameComesBackExactly) {
  Replay in = SampleReplay();
  Replay out;
  std::string error;
  ASSERT_TRUE(DecodeReplay(EncodeReplay(in), out, error)) << error;
  EXPECT_EQ(out.version, in.version);
  EXPECT_EQ(out.seed, in.seed);
  EXPECT_EQ(out.start, in.start);
  EXPECT_EQ(std::memcmp(&out.setup, &in.setup, sizeof in.setup), 0);
  ASSERT_EQ(out.frames.size(), in.frames.size());
  for (size_t i = 0; i < in.frames.size(); ++i) {
    const ReplayFrame& a = in.frames[i];
    const ReplayFrame& b = out.frames[i];
    SCOPED_TRACE("frame " + std::to_string(i));
    EXPECT_EQ(a.now, b.now);  // bit for bit: the replayed clock must be the recorded one
    EXPECT_EQ(a.end, b.end);
    EXPECT_EQ(a.keys, b.keys);
    ASSERT_EQ(a.mouse.size(), b.mouse.size());
    for (size_t m = 0; m < a.mouse.size(); ++m) {
      EXPECT_EQ(a.mouse[m].kind, b.mouse[m].kind);
      EXPECT_EQ(a.mouse[m].x, b.mouse[m].x);
      EXPECT_EQ(a.mouse[m].y, b.mouse[m].y);
    }
    EXPECT_EQ(a.setupChanged, b.setupChanged);
    if (a.setupChanged) {
      EXPECT_EQ(std::memcmp(&a.setup, &b.setup, sizeof a.setup), 0);
    }
    EXPECT_EQ(a.setupMissing, b.setupMissing);
    ASSERT_EQ(a.scored.size(), b.scored.size());
    for (size_t s = 0; s < a.scored.size(); ++s) {
      EXPECT_EQ(a.scored[s].round, b.scored[s].round);
      EXPECT_EQ(a.scored[s].winner, b.scored[s].winner);
      EXPECT_EQ(a.scored[s].digest, b.scored[s].digest);
    }
  }
}

TEST(ReplayFile, DamagedOrForeignFilesAreRefusedWithTheReason) {
  const std::vector<uint8_t> good = EncodeReplay(SampleReplay());
  auto refused = [](const std::vector<uint8_t>& bytes, std::string& error) {
    Replay r;
    return !DecodeReplay(bytes, r, error);
  };
  std::string error;
  // Every cut, every single bit flipped: refused, never a crash or a half-read recording.
  for (size_t n = 0; n < good.size(); ++n) {
    std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
    EXPECT_TRUE(refused(cut, error)) << "cut to " << n << " bytes";
  }
  for (size_t i = 0; i < good.size(); ++i) {
    std::vector<uint8_t> flipped = good;
    flipped[i] ^= static_cast<uint8_t>(1u << (i % 8));
    EXPECT_TRUE(refused(flipped, error)) << "byte " << i;
  }

  struct Case {
    const char* name;
    std::function<std::vector<uint8_t>()> make;
    const char* says;
  } cases[] = {
      {"empty", [] { return std::vector<uint8_t>{}; }, "not a Tandrix recording"},
      {"another file", [] { return std::vector<uint8_t>(200, 'x'); }, "not a Tandrix recording"},
      {"cut short", [&] { return std::vector<uint8_t>(good.begin(), good.begin() + 60); },
       "truncated"},
      {"stray bytes",
       [&] {
         auto b = good;
         b.push_back(0);
         return b;
       },
       "damaged"},
      {"another format",
       [&] {
         auto b = good;
         b[8] = 99;
         return b;
       },
       "incompatible build"},
      {"another game version",
       [] {
         Replay r = SampleReplay();
         r.version = "0.1-old";
         return EncodeReplay(r);
       },
       "recorded by tandrix 0.1-old, an incompatible build"},
      {"a version name with a NUL in it",
       [] {
         Replay r = SampleReplay();
         r.version = std::string("1.0\0rm", 6);
         return EncodeReplay(r);
       },
       "control characters"},
      {"no frames",
       [] {
         Replay r = SampleReplay();
         r.frames.clear();
         return EncodeReplay(r);
       },
       "holds no frames"},
      {"a clock that is not a number", [] { return WithClock(std::nan(""), 1); },
       "frame 3 has an impossible clock reading"},
      {"a clock that runs backwards", [] { return WithClock(0.01, 0.01); },
       "impossible clock reading"},
      {"a frame of thirty years", [] { return WithClock(1e9, 1e9); }, "impossible clock reading"},
      {"eight million frames claimed by a small file",
       [&] {
         auto b = good;
         const uint32_t frames = 8400000;
         std::memcpy(&b[FramesAt()], &frames, 4);
         return WithCrc(b);
       },
       "impossible header values"},
      {"bytes after the packed frames, inside the packed size",
       [&] {
         auto b = good;
         b.resize(b.size() - 4);
         b.insert(b.end(), {1, 2, 3});
         uint32_t packed = 0;
         std::memcpy(&packed, &b[FramesAt() + 8], 4);
         packed += 3;
         std::memcpy(&b[FramesAt() + 8], &packed, 4);
         b.insert(b.end(), {0, 0, 0, 0});
         return WithCrc(b);
       },
       "bytes after the packed frames"},
  };
  for (const Case& c : cases) {
    error.clear();
    EXPECT_TRUE(refused(c.make(), error)) << c.name;
    EXPECT_NE(error.find(c.says), std::string::npos) << c.name << ": " << error;
  }
}

TEST(ReplayFile, LoadingNamesTheFileAndSavingNeverLeavesHalfAFile) {
  fs::path dir = fs::temp_directory_path() / ("tdx_replay_file_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::string error;
  Replay r;
  std::string missing = (dir / "missing.tdxr").string();
  EXPECT_FALSE(LoadReplay(missing, r, error));
  EXPECT_EQ(error.rfind(missing + ": cannot open", 0), 0u) << error;

  std::string path = (dir / "good.tdxr").string();
  ASSERT_TRUE(SaveReplay(path, SampleReplay(), error)) << error;
  ASSERT_TRUE(LoadReplay(path, r, error)) << error;
  EXPECT_EQ(r.frames.size(), 50u);
  EXPECT_FALSE(fs::exists(path + ".part"));

  // A folder that cannot be written: the error names the file, the old one stays whole.
  std::string blocked = (dir / "no" / "such" / "folder.tdxr").string();
  EXPECT_FALSE(SaveReplay(blocked, SampleReplay(), error));
  EXPECT_NE(error.find(blocked), std::string::npos) << error;
  fs::remove_all(dir);
}

TEST(ReplayFolder, KeepsTheNewestTwentyMatches) {
  fs::path dir = fs::temp_directory_path() / ("tdx_replay_keep_" + std::to_string(::getpid()));
  fs::create_directories(dir / kReplayFolder);
  for (int i = 0; i < 25; ++i) {
    std::string path = NewReplayPath(dir.string());
    ASSERT_FALSE(fs::exists(path)) << path;
    std::ofstream(path) << i;
    PruneReplays(dir.string());
  }
  std::ofstream(dir / kReplayFolder / "notes.txt") << "a player's own file";
  PruneReplays(dir.string());
  std::vector<std::string> kept;
  for (const auto& e : fs::directory_iterator(dir / kReplayFolder)) {
    kept.push_back(e.path().filename().string());
  }
  std::sort(kept.begin(), kept.end());
  ASSERT_EQ(kept.size(), 21u);  // twenty matches and the player's file
  std::string contents;
  std::ifstream(dir / kReplayFolder / kept.front()) >> contents;
  EXPECT_EQ(contents, "5");  // the five oldest went
  EXPECT_EQ(kept.back(), "notes.txt");
  fs::remove_all(dir);
}

TEST(ReplayFolder, AKeptRecordingOutlivesPruningAndOnlyRecordingsAreKeptOrDeleted) {
  fs::path dir = fs::temp_directory_path() / ("tdx_replay_kept_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir / kReplayFolder);
  std::string first = NewReplayPath(dir.string());
  std::ofstream(first) << "first";
  std::string kept, error;
  ASSERT_TRUE(KeepReplay(first, kept, error)) << error;
  EXPECT_FALSE(fs::exists(first));
  EXPECT_EQ(fs::path(kept).filename().string().rfind("kept-match", 0), std::string::npos);
  EXPECT_EQ(fs::path(kept).filename().string().rfind("kept-", 0), 0u) << kept;
  std::string again;
  ASSERT_TRUE(KeepReplay(kept, again, error)) << error;  // kept already: nothing moves
  EXPECT_EQ(again, kept);
  // Twenty-five more matches: the twenty newest and the kept one stay.
  for (int i = 0; i < 25; ++i) {
    const std::string path = NewReplayPath(dir.string());
    ASSERT_FALSE(fs::exists(path)) << path;
    std::ofstream(path) << i;
    PruneReplays(dir.string());
  }
  size_t count = 0;
  for (const auto& e : fs::directory_iterator(dir / kReplayFolder)) {
    (void)e;
    ++count;
  }
  EXPECT_EQ(count, 21u);
  std::string contents;
  std::ifstream(kept) >> contents;
  EXPECT_EQ(contents, "first");

  std::ofstream(dir / kReplayFolder / "notes.txt") << "a player's own file";
  const struct {
    const char* what;
    std::string path;
    const char* says;
    bool keeping;  // also refused to keep (one not there would not be kept anyway)
  } refused[] = {
      {"a player's own file", (dir / kReplayFolder / "notes.txt").string(), "not a recording",
       true},
      {"a recording that is not there", (dir / kReplayFolder / "match-1-001.tdxr").string(),
       "not there", false},
  };
  for (const auto& c : refused) {
    if (c.keeping) {
      error.clear();
      EXPECT_FALSE(KeepReplay(c.path, again, error)) << c.what;
      EXPECT_NE(error.find(c.says), std::string::npos) << c.what << ": " << error;
    }
    error.clear();
    EXPECT_FALSE(DeleteReplay(c.path, error)) << c.what;
    EXPECT_NE(error.find(c.says), std::string::npos) << c.what << ": " << error;
  }
  EXPECT_TRUE(fs::exists(dir / kReplayFolder / "notes.txt"));
  ASSERT_TRUE(DeleteReplay(kept, error)) << error;
  EXPECT_FALSE(fs::exists(kept));
  fs::remove_all(dir);
}

TEST(ReplayFolder, LeftoversOfGamesThatStoppedAreCleanedAndRunningOnesKept) {
  fs::path dir = fs::temp_directory_path() / ("tdx_leftovers_" + std::to_string(::getpid()));
  fs::create_directories(dir / kReplayFolder);
  long dead = 4194000;
  while (dead > 2 && (::kill(static_cast<pid_t>(dead), 0) == 0 || errno == EPERM)) --dead;
  const std::string mine = std::to_string(::getpid()), gone = std::to_string(dead);
  const std::vector<std::pair<std::string, bool>> files = {
      {"tandrix.cfg", true},
      {"tandrix.cfg.tmp", false},  // as older builds named their temporary
      {"tandrix.cfg." + gone + ".tmp", false},
      {"tandrix.cfg." + mine + ".tmp", true},  // a game still saving
      {"notes.tmp", true},
      {"replays/match-20261210-101010-001.tdxr", true},
      {"replays/match-20261210-101010-002.tdxr.part", false},
      {"replays/match-20261210-101010-003.tdxr." + gone + "-1.part", false},
      {"replays/match-20261210-101010-004.tdxr." + mine + "-2.part", true},
  };
  for (const auto& [name, kept] : files) std::ofstream(dir / name) << "x";
  CleanLeftovers(dir.string(), dir.string());
  for (const auto& [name, kept] : files) EXPECT_EQ(fs::exists(dir / name), kept) << name;
  fs::remove_all(dir);
}

// ---------------------------------------------------------------- a whole match

// A game in its own folder, its match run frame by frame through a Session as the frame
// loop runs it.
struct ReplayMatch : ::testing::Test {
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("tdx_replay_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  // Two people (slots 0 and 3) and two computer players, random kinds and places, three
  // rounds at top speed, saved as tandrix.cfg.
  static SettingsBlock TwoPeopleTwoComputers() {
    SettingsBlock s{};
    for (int i = 0; i < 12; ++i) {
      PlayerSetup& p = s.players[i];
      p.controller = CtrlOff;
      p.kind = kKindRandomByte;
      p.team = static_cast<uint8_t>(i % 2 + 1);
      p.leftKey = static_cast<uint8_t>(65 + 3 * i);
      p.rightKey = static_cast<uint8_t>(66 + 3 * i);
      p.fireKey = static_cast<uint8_t>(67 + 3 * i);
    }
    s.players[0].controller = s.players[3].controller = CtrlHuman;
    s.players[5].controller = CtrlCpuIq0;
    s.players[9].controller = CtrlCpuIq10;
    s.game.speedMode = 1;
    s.game.constantSpeed = 9;
    s.game.scoreLimit = 0;  // 3 rounds
    s.game.startPosition = static_cast<uint8_t>(StartPositionRule::RandomPlaces);
    return s;
  }

  void NewGame(std::unique_ptr<Game>& g, uint64_t seed, bool musicPlaying) {
    g = std::make_unique<Game>();
    g->folders = GameFolderAt(dir.string());
    g->matchRng.Seed(seed);
    g->lookRng.Seed(seed ^ 0x5DEECE66Dull);
    CreateWorms(*g);
    if (musicPlaying) {
      // A sound device that reports its music playing: the music service draws no song
      // while the play-list runs, unlike the silent case.
      auto fake = std::make_unique<FakeMixer>(&g->Now);
      g->audio.MusicTable.push_back({0, "song.xm", 0, 0, 600});
      g->audio.MusicStreams[0] = {'s', 'o', 'n', 'g'};
      StartAudio(*g, std::move(fake));
      g->settings.game.music = 1;
      RequestMusic(*g, "song.xm");
    }
  }

  // People press keys by script: slot 0 circles left now and then, slot 3 right, and both
  // press fire every 40th frame (their abilities, and the waiting screen's "ready").
  static std::array<uint8_t, 256> ScriptedKeys(uint64_t frame) {
    std::array<uint8_t, 256> k{};
    if (frame % 90 < 25) k[65] = 1;
    if (frame % 70 < 15) k[3 * 3 + 66] = 1;
    if (frame % 40 < 2) k[67] = k[3 * 3 + 67] = 1;
    return k;
  }

  // Plays a live match with scripted keys, recorded to match.tdxr.
  void Record(uint64_t seed, bool musicPlaying, std::vector<ScoredRound>& scored) {
    std::unique_ptr<Game> g;
    NewGame(g, seed, musicPlaying);
    std::string error;
    EXPECT_TRUE(SaveSettings((dir / kSettingsFileName).string(), TwoPeopleTwoComputers(), error))
        << error;
    FrameClock clock;
    clock.SetFixedStep(1.0 / 50);
    clock.Enable();
    Session session(*g, clock, seed);
    session.RecordMatches("", Tape());
    EXPECT_TRUE(g->LoadSetup(error)) << error;
    std::vector<MouseEvent> mouse;
    std::array<uint8_t, 256> none{};
    session.Frame(mouse, &none);  // a menu frame, then the match from its start
    StartMatch(*g, 0);
    for (uint64_t f = 0; f < 30000 && g->phase != GamePhase::GameOver; ++f) {
      auto keys = ScriptedKeys(f);
      mouse.clear();
      session.Frame(mouse, &keys);
    }
    EXPECT_TRUE(session.Finish());
    EXPECT_EQ(session.RecordError(), "");
    EXPECT_EQ(g->phase, GamePhase::GameOver);
    scored = g->match.Scored;
  }

  // Plays match.tdxr back into a fresh game; returns the replay's error ("" if none).
  std::string Replayed(std::vector<ScoredRound>& scored) {
    TapeReader tape;
    TapeHeader header;
    std::string error;
    if (!tape.Open(Tape(), header, error)) return error;
    std::unique_ptr<Game> g;
    NewGame(g, 99, false);  // another seed: the recording brings the match's own
    FrameClock clock;
    ReplaySource source;
    source.tape = &tape;
    source.header = &header;
    Session session(*g, clock, header.seed, source);
    if (!session.StartTape(error)) return error;
    std::vector<MouseEvent> mouse;
    while (session.HasFrame()) {
      if (!session.Frame(mouse, nullptr)) break;
    }
    session.Finish();
    scored = g->match.Scored;
    return session.ReplayError();
  }

  std::string Tape() const { return (dir / "match.tdxr").string(); }

  // The recording's frames, changed by `change`, written back.
  void Rewrite(const std::function<void(TapeHeader&, std::vector<TapeFrame>&)>& change) {
    TapeReader in;
    TapeHeader header;
    std::string error;
    ASSERT_TRUE(in.Open(Tape(), header, error)) << error;
    std::vector<TapeFrame> frames;
    TapeFrame f;
    while (in.Next(f, error)) frames.push_back(f);
    ASSERT_EQ(error, "");
    change(header, frames);
    TapeWriter out;
    ASSERT_TRUE(out.Open(Tape(), header, error)) << error;
    for (const TapeFrame& frame : frames) out.Add(frame);
    ASSERT_TRUE(out.Finish(error)) << error;
  }

  fs::path dir;
};

TEST_F(ReplayMatch, PeopleAndComputersReplayToTheSameDigests) {
  std::vector<ScoredRound> live, again;
  Record(11, false, live);
  ASSERT_EQ(live.size(), 3u);
  EXPECT_EQ(Replayed(again), "");
  ASSERT_EQ(again.size(), live.size());
  for (size_t i = 0; i < live.size(); ++i) {
    EXPECT_EQ(ScoredRoundLine(again[i]), ScoredRoundLine(live[i]));
  }
  // The scripted people really played: their controls are in the recording, and the
  // match went past two waiting screens only because they pressed fire.
  bool pressed = false;
  Rewrite([&](TapeHeader&, std::vector<TapeFrame>& frames) {
    for (const TapeFrame& f : frames) pressed |= (f.controls[0] & 4) != 0;
  });
  EXPECT_TRUE(pressed);
  EXPECT_LT(fs::file_size(Tape()), 20000u) << "only the changes of the controls are kept";
}

TEST_F(ReplayMatch, TheSameSeedPlaysTheSameMatchWithOrWithoutMusic) {
  std::vector<ScoredRound> silent, withMusic;
  Record(23, false, silent);
  Record(23, true, withMusic);
  ASSERT_EQ(silent.size(), 3u);
  ASSERT_EQ(withMusic.size(), silent.size());
  for (size_t i = 0; i < silent.size(); ++i) {
    EXPECT_EQ(ScoredRoundLine(withMusic[i]), ScoredRoundLine(silent[i]));
  }
}

TEST_F(ReplayMatch, AReplayThatDiffersSaysAtWhichRoundAndFrame) {
  std::vector<ScoredRound> live, again;
  Record(5, false, live);
  ASSERT_EQ(live.size(), 3u);
  size_t round2 = 0;
  Rewrite([&](TapeHeader&, std::vector<TapeFrame>& frames) {
    for (size_t i = 0; i < frames.size(); ++i) {
      if (!frames[i].scored.empty() && frames[i].scored[0].round == 2) round2 = i;
    }
  });

  struct Case {
    const char* name;
    std::function<void(TapeHeader&, std::vector<TapeFrame>&)> damage;
    std::string says;
  } cases[] = {
      {"a digest of round 2",
       [](TapeHeader&, std::vector<TapeFrame>& frames) {
         for (auto& f : frames) {
           for (auto& s : f.scored) {
             if (s.round == 2) s.digest ^= 1;
           }
         }
       },
       "differs from the recording at round 2, frame " + std::to_string(round2)},
      {"another start rule read at the first round's start",
       [](TapeHeader&, std::vector<TapeFrame>& frames) {
         frames[0].setupChanged = true;
         frames[0].setup = TwoPeopleTwoComputers();
         frames[0].setup.game.startPosition = static_cast<uint8_t>(StartPositionRule::Race);
       },
       "differs from the recording at round 1, frame "},
      {"a person who never pressed fire again",
       [](TapeHeader&, std::vector<TapeFrame>& frames) {
         for (size_t i = 1; i < frames.size(); ++i) frames[i].controls = frames[0].controls;
       },
       "differs from the recording at round "},
      {"the recording goes on after the game stopped",
       [](TapeHeader&, std::vector<TapeFrame>& frames) {
         TapeFrame extra = frames.back();
         extra.scored.clear();
         frames.push_back(extra);  // a frame with nothing scored, then a round
         extra.scored = {{4, -1, 1, 0}};
         frames.push_back(extra);
       },
       "at round 4"},
      {"another match to start from",
       [](TapeHeader& h, std::vector<TapeFrame>&) { h.snapshot.resize(h.snapshot.size() / 2); },
       "the match it starts from is cut short"},
  };
  for (const Case& c : cases) {
    Record(5, false, live);
    Rewrite(c.damage);
    std::string error = Replayed(again);
    EXPECT_NE(error.find(c.says), std::string::npos) << c.name << ": " << error;
  }
}

}  // namespace
