// What the match tells its players over the view: the labels of the countdown (where they
// go, what they say), the death notices of a step, and the lines that name who won.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/game.h"
#include "display/canvas.h"
#include "display/hooks.h"
#include "display/tell.h"
#include "match/arena/worm.h"
#include "match/round.h"

namespace tdx {
namespace {

// A fresh game with its worms, the given set-up of twelve slots prepared by a round start
// (the start places laid as the rules lay them), stopped at the round's intro.
struct RoundAtIntro {
  Game g;
  explicit RoundAtIntro(StartPositionRule rule, int teamMode = 0, uint32_t seed = 1,
                        int players = 12) {
    CreateWorms(g);
    g.matchRng.Seed(seed);
    // The longest key names there are, so the labels are as wide as they get.
    g.input.KeyNameTable = {{160, "left_shift"}, {161, "right_shift"}, {13, "enter"}};
    for (int s = 0; s < 12; ++s) {
      PlayerSetup& p = g.settings.players[s];
      p.controller = s >= players ? CtrlOff : (s % 3 == 0 ? CtrlHuman : CtrlCpuIq10);
      p.kind = static_cast<uint8_t>(1 + (s * 7) % 20);  // long and short kind names alike
      p.team = static_cast<uint8_t>(1 + s % 4);
      p.leftKey = 160;
      p.rightKey = 161;
      p.fireKey = 13;
    }
    g.settings.game.startPosition = static_cast<uint8_t>(rule);
    g.settings.game.positions = 1;
    g.settings.game.scoreLimit = 0;
    BeginMatch(g, teamMode);
    g.phase = GamePhase::RoundStart;
    StepMatchPhase(g);
    g.events.Clear();
  }
};

struct LayoutCase {
  const char* what;
  StartPositionRule rule;
  int teamMode;
  uint32_t seed;
  int players;
};

class LabelLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(LabelLayout, EveryWormHasALabelBesideItThatCoversNothingAndStaysInTheArena) {
  const LayoutCase& c = GetParam();
  RoundAtIntro r(c.rule, c.teamMode, c.seed, c.players);
  ASSERT_EQ(r.g.phase, GamePhase::RoundIntro);
  const LabelArea area = MatchLabelArea();
  const std::vector<WormLabel> labels = RoundLabels(r.g, SlotNames{}, area);
  ASSERT_EQ(static_cast<int>(labels.size()), c.players);
  // Room for the lines that say what each kind does.
  for (const WormLabel& l : labels) EXPECT_GE(l.lines.size(), 2u + (l.person ? 1u : 0u));
  for (size_t i = 0; i < labels.size(); ++i) {
    const WormLabel& l = labels[i];
    SCOPED_TRACE("slot " + std::to_string(l.slot));
    ASSERT_FALSE(l.box.Empty());
    // Inside the arena's frame: the HUD's strip above and the energy bars stay clear.
    EXPECT_TRUE(area.bounds.Contains(l.box));
    EXPECT_GE(l.box.y, 57);
    EXPECT_LE(l.box.Bottom(), 464);
    EXPECT_GE(l.box.x, 17);
    EXPECT_LE(l.box.Right(), 624);
    for (size_t j = i + 1; j < labels.size(); ++j) {
      EXPECT_FALSE(l.box.Overlaps(labels[j].box)) << "and slot " << labels[j].slot;
    }
    for (const WormLabel& other : labels) {
      EXPECT_FALSE(
          l.box.ContainsPoint(static_cast<int>(other.wormX), static_cast<int>(other.wormY)))
          << "covers the start of slot " << other.slot;
    }
    // Beside its worm: never further off than the arena is wide.
    const float dx = std::max(
        {static_cast<float>(l.box.x) - l.wormX, 0.0f, l.wormX - static_cast<float>(l.box.Right())});
    const float dy = std::max({static_cast<float>(l.box.y) - l.wormY, 0.0f,
                               l.wormY - static_cast<float>(l.box.Bottom())});
    EXPECT_LT(dx * dx + dy * dy, 250.0f * 250.0f);
  }
}

INSTANTIATE_TEST_SUITE_P(
    TwelvePlayers, LabelLayout,
    ::testing::Values(
        LayoutCase{"IntoTheMiddle", StartPositionRule::IntoTheMiddle, 0, 1, 12},
        LayoutCase{"AwayFromTheMiddle", StartPositionRule::AwayFromTheMiddle, 0, 1, 12},
        LayoutCase{"Circle", StartPositionRule::Circle, 0, 1, 12},
        LayoutCase{"ProportionalRandom", StartPositionRule::ProportionalRandom, 0, 1, 12},
        LayoutCase{"Race", StartPositionRule::Race, 0, 1, 12},
        LayoutCase{"RandomPlaces1", StartPositionRule::RandomPlaces, 0, 1, 12},
        LayoutCase{"RandomPlaces2", StartPositionRule::RandomPlaces, 0, 2, 12},
        LayoutCase{"RandomPlaces3", StartPositionRule::RandomPlaces, 0, 3, 12},
        LayoutCase{"TeamsIntoTheMiddle", StartPositionRule::IntoTheMiddle, 1, 1, 12},
        LayoutCase{"TeamsAwayFromTheMiddle", StartPositionRule::AwayFromTheMiddle, 1, 4, 12},
        LayoutCase{"TeamsProportionalRandom", StartPositionRule::ProportionalRandom, 1, 5, 12},
        LayoutCase{"TeamsRace", StartPositionRule::Race, 1, 6, 12},
        LayoutCase{"TeamsRandomPlaces", StartPositionRule::RandomPlaces, 1, 7, 12},
        LayoutCase{"TwoPlayersRace", StartPositionRule::Race, 0, 1, 2}),
    [](const auto& info) { return std::string(info.param.what); });

TEST(LabelText, SaysWhoPlaysWhichKindWhatItDoesAndAPersonsKeys) {
  RoundAtIntro r(StartPositionRule::IntoTheMiddle, 1, 1, 4);
  SlotNames names;
  names[3] = "ada";
  const std::vector<WormLabel> labels = MakeWormLabels(r.g, names, true);
  ASSERT_EQ(labels.size(), 4u);
  // Slot 0: a person, kind 1 (traveller, held), team 1, keys by their short names.
  EXPECT_TRUE(labels[0].person);
  EXPECT_EQ(labels[0].lines,
            (std::vector<std::string>{"player 1 traveller team 1", "hold: passes through trails",
                                      "turn l shift / r shift  fire enter"}));
  // Slot 1: a computer player, kind 8 (multiplier, pressed): no keys.
  EXPECT_FALSE(labels[1].person);
  EXPECT_EQ(labels[1].lines, (std::vector<std::string>{"player 2 multiplier team 2 cpu",
                                                       "fire: splits into heads"}));
  // A name the set-up gives is told instead of the number; a person's label stands out by
  // its keys line and is drawn with a solid border.
  EXPECT_EQ(labels[3].lines.front(), "ada speeder team 4");
  // Without the kinds' lines (when they cannot all fit) the rest stays.
  EXPECT_EQ(MakeWormLabels(r.g, names, false)[0].lines.size(), 2u);
}

TEST(LabelText, EveryKindHasItsOwnNameAndAbility) {
  std::vector<std::string> seen;
  for (int k = 1; k <= 20; ++k) {
    const auto kind = static_cast<WormKind>(k);
    const std::string line = std::string(KindTitle(kind)) + ": " + KindAbility(kind);
    EXPECT_NE(std::string(KindAbility(kind)), "nothing") << k;
    EXPECT_LE(TextWidth(KindAbility(kind)), 150) << line;
    for (const std::string& s : seen) EXPECT_NE(s, line);
    seen.push_back(line);
  }
}

TEST(LabelLayoutSurprise, LabelsStandInRowsWhenStartPlacesAreASurprise) {
  RoundAtIntro r(StartPositionRule::IntoTheMiddle);
  r.g.settings.game.positions = 0;
  const LabelArea area = MatchLabelArea();
  const std::vector<WormLabel> labels = RoundLabels(r.g, SlotNames{}, area);
  ASSERT_EQ(labels.size(), 12u);
  for (size_t i = 0; i < labels.size(); ++i) {
    EXPECT_TRUE(area.bounds.Contains(labels[i].box));
    for (size_t j = i + 1; j < labels.size(); ++j)
      EXPECT_FALSE(labels[i].box.Overlaps(labels[j].box));
    // Rows by slot, nothing to do with where the worm starts.
    if (i > 0) {
      EXPECT_GE(labels[i].box.y, labels[i - 1].box.y);
    }
  }
}

// ---- The letters. ----

// Every letter stays inside the box TextWidth and TextHeight give (labels and plates are
// sized by them), at both scales; a letter the table lacks is still drawn, as a box.
TEST(Letters, TextStaysInsideTheBoxItsWidthAndHeightGive) {
  std::string all;
  for (char ch = ' '; ch <= '~'; ++ch) all += ch;
  for (const std::string& text : {all, std::string("\x01"), std::string("player 12 ygpqj")}) {
    for (int scale : {1, 2}) {
      Canvas c;
      c.Begin();
      const int x = 3, y = 5;
      const int end = DrawText(c, x, y, text, 0x00FF00, scale);
      EXPECT_EQ(end, x + static_cast<int>(text.size()) * kGlyphAdvance * scale);
      const TextBox box{x, y, TextWidth(text, scale), TextHeight(scale)};
      int inside = 0, outside = 0;
      for (int py = 0; py < 40; ++py) {
        for (int px = 0; px < kViewWidth; ++px) {
          if (c.At(px, py) == 0) continue;
          EXPECT_EQ(c.At(px, py), 0xFF00FF00u);
          (box.ContainsPoint(px, py) ? inside : outside) += 1;
        }
      }
      EXPECT_GT(inside, 0) << text;
      EXPECT_EQ(outside, 0) << text;
    }
  }
  EXPECT_EQ(TextWidth(""), 0);
}

// ---- Who killed whom. ----

MatchEvent Death(int dead, DeathCause cause, int by) {
  MatchEvent e;
  e.kind = MatchEvent::Kind::Death;
  e.value = dead;
  e.blame = {cause, by};
  return e;
}

TEST(DeathNotices, NamesArePaintedInTheirPlayersColours) {
  struct Case {
    MatchEvent death;
    SpanLine spans;
  };
  const Case cases[] = {
      {Death(2, DeathCause::Laser, 5),
       {{"player 3", 2}, {" was cut down by ", -1}, {"player 6", 5}, {"'s laser", -1}}},
      {Death(0, DeathCause::Edge, -1), {{"player 1", 0}, {" hit the wall", -1}}},
      {Death(4, DeathCause::OwnTrail, 4), {{"player 5", 4}, {" ran into its own trail", -1}}},
      {Death(11, DeathCause::Bomb, 11), {{"player 12", 11}, {" was blown up by its own bomb", -1}}},
      {Death(7, DeathCause::Trail, 1),
       {{"player 8", 7}, {" ran into ", -1}, {"player 2", 1}, {"'s trail", -1}}},
      {Death(3, DeathCause::AtomicBomb, -1),
       {{"player 4", 3}, {" was caught in an atomic blast", -1}}},
  };
  for (const Case& c : cases) {
    const SpanLine got = NoticeSpans(c.death, SlotNames{});
    EXPECT_EQ(SpanText(got), DeathNotice(c.death, SlotNames{}));
    ASSERT_EQ(got.size(), c.spans.size()) << SpanText(got);
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].text, c.spans[i].text);
      EXPECT_EQ(got[i].slot, c.spans[i].slot) << got[i].text;
    }
  }
  // A name that contains another player's words is still found in the right place.
  SlotNames names;
  names[5] = "was";
  const SpanLine named = NoticeSpans(Death(2, DeathCause::Shot, 5), names);
  ASSERT_EQ(named.size(), 4u);
  EXPECT_EQ(named[2].text, "was");
  EXPECT_EQ(named[2].slot, 5);
}

TEST(DeathNotices, OnlyTheFirstDeathOfEachWormInAStepIsTold) {
  MatchEvent sound;
  sound.kind = MatchEvent::Kind::Sound;
  MatchEvent prepared;
  prepared.kind = MatchEvent::Kind::RoundPrepared;
  const std::vector<MatchEvent> step = {
      Death(3, DeathCause::Laser, 1), sound, Death(3, DeathCause::Trail, 6),
      Death(6, DeathCause::Edge, -1), Death(3, DeathCause::Edge, -1),
      // A new round in the same batch (a network frame that ran several steps): told again.
      prepared, Death(3, DeathCause::OwnTrail, 3)};
  const std::vector<MatchEvent> told = FirstDeaths(step);
  ASSERT_EQ(told.size(), 3u);
  EXPECT_EQ(told[0].value, 3);
  EXPECT_EQ(told[0].blame.cause, DeathCause::Laser);
  EXPECT_EQ(told[1].value, 6);
  EXPECT_EQ(told[2].blame.cause, DeathCause::OwnTrail);
  EXPECT_TRUE(FirstDeaths({}).empty());
}

TEST(DeathNotices, AStepsDeathsBecomeNoticesAndMarkersOnlyWithTheExtras) {
  for (bool classic : {false, true}) {
    Game g;
    CreateWorms(g);
    g.presentation.classic = classic;
    g.Now = 5;
    g.phase = GamePhase::Playing;
    g.events.raised = {Death(3, DeathCause::Laser, 1), Death(3, DeathCause::Edge, -1),
                       Death(6, DeathCause::Edge, -1)};
    TellMatchEvents(g);
    if (classic) {
      EXPECT_TRUE(g.tell.notices.empty());
      EXPECT_LT(g.tell.markers[3].since, 0);
    } else {
      ASSERT_EQ(g.tell.notices.size(), 2u);
      EXPECT_EQ(SpanText(g.tell.notices[0].line), "player 4 was cut down by player 2's laser");
      EXPECT_EQ(g.tell.markers[3].since, 5);
      EXPECT_EQ(g.tell.markers[6].since, 5);
    }
    // Under --classic nothing at all is drawn over the view.
    g.afterCanvas.Begin();
    DrawTellings(g, g.afterCanvas);
    EXPECT_EQ(g.afterCanvas.Touched(), !classic);
  }
}

// ---- Who won. ----

TEST(WinnerLines, TheRoundsResultNamesItsWinnerOrTheDraw) {
  SlotNames names;
  names[4] = "ada";
  EXPECT_EQ(SpanText(RoundResultLine(3, 2, false, names)), "round 3: player 3 wins");
  EXPECT_EQ(RoundResultLine(3, 2, false, names)[1].slot, 2);
  EXPECT_EQ(SpanText(RoundResultLine(1, 4, false, names)), "round 1: ada wins");
  EXPECT_EQ(SpanText(RoundResultLine(7, 2, true, names)), "round 7: team 2 wins");
  EXPECT_EQ(SpanText(RoundResultLine(2, -1, false, names)), "round 2: a draw");
  EXPECT_EQ(SpanText(RoundResultLine(2, -1, true, names)), "round 2: a draw");
}

struct RankCase {
  const char* what;
  int teamMode;
  std::vector<int> playing;  // slots taking part
  std::vector<int> wins;     // by slot (deathmatch) or team 0..3
  std::string headline;
  std::vector<std::string> ranks;
};

TEST(WinnerLines, TheFinalScreenRanksEveryPlayerOrTeamAndNamesTheWinnerOrTheTie) {
  const RankCase cases[] = {
      {"win",
       0,
       {0, 3, 5},
       {2, 0, 0, 4, 0, 1},
       "player 4 wins the match",
       {"1. player 4  4 rounds", "2. player 1  2 rounds", "3. player 6  1 round"}},
      {"two tied at the top",
       0,
       {0, 1, 2},
       {5, 2, 5},
       "a tie: player 1 and player 3",
       {"1. player 1  5 rounds", "1. player 3  5 rounds", "3. player 2  2 rounds"}},
      {"three tied",
       0,
       {0, 1, 2},
       {1, 1, 1},
       "a tie: player 1, player 2 and player 3",
       {"1. player 1  1 round", "1. player 2  1 round", "1. player 3  1 round"}},
      {"nobody won a round",
       0,
       {0, 1, 2, 3, 4},
       {},
       "a tie between 5 players",
       {"1. player 1  0 rounds", "1. player 2  0 rounds", "1. player 3  0 rounds",
        "1. player 4  0 rounds", "1. player 5  0 rounds"}},
      {"team win",
       1,
       {0, 1, 2, 4},
       {1, 3, 0, 0},
       "team 2 wins the match",
       {"1. team 2  3 rounds ", "2. team 1  1 round ", "3. team 3  0 rounds "}},
      {"team tie",
       1,
       {0, 1},
       {2, 2, 0, 0},
       "a tie: team 1 and team 2",
       {"1. team 1  2 rounds ", "1. team 2  2 rounds "}},
  };
  for (const RankCase& c : cases) {
    SCOPED_TRACE(c.what);
    Match m;
    for (auto& p : m.settings.players) p.controller = CtrlOff;
    for (int s = 0; s < 12; ++s) m.settings.players[s].team = static_cast<uint8_t>(1 + s % 4);
    for (int s : c.playing) m.settings.players[s].controller = CtrlCpuIq10;
    m.match.TeamMode = c.teamMode;
    for (size_t i = 0; i < c.wins.size(); ++i) {
      (c.teamMode ? m.match.TeamWins[i] : m.match.RoundWins[i]) = c.wins[i];
    }
    const MatchResult r = RankMatch(m, SlotNames{});
    EXPECT_EQ(SpanText(r.headline), c.headline);
    std::vector<std::string> ranks;
    for (const RankLine& l : r.ranks) ranks.push_back(SpanText(l.text));
    EXPECT_EQ(ranks, c.ranks);
    if (c.teamMode) {
      // A team shows the colours of its players who take part (team 1: slots 0, 4, 8).
      std::vector<int> team1;
      for (int s : c.playing) {
        if (s % 4 == 0) team1.push_back(s);
      }
      for (const RankLine& l : r.ranks) {
        if (l.who == 0) {
          EXPECT_EQ(l.members, team1);
        }
      }
    } else {
      // A player's name is in its colour.
      EXPECT_EQ(r.ranks.front().text[1].slot, r.ranks.front().who);
    }
  }
}

TEST(WinnerLines, TheFinalRankingFitsBetweenTheTitleAndTheMenuWordsAtTwelvePlayers) {
  for (const bool longNames : {false, true}) {
    Match m;
    for (int s = 0; s < 12; ++s) {
      m.settings.players[s].controller = CtrlCpuIq10;
      m.match.RoundWins[s] = s < 3 ? 1000 : s;  // a three-way tie at four digits
    }
    SlotNames names;
    if (longNames) names.fill("abcdefghijklmnopqrstuvwx");
    const MatchResult r = RankMatch(m, names);
    const TextBox head = FinalHeadlineBox(r);
    const std::vector<TextBox> ranks = FinalRankBoxes(r);
    ASSERT_EQ(ranks.size(), 12u);
    const TextBox view{0, 0, kViewWidth, kViewHeight};
    EXPECT_TRUE(view.Contains(head));
    EXPECT_GE(head.y, 126);  // under "congratulations!"
    for (size_t i = 0; i < ranks.size(); ++i) {
      EXPECT_TRUE(view.Contains(ranks[i]));
      EXPECT_FALSE(ranks[i].Overlaps(head));
      if (i > 0) {
        EXPECT_FALSE(ranks[i].Overlaps(ranks[i - 1]));
      }
      EXPECT_LE(ranks[i].Bottom(), 366);  // above "main_menu" at y 370
    }
  }
}

TEST(WinnerLines, AComputerOnlyRoundsResultStaysOnScreenAboutTwoSecondsIntoTheNextRound) {
  Game g;
  CreateWorms(g);
  g.settings.players[0].controller = CtrlCpuIq10;
  g.settings.players[1].controller = CtrlCpuIq10;
  g.match.Scored.push_back({1, 1, 0, 0});
  g.Now = 20;
  g.phase = GamePhase::WaitReady;
  MatchEvent scored;
  scored.kind = MatchEvent::Kind::RoundScored;
  scored.value = 1;
  g.events.raised = {scored};
  TellMatchEvents(g);
  EXPECT_EQ(SpanText(g.tell.result), "round 1: player 2 wins");
  const TextBox box = ResultLineBox(g.tell.result);
  auto shown = [&](GamePhase phase, double now) {
    g.phase = phase;
    g.Now = now;
    g.afterCanvas.Begin();
    DrawTellings(g, g.afterCanvas);
    return g.afterCanvas.At(box.x + 1, box.y + 1) != 0;
  };
  EXPECT_TRUE(shown(GamePhase::WaitReady, 20.0));
  EXPECT_TRUE(shown(GamePhase::RoundIntro, 21.0));
  EXPECT_TRUE(shown(GamePhase::ShowingThree, 21.9));
  EXPECT_FALSE(shown(GamePhase::ShowingTwo, 22.1));
  EXPECT_FALSE(shown(GamePhase::MainMenu, 20.5));
}

}  // namespace
}  // namespace tdx
