// Seeking in the committed match recordings: wherever the position is moved, and in
// whatever order, the match there is the one playing the recording straight through gives.
#include "app/replay_cursor.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "app/match_tape.h"
#include "app/replay.h"
#include "match/events.h"
#include "match/snapshot.h"

namespace fs = std::filesystem;
using namespace tdx;

namespace {

std::vector<std::string> MatchRecordings() {
  std::vector<std::string> paths;
  for (const auto& entry :
       fs::directory_iterator(fs::path(TANDRIX_SOURCE_DIR) / "tests/replays/match")) {
    paths.push_back(entry.path().string());
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

// A recording played straight through on the match alone: the match's bytes at the
// positions asked for, the rounds scored, and the positions where a round's arena is set.
struct PlayedThrough {
  uint64_t frames = 0;
  std::map<uint64_t, std::vector<uint8_t>> bytes;
  std::vector<ScoredRound> scored;
  std::vector<uint64_t> roundStarts;
};

PlayedThrough PlayThrough(const std::string& path, const std::vector<uint64_t>& at) {
  PlayedThrough p;
  TapeReader tape;
  TapeHeader header;
  std::string error;
  EXPECT_TRUE(tape.Open(path, header, error)) << error;
  auto m = std::make_unique<Match>();
  EXPECT_TRUE(LoadSnapshot(header.snapshot, *m, error)) << path << ": " << error;
  SettingsBlock setup = m->settings;
  auto note = [&] {
    if (std::find(at.begin(), at.end(), p.frames) != at.end()) p.bytes[p.frames] = SaveSnapshot(*m);
  };
  note();
  TapeFrame f;
  while (tape.Next(f, error)) {
    StepTapeFrame(*m, setup, f);
    ++p.frames;
    for (const MatchEvent& e : m->events.raised) {
      if (e.kind == MatchEvent::Kind::RoundPrepared) p.roundStarts.push_back(p.frames);
    }
    note();
  }
  EXPECT_EQ(error, "") << path;
  p.scored = m->match.Scored;
  return p;
}

// Where two matches' bytes part, or "" when they are the same.
std::string Difference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  if (a.size() != b.size())
    return std::to_string(a.size()) + " bytes against " + std::to_string(b.size());
  const auto at = std::mismatch(a.begin(), a.end(), b.begin());
  if (at.first == a.end()) return "";
  return "bytes differ from offset " + std::to_string(at.first - a.begin());
}

uint64_t FramesOf(const std::string& path) {
  TapeReader tape;
  TapeHeader header;
  std::string error;
  TapeFrame f;
  EXPECT_TRUE(tape.Open(path, header, error)) << error;
  uint64_t n = 0;
  while (tape.Next(f, error)) ++n;
  return n;
}

// How the cursor is used: the first pass done before any seek or driven by the seeks
// themselves, and the kept matches as spaced in the game or few and thinned over and over.
struct Use {
  const char* name;
  bool scanFirst;
  uint64_t every;
  size_t most;
};

constexpr Use kUses[] = {
    {"first pass done at once", true, ReplayCursor::kSnapshotEvery, ReplayCursor::kMostSnapshots},
    {"first pass driven by the seeks", false, ReplayCursor::kSnapshotEvery,
     ReplayCursor::kMostSnapshots},
    {"few kept matches, thinned", true, 7, 16},
};

TEST(ReplayCursor, SeeksAnywhereGiveTheMatchPlayedThrough) {
  for (const std::string& path : MatchRecordings()) {
    const uint64_t n = FramesOf(path);
    ASSERT_GT(n, 300u) << path;
    // Forward and back, across kept matches and just either side of them, both ends.
    const std::vector<uint64_t> order = {n / 2, 121, 119,   n,         0,   n - 1, 1,
                                         n / 3, 240, n / 2, n * 2 / 3, 120, n / 3};
    const PlayedThrough ref = PlayThrough(path, order);
    ASSERT_GE(ref.scored.size(), 1u) << path;
    for (const Use& use : kUses) {
      SCOPED_TRACE(path + ", " + use.name);
      ReplayCursor c(use.every, use.most);
      std::string error;
      ASSERT_TRUE(c.Open(path, error)) << error;
      EXPECT_EQ(c.Frames(), n);
      if (use.scanFirst) {
        EXPECT_TRUE(c.Scan(n));
        EXPECT_EQ(c.RoundStarts(), ref.roundStarts);
        EXPECT_LE(c.SnapshotCount(), use.most);
      }
      for (uint64_t at : order) {
        c.SeekFrame(static_cast<int64_t>(at));
        ASSERT_EQ(c.Frame(), at);
        EXPECT_EQ(Difference(SaveSnapshot(c.Current()), ref.bytes.at(at)), "") << "at frame " << at;
        EXPECT_TRUE(c.Current().events.raised.empty()) << "a seek to " << at << " is heard";
      }
      c.ScanAll();
      EXPECT_EQ(c.RoundStarts(), ref.roundStarts);
      EXPECT_LE(c.SnapshotCount(), use.most);
    }
  }
}

// Each round from its start to its end, the last round first, then the first again: every
// round ends with the digest it ended with played straight through, and stepping on from a
// seek is heard as it was (the frame setting a round's arena says so).
TEST(ReplayCursor, EachRoundFromItsStartEndsAsPlayedThrough) {
  for (const std::string& path : MatchRecordings()) {
    SCOPED_TRACE(path);
    const PlayedThrough ref = PlayThrough(path, {});
    ReplayCursor c;
    std::string error;
    ASSERT_TRUE(c.Open(path, error)) << error;
    c.ScanAll();
    ASSERT_GE(c.RoundStarts().size(), ref.scored.size());
    std::vector<size_t> rounds;
    for (size_t k = ref.scored.size(); k-- > 0;) rounds.push_back(k);
    rounds.push_back(0);
    for (size_t k : rounds) {
      ASSERT_TRUE(c.SeekRound(k));
      EXPECT_EQ(c.Frame(), c.RoundStarts()[k]);
      ASSERT_EQ(c.Current().match.Scored.size(), k) << "round " << k;
      while (c.Current().match.Scored.size() == k && c.Step()) {
      }
      ASSERT_EQ(c.Current().match.Scored.size(), k + 1) << "round " << k;
      EXPECT_EQ(ScoredRoundLine(c.Current().match.Scored[k]), ScoredRoundLine(ref.scored[k]));

      c.SeekFrame(static_cast<int64_t>(c.RoundStarts()[k]) - 1);
      ASSERT_TRUE(c.Step());
      const auto& raised = c.Current().events.raised;
      EXPECT_TRUE(std::any_of(
          raised.begin(), raised.end(),
          [](const MatchEvent& e) { return e.kind == MatchEvent::Kind::RoundPrepared; }))
          << "round " << k;
    }
    EXPECT_FALSE(c.SeekRound(c.RoundStarts().size()));
    EXPECT_EQ(c.Frame(), c.RoundStarts()[0]);
  }
}

TEST(ReplayCursor, SeeksPastEitherEndStopAtIt) {
  const std::string path = MatchRecordings().front();
  ReplayCursor c;
  std::string error;
  ASSERT_TRUE(c.Open(path, error)) << error;
  const uint64_t n = c.Frames();
  const double length = c.Length();
  ASSERT_GT(length, 10.0);
  const std::vector<uint8_t> start = SaveSnapshot(c.Current());

  struct Case {
    const char* what;
    void (*seek)(ReplayCursor&);
    bool atEnd;
  };
  const Case cases[] = {
      {"frame past the end", [](ReplayCursor& r) { r.SeekFrame(1 << 30); }, true},
      {"frame before the start", [](ReplayCursor& r) { r.SeekFrame(-5); }, false},
      {"seconds past the end", [](ReplayCursor& r) { r.SeekSeconds(1e9); }, true},
      {"seconds before the start", [](ReplayCursor& r) { r.SeekSeconds(-3); }, false},
      {"ten seconds on from the end",
       [](ReplayCursor& r) {
         r.SeekFrame(1 << 30);
         r.Jump(10);
       },
       true},
      {"ten seconds back from the start",
       [](ReplayCursor& r) {
         r.SeekFrame(0);
         r.Jump(-10);
       },
       false},
  };
  for (const Case& k : cases) {
    c.SeekFrame(static_cast<int64_t>(n / 2));
    k.seek(c);
    EXPECT_EQ(c.Frame(), k.atEnd ? n : 0u) << k.what;
    if (!k.atEnd) {
      EXPECT_TRUE(SaveSnapshot(c.Current()) == start) << k.what;
    }
  }
  c.SeekFrame(1 << 30);
  EXPECT_FALSE(c.Step());
  EXPECT_EQ(c.Frame(), n);

  // Ten seconds on or back lands on the first frame at least that far from where it was.
  c.SeekFrame(static_cast<int64_t>(n / 2));
  for (double by : {10.0, -10.0, -10.0}) {
    const double from = c.Seconds();
    c.Jump(by);
    EXPECT_GE(c.Seconds(), from + by) << by;
    EXPECT_LT(c.SecondsAt(c.Frame() - 1), from + by) << by;
  }
}

TEST(ReplayCursor, DamagedRecordingsAreRefusedNamingTheFile) {
  const std::string good = MatchRecordings().front();
  std::ifstream in(good, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(bytes.size(), 100u);
  const fs::path dir = fs::temp_directory_path() / ("tdx_cursor_" + std::to_string(::getpid()));
  fs::create_directories(dir);

  struct Case {
    const char* name;
    std::string bytes;
  };
  std::string flipped = bytes;
  flipped[flipped.size() / 2] = static_cast<char>(flipped[flipped.size() / 2] ^ 0x5a);
  const Case cases[] = {
      {"cut_short.tdxr", bytes.substr(0, bytes.size() * 2 / 3)},
      {"byte_changed.tdxr", flipped},
      {"empty.tdxr", ""},
      {"not_a_recording.tdxr", "just some text, not a match"},
  };
  for (const Case& k : cases) {
    const std::string path = (dir / k.name).string();
    std::ofstream(path, std::ios::binary) << k.bytes;
    ReplayCursor c;
    std::string error;
    ASSERT_TRUE(c.Open(good, error)) << error;
    EXPECT_FALSE(c.Open(path, error)) << k.name;
    EXPECT_NE(error.find(path), std::string::npos) << k.name << ": " << error;
    EXPECT_EQ(c.Frames(), 0u) << k.name << ": the recording watched before is let go";
  }
  const std::string missing = (dir / "missing.tdxr").string();
  ReplayCursor c;
  std::string error;
  EXPECT_FALSE(c.Open(missing, error));
  EXPECT_NE(error.find(missing), std::string::npos) << error;
  fs::remove_all(dir);

  // A recording in memory of other rules, or whose match is not one.
  TapeReader tape;
  TapeHeader header;
  ASSERT_TRUE(tape.Open(good, header, error)) << error;
  TapeHeader otherRules = header;
  otherRules.rules = kRulesVersion + 1;
  TapeHeader noMatch = header;
  noMatch.snapshot.resize(noMatch.snapshot.size() / 2);
  for (const TapeHeader* h : {&otherRules, &noMatch}) {
    EXPECT_FALSE(c.Start(*h, {}, "held.tdxr", error));
    EXPECT_EQ(error.rfind("held.tdxr: ", 0), 0u) << error;
  }
}

}  // namespace
