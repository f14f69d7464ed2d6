// The match on its own: made and stepped with no window, sound, archives or program object,
// repeatable from its seed, and copied whole into a snapshot that plays on the same.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "match/arena/worm.h"
#include "match/digest.h"
#include "match/match.h"
#include "match/round.h"
#include "match/snapshot.h"

namespace tdx {
namespace {

constexpr double kStep = 1.0 / 60;

// Twelve computer players, planners and random drivers of every kind, bonuses on, a
// three-round deathmatch with the speed ramping up.
Match NewMatch(uint64_t seed) {
  Match m;
  m.matchRng.Seed(seed);
  CreateWorms(m);
  for (int s = 0; s < kPlayerSlots; ++s) {
    PlayerSetup& p = m.settings.players[s];
    p.controller = s % 2 ? CtrlCpuIq10 : CtrlCpuIq0;
    p.kind = static_cast<uint8_t>(1 + (s * 7) % 20);
    p.team = static_cast<uint8_t>(1 + s % 4);
  }
  GameSetup& gs = m.settings.game;
  gs.bonus = 1;
  gs.scoreLimit = 0;  // three rounds
  gs.fromSpeed = 2;
  gs.toSpeed = 6;
  gs.startPosition = static_cast<uint8_t>(StartPositionRule::Circle);
  BeginMatch(m, 0);
  return m;
}

void StepFrames(Match& m, int frames) {
  for (int f = 0; f < frames && m.phase != GamePhase::GameOver; ++f) {
    double now = m.LastFrameTime + kStep;
    StepMatchFrame(m, now, now, nullptr);
  }
}

std::vector<uint64_t> Digests(const Match& m) {
  std::vector<uint64_t> d;
  for (const ScoredRound& r : m.match.Scored) d.push_back(r.digest);
  return d;
}

TEST(MatchAlone, PlaysToItsEndAndRepeatsItselfFromItsSeed) {
  Match a = NewMatch(7);
  StepFrames(a, 200000);
  ASSERT_EQ(a.phase, GamePhase::GameOver);
  ASSERT_EQ(a.match.Scored.size(), 3u);
  int wins = 0;
  for (int w : a.match.RoundWins) wins += w;
  EXPECT_GE(wins, 1) << "twelve worms rarely draw three times";

  Match b = NewMatch(7);
  StepFrames(b, 200000);
  EXPECT_EQ(Digests(a), Digests(b));
  Match c = NewMatch(8);
  StepFrames(c, 200000);
  EXPECT_NE(Digests(a), Digests(c)) << "another seed plays another match";
}

TEST(MatchAlone, ASnapshotPlaysOnExactlyAsTheOriginal) {
  Match original = NewMatch(11);
  StepFrames(original, 1500);  // well into the first round's play
  ASSERT_EQ(original.phase, GamePhase::Playing);
  const Match snapshot = original;

  StepFrames(original, 200000);
  ASSERT_EQ(original.phase, GamePhase::GameOver);
  EXPECT_FALSE(Digests(snapshot) == Digests(original)) << "the snapshot did not move on";

  Match resumed = snapshot;
  StepFrames(resumed, 200000);
  EXPECT_EQ(Digests(resumed), Digests(original));
  EXPECT_EQ(RoundDigest(resumed), RoundDigest(original));
  EXPECT_EQ(resumed.frameNumber, original.frameNumber);
}

TEST(MatchAlone, RaisesWhatPlayersHearAndSeeInsteadOfPlayingIt) {
  Match m = NewMatch(3);
  bool countdown = false, speech = false, sound = false, scored = false, death = false;
  for (int f = 0; f < 200000 && m.phase != GamePhase::GameOver; ++f) {
    double now = m.LastFrameTime + kStep;
    StepMatchFrame(m, now, now, nullptr);
    for (const MatchEvent& e : m.events.raised) {
      countdown |= e.kind == MatchEvent::Kind::CountdownWord;
      speech |= e.kind == MatchEvent::Kind::Speech;
      sound |= e.kind == MatchEvent::Kind::Sound;
      scored |= e.kind == MatchEvent::Kind::RoundScored;
      death |= e.kind == MatchEvent::Kind::Death && e.value >= 0 && e.value < kPlayerSlots;
    }
  }
  EXPECT_TRUE(countdown);
  EXPECT_TRUE(speech);
  EXPECT_TRUE(sound);
  EXPECT_TRUE(scored);
  EXPECT_TRUE(death);
  EXPECT_LE(m.events.raised.size(), 64u) << "a frame's events are dropped with the next frame";
}

}  // namespace
}  // namespace tdx

namespace tdx {
namespace {

// Where two fields lie in a worm's record as the snapshot stores it.
size_t KindOffset() {
  TCerv w;
  return static_cast<size_t>(reinterpret_cast<const uint8_t*>(&w.kind) -
                             reinterpret_cast<const uint8_t*>(&w));
}
size_t HeadXOffset() {
  TCerv w;
  return static_cast<size_t>(reinterpret_cast<const uint8_t*>(&w.headX) -
                             reinterpret_cast<const uint8_t*>(&w));
}

TEST(MatchSnapshot, ReadsBackIntoAMatchThatPlaysOnTheSame) {
  Match original = NewMatch(5);
  StepFrames(original, 2000);
  ASSERT_EQ(original.phase, GamePhase::Playing);
  std::vector<uint8_t> bytes = SaveSnapshot(original);
  EXPECT_LT(bytes.size(), 200000u) << "the grid is stored as runs";

  Match restored;
  std::string error;
  ASSERT_TRUE(LoadSnapshot(bytes, restored, error)) << error;
  EXPECT_EQ(RoundDigest(restored), RoundDigest(original));
  EXPECT_EQ(SaveSnapshot(restored), bytes) << "written again, it is the same snapshot";
  StepFrames(original, 200000);
  StepFrames(restored, 200000);
  EXPECT_EQ(Digests(restored), Digests(original));
}

TEST(MatchSnapshot, RefusesWhatNoMatchCanBeAndLeavesTheMatchAlone) {
  Match m = NewMatch(9);
  StepFrames(m, 900);
  const std::vector<uint8_t> good = SaveSnapshot(m);
  // Where the first worm's record starts: magic, layout, generator and set-up before it.
  const size_t worm0 = 4 + 4 + 32 + sizeof(SettingsBlock);
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    const char* want;
  };
  auto patched = [&](size_t at, const void* v, size_t n) {
    std::vector<uint8_t> b = good;
    std::memcpy(b.data() + at, v, n);
    return b;
  };
  const uint8_t badKind = 200;
  const double nan = std::nan("");
  const uint32_t otherLayout = 12345;
  const uint64_t stuck[4] = {0, 0, 0, 0};
  std::vector<uint8_t> longer = good;
  longer.push_back(0);
  const Case cases[] = {
      {"empty", {}, "not a match snapshot"},
      {"another file", {'P', 'K', 3, 4, 0, 0, 0, 0}, "not a match snapshot"},
      {"another build", patched(4, &otherLayout, 4), "another build of the rules"},
      {"cut short", std::vector<uint8_t>(good.begin(), good.begin() + 5000), "cut short"},
      {"cut in the grid", std::vector<uint8_t>(good.begin(), good.end() - 40), "cut short"},
      {"stray bytes", longer, "bytes after its end"},
      {"a kind past the table", patched(worm0 + KindOffset(), &badKind, 1),
       "values no match can have"},
      {"a generator that draws only zeros", patched(8, stuck, sizeof stuck),
       "values no match can have"},
      {"a head nowhere", patched(worm0 + HeadXOffset(), &nan, sizeof nan),
       "values no match can have"},
  };
  for (const Case& c : cases) {
    Match target = NewMatch(1);
    const uint64_t before = RoundDigest(target);
    std::string error;
    EXPECT_FALSE(LoadSnapshot(c.bytes, target, error)) << c.name;
    EXPECT_NE(error.find(c.want), std::string::npos) << c.name << ": " << error;
    EXPECT_EQ(RoundDigest(target), before) << c.name;
  }
}

TEST(MatchAlone, ASetUpThatLeavesNobodyToPlayAgainstEndsTheMatchAtTheRoundStart) {
  for (int teamMode : {0, 1}) {
    Match m = NewMatch(4);
    m.match.TeamMode = teamMode;
    while (m.match.Scored.empty()) StepFrames(m, 1);
    // The set-up read for the next round: one player left, or everybody in one team.
    for (int s = 1; s < kPlayerSlots; ++s) {
      if (teamMode == 0) {
        m.settings.players[s].controller = CtrlOff;
      } else {
        m.settings.players[s].team = m.settings.players[0].team;
      }
    }
    bool said = false;
    for (int f = 0; f < 1000 && m.phase != GamePhase::BackToMenu; ++f) {
      double now = m.LastFrameTime + kStep;
      StepMatchFrame(m, now, now, nullptr);
      for (const MatchEvent& e : m.events.raised) {
        said |= e.kind == MatchEvent::Kind::TooFewPlayers && e.value == 1;
      }
    }
    EXPECT_EQ(m.phase, GamePhase::BackToMenu) << teamMode;
    EXPECT_TRUE(said) << teamMode;
    EXPECT_EQ(m.match.Scored.size(), 1u) << "no drawn round was played" << teamMode;
  }
}

}  // namespace
}  // namespace tdx
