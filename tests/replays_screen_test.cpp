// What the replays screen says about a recording, and how the viewer's speeds move it.
#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "app/replays_screen.h"

namespace tdx {
namespace {

std::time_t LocalTime(int year, int month, int day, int hour, int minute) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_isdst = -1;
  return std::mktime(&t);
}

ReplayListing Match(int teamMode, int rounds, double seconds) {
  ReplayListing r;
  r.name = "match-20261211-091300.tdxr";
  r.when = LocalTime(2026, 12, 11, 9, 13);
  r.format = 2;
  r.teamMode = teamMode;
  r.rounds = rounds;
  r.seconds = seconds;
  return r;
}

TEST(ReplaysScreen, ListingLineSaysWhatCanBeWatched) {
  ReplayListing dm = Match(0, 7, 201);
  ReplayListing one = Match(0, 1, 59.9);
  one.kept = true;
  ReplayListing teams = Match(1, 5, 3725);
  teams.players = {{0, 1, true, 1}, {1, 2, false, 3}, {2, 3, false, 1}};
  teams.wins = {3, 0, 2};
  ReplayListing damaged = Match(0, 0, 0);
  damaged.damage = "cut short";
  ReplayListing other = Match(0, 0, 0);
  other.otherRules = true;
  other.version = "0.9.1";
  ReplayListing older = Match(0, 0, 0);
  older.format = 1;
  ReplayListing undated = Match(0, 2, 20);
  undated.when = 0;

  const struct {
    const ReplayListing& r;
    std::string line;
  } cases[] = {
      {dm, "11 dec 09:13  deathmatch  7 rounds  3:21"},
      {one, "11 dec 09:13  deathmatch  1 round  0:59  kept"},
      // Teams 1 and 3 play: their wins, in team order; the length passes an hour.
      {teams, "11 dec 09:13  teams 3 2  5 rounds  1:02:05"},
      {damaged, "11 dec 09:13  damaged: match-20261211-091300.tdxr"},
      {other, "11 dec 09:13  other rules: tandrix 0.9.1"},
      {older, "11 dec 09:13  keys and mouse of an older game"},
      {undated, "  deathmatch  2 rounds  0:20"},
  };
  for (const auto& c : cases) EXPECT_EQ(ListingLine(c.r), c.line);
}

TEST(ReplaysScreen, ClockTextShowsMinutesAndHours) {
  const struct {
    double seconds;
    const char* text;
  } cases[] = {{0, "0:00"},     {-3, "0:00"},      {59.99, "0:59"},           {60, "1:00"},
               {3599, "59:59"}, {3600, "1:00:00"}, {4 * 3600 + 61, "4:01:01"}};
  for (const auto& c : cases) EXPECT_EQ(ClockText(c.seconds), c.text) << c.seconds;
}

// Over any eight shown frames a speed plays speed times eight recording frames, spread
// evenly: never more than one frame apart from one shown frame to the next.
TEST(ReplaysScreen, EverySpeedPlaysItsShareOfFramesEvenly) {
  for (double speed : kSpeeds) {
    double owed = 0;
    int total = 0, least = 1000, most = 0;
    for (int shown = 0; shown < 8; ++shown) {
      const int n = FramesToPlay(speed, owed);
      total += n;
      least = std::min(least, n);
      most = std::max(most, n);
    }
    EXPECT_EQ(total, static_cast<int>(speed * 8)) << speed;
    EXPECT_LE(most - least, 1) << speed;
  }
  EXPECT_EQ(kSpeeds[kNormalSpeed], 1.0);
}

}  // namespace
}  // namespace tdx
