#include "app/replay_list.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>

#include "app/match_tape.h"
#include "app/replay.h"
#include "match/snapshot.h"

namespace tdx {

namespace fs = std::filesystem;

ReplayListing ReadReplayListing(const std::string& path) {
  ReplayListing r;
  r.path = path;
  r.name = fs::path(path).filename().string();
  r.kept = r.name.rfind("kept-", 0) == 0;
  std::error_code ec;
  const auto written = fs::last_write_time(path, ec);
  if (!ec) {
    r.when = std::chrono::system_clock::to_time_t(std::chrono::file_clock::to_sys(written));
  }
  std::string error;
  r.format = RecordingFormatOf(path, error);
  if (r.format == 0) {
    r.damage = error;
    return r;
  }
  if (r.format == 1) return r;  // its match is known only by playing it from the start
  TapeReader tape;
  TapeHeader header;
  const bool opened = tape.Open(path, header, error);
  r.version = header.version;
  r.otherRules = header.rules != kRulesVersion;
  if (r.otherRules) return r;  // whole or not, this build cannot play it
  if (!opened) {
    r.damage = error;
    return r;
  }
  auto m = std::make_unique<Match>();
  if (!LoadSnapshot(header.snapshot, *m, error)) {
    r.damage = path + ": " + error;
    return r;
  }
  r.teamMode = m->match.TeamMode;
  for (int s = 0; s < kPlayerSlots; ++s) {
    const PlayerSetup& p = m->settings.players[s];
    if (!TakesPart(p)) continue;
    r.players.push_back({s, p.kind, IsHumanSlot(p), TeamNumber(p)});
  }
  // The frames, for the rounds and the length: a few kilobytes for a whole match.
  TapeFrame f;
  double first = -1;
  while (tape.Next(f, error)) {
    if (first < 0) first = f.now;
    r.seconds = f.end - first;
    for (const ScoredRound& s : f.scored) {
      ++r.rounds;
      const int at = r.teamMode != 0 ? s.winner - 1 : s.winner;
      if (at >= 0 && at < kPlayerSlots) ++r.wins[static_cast<size_t>(at)];
    }
  }
  if (!error.empty()) r.damage = error;
  return r;
}

std::vector<ReplayListing> ListReplays(const std::string& playerData) {
  std::vector<ReplayListing> list;
  std::error_code ec;
  for (fs::directory_iterator it(fs::path(playerData) / kReplayFolder, ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if ((name.rfind("match-", 0) != 0 && name.rfind("kept-", 0) != 0) ||
        it->path().extension() != ".tdxr") {
      continue;
    }
    list.push_back(ReadReplayListing(it->path().string()));
  }
  // Newest first: by the time in the name (the same for kept ones), then by the number.
  auto stamp = [](const ReplayListing& r) { return r.name.substr(r.name.find('-') + 1); };
  std::sort(list.begin(), list.end(),
            [&](const ReplayListing& a, const ReplayListing& b) { return stamp(a) > stamp(b); });
  return list;
}

}  // namespace tdx
