// The replays screen's list: read from the folder without playing anything, newest first,
// with damaged and foreign recordings listed as such.
#include "app/replay_list.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <numeric>

#include "app/match_tape.h"
#include "app/replay.h"
#include "match/snapshot.h"

namespace tdx {
namespace {

namespace fs = std::filesystem;

const fs::path kRecordings = fs::path(TANDRIX_SOURCE_DIR) / "tests/replays";

TEST(ReplayList, ListsNewestFirstWithWhoPlayedAndTheScoreAndSaysWhatCannotBePlayed) {
  const fs::path dir =
      fs::temp_directory_path() / ("tdx_replay_list_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir / kReplayFolder);
  const fs::path folder = dir / kReplayFolder;
  fs::copy_file(kRecordings / "match/bonuses.tdxr", folder / "match-20260101-120000-001.tdxr");
  fs::copy_file(kRecordings / "match/people_and_computers.tdxr",
                folder / "kept-20260102-120000-001.tdxr");
  fs::copy_file(kRecordings / "bonuses.tdxr", folder / "match-20260103-120000-001.tdxr");  // keys
  {
    // Cut short in its frames.
    std::ifstream in(kRecordings / "match/bonuses.tdxr", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ofstream(folder / "match-20260104-120000-001.tdxr", std::ios::binary)
        << bytes.substr(0, bytes.size() * 2 / 3);
  }
  {
    // Recorded under other rules: a whole file, but not ours to play.
    TapeHeader header;
    header.version = "0.1";
    header.rules = kRulesVersion + 1;
    header.snapshot = SaveSnapshot(*std::make_unique<Match>());
    TapeWriter w;
    std::string error;
    ASSERT_TRUE(w.Open((folder / "match-20260105-120000-001.tdxr").string(), header, error))
        << error;
    ASSERT_TRUE(w.Finish(error)) << error;
  }
  std::ofstream(folder / "notes.txt") << "a player's own file";

  const std::vector<ReplayListing> list = ListReplays(dir.string());
  ASSERT_EQ(list.size(), 5u);
  std::vector<std::string> names;
  for (const ReplayListing& r : list) names.push_back(r.name);
  EXPECT_EQ(names, (std::vector<std::string>{
                       "match-20260105-120000-001.tdxr", "match-20260104-120000-001.tdxr",
                       "match-20260103-120000-001.tdxr", "kept-20260102-120000-001.tdxr",
                       "match-20260101-120000-001.tdxr"}));

  const ReplayListing& foreign = list[0];
  EXPECT_TRUE(foreign.otherRules);
  EXPECT_EQ(foreign.version, "0.1");
  EXPECT_FALSE(foreign.Playable());

  const ReplayListing& cut = list[1];
  EXPECT_FALSE(cut.Playable());
  EXPECT_NE(cut.damage.find(cut.name), std::string::npos) << cut.damage;

  const ReplayListing& keys = list[2];
  EXPECT_EQ(keys.format, 1);
  EXPECT_TRUE(keys.Playable());

  for (const ReplayListing* r : {&list[3], &list[4]}) {
    SCOPED_TRACE(r->name);
    EXPECT_EQ(r->format, 2);
    EXPECT_TRUE(r->Playable()) << r->damage;
    EXPECT_EQ(r->kept, r == &list[3]);
    EXPECT_GE(r->players.size(), 2u);
    EXPECT_GE(r->rounds, 2);
    const int won = std::accumulate(r->wins.begin(), r->wins.end(), 0);
    EXPECT_GT(won, 0);
    EXPECT_LE(won, r->rounds);  // draws go to nobody
    EXPECT_GT(r->seconds, 10.0);
    EXPECT_GT(r->when, 0);
  }
  // The match of people and computer players says which is which.
  const auto& people = list[3].players;
  EXPECT_TRUE(std::any_of(people.begin(), people.end(), [](const auto& p) { return p.person; }));
  EXPECT_TRUE(std::any_of(people.begin(), people.end(), [](const auto& p) { return !p.person; }));
  fs::remove_all(dir);
}

TEST(ReplayList, NoFolderListsNothing) { EXPECT_TRUE(ListReplays("/nonexistent/tandrix").empty()); }

}  // namespace
}  // namespace tdx
