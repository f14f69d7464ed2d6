// The committed recordings (tests/replays/, made by the game with tests/replays/record.sh,
// in both formats) played back in-process from start-up, as `--replay` plays them: each
// reaches its recorded digests, and each covers what it was recorded for — every kind's ability
// used, every kind of computer player, every bonus taken.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>
#include <string>

#include "app/frame_clock.h"
#include "app/game.h"
#include "app/match_tape.h"
#include "app/replay.h"
#include "app/startup.h"
#include "match/snapshot.h"

namespace fs = std::filesystem;
using namespace tdx;

namespace {

// The committed recordings: the devices from the program's start (format 1), and the same
// matches recorded as matches (format 2, written from the first by --replay with --record).
std::string Recording(const std::string& name, int format) {
  return std::string(TANDRIX_SOURCE_DIR) + "/tests/replays/" + (format == 2 ? "match/" : "") +
         name + ".tdxr";
}

// Plays a recording from start-up to its last frame; `each` sees the game after every
// frame. Returns the replay's complaint, or "". With `convertTo`, the matches it plays are
// recorded there as format 2.
std::string Play(const std::string& path, const std::function<void(const Game&)>& each,
                 const std::string& convertTo = "") {
  std::string error;
  const int format = RecordingFormatOf(path, error);
  Replay r;
  ReplayFrames frames;
  TapeReader tape;
  TapeHeader header;
  if (format == 1 && !OpenReplay(path, r, frames, error)) return error;
  if (format == 2 && !tape.Open(path, header, error)) return error;
  if (format == 0) return error;
  fs::path dir = fs::temp_directory_path() / ("tdx_recordings_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  fs::remove(dir / "pak");
  fs::create_directory_symlink(fs::path(TANDRIX_GAME_DATA) / "pak", dir / "pak");
  auto g = std::make_unique<Game>();
  g->folders = GameFolderAt(dir.string());
  FrameClock clock;
  ReplaySource source;
  if (format == 1) {
    source.replay = &r;
    source.frames = &frames;
  } else {
    source.tape = &tape;
    source.header = &header;
  }
  Session session(*g, clock, format == 1 ? r.seed : header.seed, source);
  session.RecordMatches("", convertTo);
  StartOptions so;
  so.headless = true;
  so.seeded = true;
  so.seed = format == 1 ? r.seed : header.seed;
  if (!StartUp(*g, so)) return g->fatalError;
  if (format == 2 && !session.StartTape(error)) return error;
  if (format == 1) g->menu.StartRequest = r.start;
  std::vector<MouseEvent> mouse;
  while (session.HasFrame() && !g->quitRequested) {
    if (!session.Frame(mouse, nullptr)) break;
    each(*g);
  }
  session.Finish();
  std::string result = session.ReplayError();
  if (result.empty()) result = session.RecordError();
  ShutDown(*g);
  fs::remove_all(dir);
  return result;
}

// The same for both formats of a committed recording.
std::string PlayBoth(const std::string& name, const std::function<void(const Game&)>& each) {
  for (int format : {1, 2}) {
    std::string error = Play(Recording(name, format), each);
    if (!error.empty()) return "format " + std::to_string(format) + ": " + error;
  }
  return "";
}

// The kinds whose energy went down in some frame: their ability was used.
std::set<int> KindsThatUsedTheirAbility(const std::string& name, std::string& error) {
  std::set<int> used;
  std::array<double, kPlayerSlots> before{};
  std::array<WormKind, kPlayerSlots> kindBefore{};
  error = PlayBoth(name, [&](const Game& g) {
    for (int s = 0; s < kPlayerSlots; ++s) {
      const TCerv& w = g.worms[static_cast<size_t>(s)];
      auto i = static_cast<size_t>(s);
      if (g.phase == GamePhase::Playing && w.kind == kindBefore[i] && w.energy < before[i]) {
        used.insert(static_cast<int>(w.kind));
      }
      before[i] = w.energy;
      kindBefore[i] = w.kind;
    }
  });
  return used;
}

bool HaveGameData() { return fs::exists(std::string(TANDRIX_GAME_DATA) + "/pak/gfx.pak"); }

TEST(Recordings, PeopleFiringUseEveryKindsAbility) {
  if (!HaveGameData()) GTEST_SKIP() << "no game folder at " << TANDRIX_GAME_DATA;
  std::set<int> used;
  for (const char* name : {"abilities_1_to_12", "abilities_9_to_20"}) {
    std::string error;
    std::set<int> these = KindsThatUsedTheirAbility(name, error);
    EXPECT_EQ(error, "") << name;
    used.insert(these.begin(), these.end());
  }
  for (int kind = 1; kind <= 20; ++kind) EXPECT_TRUE(used.count(kind)) << "kind " << kind;
}

TEST(Recordings, ComputerPlayersOfEveryKindReplay) {
  if (!HaveGameData()) GTEST_SKIP() << "no game folder at " << TANDRIX_GAME_DATA;
  std::set<int> kinds;
  int scored = 0;
  for (const char* name : {"computers_1_to_12", "computers_9_to_20", "people_and_computers"}) {
    std::string error = PlayBoth(name, [&](const Game& g) {
      if (g.phase != GamePhase::Playing) return;
      for (int s = 0; s < kPlayerSlots; ++s) {
        const TCerv& w = g.worms[static_cast<size_t>(s)];
        if (w.alive) kinds.insert(static_cast<int>(w.kind));
      }
      scored = static_cast<int>(g.match.Scored.size());
    });
    EXPECT_EQ(error, "") << name;
    EXPECT_GE(scored, 2) << name;
  }
  for (int kind = 1; kind <= 20; ++kind) EXPECT_TRUE(kinds.count(kind)) << "kind " << kind;
}

TEST(Recordings, EveryBonusIsTakenAndItsObjectsAct) {
  if (!HaveGameData()) GTEST_SKIP() << "no game folder at " << TANDRIX_GAME_DATA;
  std::array<int, kBonusKindCount> taken{};
  bool fireBalls = false, diggers = false, walls = false, bombs = false;
  std::string error = PlayBoth("bonuses", [&](const Game& g) {
    taken = g.bonus.TakenCount;
    const BonusObjectLists& o = g.bonus.objects;
    fireBalls |= !o.BonusShots.empty();
    diggers |= !o.Diggers.empty();
    walls |= !o.XonixWalkers.empty();
    bombs |= !o.Bombs.empty();
  });
  EXPECT_EQ(error, "");
  for (int k = 0; k < kBonusKindCount; ++k) EXPECT_GT(taken[static_cast<size_t>(k)], 0) << k;
  EXPECT_TRUE(fireBalls);
  EXPECT_TRUE(diggers);
  EXPECT_TRUE(walls);
  EXPECT_TRUE(bombs);
}

TEST(Recordings, OlderRecordingsWrittenAnewAsMatchesReplayToTheSameDigests) {
  if (!HaveGameData()) GTEST_SKIP() << "no game folder at " << TANDRIX_GAME_DATA;
  const fs::path out = fs::temp_directory_path() / ("tdx_converted_" + std::to_string(::getpid()));
  for (const char* name : {"people_and_computers", "abilities_9_to_20", "computers_1_to_12"}) {
    std::vector<ScoredRound> first, second;
    EXPECT_EQ(Play(
                  Recording(name, 1), [&](const Game& g) { first = g.match.Scored; }, out.string()),
              "")
        << name;
    EXPECT_EQ(Play(out.string(), [&](const Game& g) { second = g.match.Scored; }), "") << name;
    ASSERT_GE(first.size(), 1u) << name;
    ASSERT_EQ(second.size(), first.size()) << name;
    for (size_t i = 0; i < first.size(); ++i) {
      EXPECT_EQ(ScoredRoundLine(second[i]), ScoredRoundLine(first[i])) << name;
    }
  }
  fs::remove(out);
}

// Network play steps the match with nothing of the program around it; a recording
// played that way must give the rounds the game gave, or machines and their recordings
// would part.
TEST(Recordings, MatchRecordingsPlayTheSameOnTheMatchAlone) {
  const fs::path folder = fs::path(TANDRIX_SOURCE_DIR) / "tests/replays/match";
  int played = 0;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string path = entry.path().string();
    TapeReader tape;
    TapeHeader header;
    std::string error;
    ASSERT_TRUE(tape.Open(path, header, error)) << error;
    auto m = std::make_unique<Match>();
    ASSERT_TRUE(LoadSnapshot(header.snapshot, *m, error)) << path << ": " << error;
    SettingsBlock setup = m->settings;
    std::vector<ScoredRound> recorded;
    TapeFrame f;
    while (tape.Next(f, error)) {
      recorded.insert(recorded.end(), f.scored.begin(), f.scored.end());
      StepTapeFrame(*m, setup, f);
    }
    ASSERT_EQ(error, "") << path;
    ASSERT_GE(recorded.size(), 1u) << path;
    ASSERT_EQ(m->match.Scored.size(), recorded.size()) << path;
    for (size_t i = 0; i < recorded.size(); ++i) {
      EXPECT_EQ(ScoredRoundLine(m->match.Scored[i]), ScoredRoundLine(recorded[i])) << path;
    }
    ++played;
  }
  EXPECT_GE(played, 1);
}

}  // namespace
