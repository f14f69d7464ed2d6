// What the match tells its players beyond its own screens: who each worm is at the round's
// start (a label beside it: number, name, kind, what the kind does, keys), who killed whom
// (a short notice, the death marker and every shot in its owner's colour), and who won (the
// round's result, held a moment over what follows, and the final ranking). Drawn over the
// view on the after canvas; only shown, never read by a rule.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "display/death_notice.h"
#include "display/text.h"
#include "match/events.h"
#include "match/setup.h"

namespace tdx {

struct Game;
struct Match;
class Canvas;

// ---- Who am I: the labels of the round's start. ----

// The kind's name as a label says it ("laser shooter"), and what its fire key does.
const char* KindTitle(WormKind kind);
const char* KindAbility(WormKind kind);

inline constexpr int kLabelScale = 1;
inline constexpr int kLabelLineHeight = 9;
inline constexpr int kLabelPadding = 3;

struct WormLabel {
  int slot = 0;
  bool person = false;
  std::vector<std::string> lines;  // the first names the player, in its colour
  float wormX = 0, wormY = 0;      // the start, view pixels
  float heading = 0;               // degrees: where the worm crawls during the countdown
  TextBox box;                     // its size, then its place once laid out
};

// The labels of every worm taking part in the round, from the worms as the round start
// placed them; `full` adds the line that says what the kind does.
std::vector<WormLabel> MakeWormLabels(const Game& g, const SlotNames& names, bool full);

// Where labels may go and what they must leave uncovered.
struct LabelArea {
  TextBox bounds;                   // every label inside
  std::vector<TextBox> keepOut;     // never covered
  std::vector<TextBox> preferFree;  // covered only when nothing else is left
};
// The arena inside its frame, the HUD and energy bars outside it; the countdown's word in
// the middle is left free where possible.
LabelArea MatchLabelArea();

// Places every label's box beside its worm (`besideWorms`) or, when the start places are
// a surprise, in rows by slot. No box covers another, a worm's start or its first crawl,
// or a kept-out box, and each stays inside the bounds. False when some label found no
// place (its box is then empty).
bool LayOutLabels(std::vector<WormLabel>& labels, const LabelArea& area, bool besideWorms);

// Labels made and laid out as they are drawn: with the kinds' lines when they all fit,
// else without them.
std::vector<WormLabel> RoundLabels(const Game& g, const SlotNames& names, const LabelArea& area);

// ---- Who killed me. ----

// A piece of a told line, in a player's colour (slot 0..11) or plain (-1).
struct TextSpan {
  std::string text;
  int slot = -1;
};
using SpanLine = std::vector<TextSpan>;

// The notice of a Death event, its names in their players' colours.
SpanLine NoticeSpans(const MatchEvent& death, const SlotNames& names);
// The deaths of one step that are told: the first Death event of each worm, in order.
std::vector<MatchEvent> FirstDeaths(const std::vector<MatchEvent>& raised);

// ---- Who won. ----

// "round 3: player 5 wins", "round 3: team 2 wins", "round 3: a draw".
SpanLine RoundResultLine(int round, int winner, bool teams, const SlotNames& names);

struct RankLine {
  int place = 1;  // equal wins share a place
  int who = 0;    // a slot, or a team 0..3
  int wins = 0;
  SpanLine text;             // "1. player 3  5 rounds"
  std::vector<int> members;  // teams: the slots whose colours are shown beside
};
struct MatchResult {
  SpanLine headline;  // "player 3 wins the match", "team 2 wins the match", "a tie: ..."
  std::vector<RankLine> ranks;
};
// Every taking-part player (or used team) by wins, most first, ties in slot order.
MatchResult RankMatch(const Match& m, const SlotNames& names);

// Where the final screen's headline and ranking go (over the dimmed arena, under the word
// "congratulations!", clear of "main_menu" and "exit_program").
TextBox FinalHeadlineBox(const MatchResult& r);
std::vector<TextBox> FinalRankBoxes(const MatchResult& r);
// Where a round's result is told: under the round-over words, over the next round's intro.
TextBox ResultLineBox(const SpanLine& line);

inline constexpr int kResultScale = 2;
inline constexpr int kRankScale = 2;
inline constexpr int kRankLineHeight = 16;
inline constexpr double kResultHoldSeconds = 2.0;
inline constexpr double kNoticeSeconds = 3.5;
inline constexpr int kNoticeLines = 4;

// ---- What the display keeps for all this. ----

struct TellState {
  SlotNames names;  // empty: "player N"
  struct Notice {
    SpanLine line;
    double shownAt = 0;
  };
  std::vector<Notice> notices;    // oldest first
  TextBox noticeBox;              // where the current notices stand (empty: none)
  SpanLine result;                // the last round's result
  double resultAt = -1;           // when it was told (-1: none)
  std::vector<WormLabel> labels;  // the round's labels, laid out once
  double labelsFor = -1;          // the round start they were laid out for
  struct Marker {
    float x = 0, y = 0;
    double since = -1;  // -1: none
  };
  std::array<Marker, 12> markers{};
};

// What a step raised that is told (deaths, results, a new round); call after the step's
// events were shown. Does nothing under --classic.
void TellMatchEvents(Game& g);
// Forgets the notices, markers and labels told so far (a new round; a replay moved to
// another place, which also forgets the last round's result). The names stay.
void ForgetTellings(TellState& t, bool result);
// Draws what is told on the after canvas (called last by the after-render hook).
void DrawTellings(Game& g, Canvas& c);

// Draws a line of spans at (x, y); the spans' players in their shown colours.
int DrawSpans(Canvas& c, const Game& g, int x, int y, const SpanLine& line, int scale);
std::string SpanText(const SpanLine& line);

}  // namespace tdx
