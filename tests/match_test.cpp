// The match on its own: made and stepped with no window, sound, archives or program object,
// repeatable from its seed, and copied whole into a snapshot that plays on the same.
#include <gtest/gtest.h>

#include <vector>

#include "match/arena/worm.h"
#include "match/digest.h"
#include "match/match.h"
#include "match/round.h"

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
  bool countdown = false, speech = false, sound = false, scored = false;
  for (int f = 0; f < 200000 && m.phase != GamePhase::GameOver; ++f) {
    double now = m.LastFrameTime + kStep;
    StepMatchFrame(m, now, now, nullptr);
    for (const MatchEvent& e : m.events.raised) {
      countdown |= e.kind == MatchEvent::Kind::CountdownWord;
      speech |= e.kind == MatchEvent::Kind::Speech;
      sound |= e.kind == MatchEvent::Kind::Sound;
      scored |= e.kind == MatchEvent::Kind::RoundScored;
    }
  }
  EXPECT_TRUE(countdown);
  EXPECT_TRUE(speech);
  EXPECT_TRUE(sound);
  EXPECT_TRUE(scored);
  EXPECT_LE(m.events.raised.size(), 64u) << "a frame's events are dropped with the next frame";
}

}  // namespace
}  // namespace tdx
